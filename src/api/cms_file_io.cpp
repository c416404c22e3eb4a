#include "api/cms_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "ZRCrypto/zr_hash.h"
#include "util/cp949_literal.h"

namespace qelt::cms {

namespace {

// stdio buffers larger than one block: fewer system calls on large files,
// while the memory used stays a fixed, small amount.
constexpr size_t kStdioBuffer = 64 * 1024;

}  // namespace

int fileTooLarge(ApiCall& call) {
    return call.fail(QELT_ERR_FILE_TOO_LARGE, "처리하기에는 파일 사이즈의 크기가 너무 큽니다."_cp949);
}

int InputFile::open(ApiCall& call, const char* path) {
    m_path = path;
    m_file.reset(std::fopen(path, "rb"));
    struct stat st {};
    if (!m_file || fstat(fileno(m_file.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
        m_file.reset();
        return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, path);
    }
    m_dev = st.st_dev;
    m_ino = st.st_ino;
    m_buffer.reset(new (std::nothrow) char[kStdioBuffer]);
    if (m_buffer) std::setvbuf(m_file.get(), m_buffer.get(), _IOFBF, kStdioBuffer);
    (void)posix_fadvise(fileno(m_file.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

int InputFile::size(ApiCall& call, long long& out) {
    std::FILE* f = m_file.get();
    if (fseeko(f, 0, SEEK_END) != 0)
        return call.failf(QELT_ERR_FILE_SEEK_END, "\"%s\"파일의 끝을 찾는데 실패하였습니다."_cp949, path());
    const off_t end = ftello(f);
    if (end < 0) return call.failf(QELT_ERR_FILE_SEEK_END, "\"%s\"파일의 끝을 찾는데 실패하였습니다."_cp949, path());
    if (fseeko(f, 0, SEEK_SET) != 0)
        return call.failf(QELT_ERR_FILE_SEEK_START, "\"%s\"파일의 처음을 찾는데 실패하였습니다."_cp949, path());
    if (end > kMaxFileSize) return fileTooLarge(call);
    out = end;
    return 0;
}

int InputFile::rewind(ApiCall& call) {
    if (fseeko(m_file.get(), 0, SEEK_SET) != 0)
        return call.failf(QELT_ERR_FILE_SEEK_START, "\"%s\"파일의 처음을 찾는데 실패하였습니다."_cp949, path());
    return 0;
}

int InputFile::read(ApiCall& call, uint8_t* buf, size_t n) {
    if (readSome(buf, n) != n)
        return call.fail(QELT_ERR_FILE_READ_SIZE, "파일 사이즈 만큼 데이터를 읽는데 실패하였습니다."_cp949);
    return 0;
}

size_t InputFile::readSome(uint8_t* buf, size_t n) { return n == 0 ? 0 : std::fread(buf, 1, n, m_file.get()); }

OutputFile::~OutputFile() { discard(); }

int OutputFile::create(ApiCall& call, const char* path, const InputFile* input) {
    m_path = path;
    struct stat st {};
    const bool exists = ::stat(path, &st) == 0;
    if (input != nullptr && exists && st.st_dev == input->device() && st.st_ino == input->inode())
        return call.failf(QELT_ERR_FILE_CREATE, "\"%s\"파일을 생성하는데 실패하였습니다."_cp949, path);
    m_file = std::fopen(path, "wb");
    if (m_file == nullptr)
        return call.failf(QELT_ERR_FILE_CREATE, "\"%s\"파일을 생성하는데 실패하였습니다."_cp949, path);
    m_regular = fstat(fileno(m_file), &st) == 0 && S_ISREG(st.st_mode);
    m_buffer.reset(new (std::nothrow) char[kStdioBuffer]);
    if (m_buffer) std::setvbuf(m_file, m_buffer.get(), _IOFBF, kStdioBuffer);
    return 0;
}

int OutputFile::writeFailed(ApiCall& call) {
    return call.failf(QELT_ERR_FILE_WRITE, "\"%s\" 위치에 파일을 저장하는데 실패하였습니다."_cp949, m_path.c_str());
}

int OutputFile::write(ApiCall& call, const void* p, size_t n) {
    if (n > 0 && std::fwrite(p, 1, n, m_file) != n) return writeFailed(call);
    return 0;
}

int OutputFile::flush(ApiCall& call) {
    if (m_file == nullptr || std::fflush(m_file) != 0) return writeFailed(call);
    return 0;
}

int OutputFile::finish(ApiCall& call) {
    if (m_file == nullptr) return writeFailed(call);
    const bool flushed = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed) {
        if (m_regular) ::unlink(m_path.c_str());
        m_regular = false;
        return writeFailed(call);
    }
    m_regular = false;  // finished: the file is the result now
    return 0;
}

void OutputFile::discard() {
    if (m_file == nullptr) return;
    std::fclose(m_file);
    m_file = nullptr;
    if (m_regular) ::unlink(m_path.c_str());
    m_regular = false;
}

int digestFile(ApiCall& call, InputFile& in, long long size, int nHashAlg, ByteString& digest) {
    constexpr auto kDigestFailed = "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949;
    ZRHash hash;
    if (hash.DigestData_Init(nHashAlg) != 0) return call.failCore(QELT_ERR_DIGEST, kDigestFailed, hash);
    uint8_t block[kFileBlock];
    for (long long left = size; left > 0;) {
        const size_t n = left < static_cast<long long>(kFileBlock) ? static_cast<size_t>(left) : kFileBlock;
        if (const int rc = in.read(call, block, n)) return rc;
        if (hash.DigestData_Update(block, static_cast<int>(n)) != 0)
            return call.failCore(QELT_ERR_DIGEST, kDigestFailed, hash);
        left -= static_cast<long long>(n);
    }
    if (hash.DigestData_Final(digest) != 0) return call.failCore(QELT_ERR_DIGEST, kDigestFailed, hash);
    return 0;
}

}  // namespace qelt::cms
