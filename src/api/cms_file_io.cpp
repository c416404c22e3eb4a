#include "api/cms_file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ZRCrypto/zr_hash.h"
#include "util/byte_string.h"
#include "util/cp949_literal.h"

namespace qelt::cms {

namespace {

constexpr auto kDigestFailed = "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949;

// Small writes (headers, encrypted 8 KiB pieces) are gathered up to this
// much before they reach the file, and small reads are served from as much
// read at once.
constexpr size_t kWriteBuffer = 64 * 1024;
constexpr size_t kReadBuffer = 64 * 1024;

}  // namespace

int fileTooLarge(ApiCall& call) {
    return call.fail(QELT_ERR_FILE_TOO_LARGE, "처리하기에는 파일 사이즈의 크기가 너무 큽니다."_cp949);
}

int bufferShort(ApiCall& call, const char* bufferName) {
    return call.failf(QELT_ERR_BUFFER_TOO_SMALL, "%s에 할당된 메모리가 부족합니다."_cp949, bufferName);
}

// ------------------------------------------------------------------ input

// The buffers may hold plaintext on its way to or from a cipher: wiped
// before they are released.
InputFile::~InputFile() {
    if (m_buffer) secureWipe(m_buffer.get(), kReadBuffer);
    if (m_fd >= 0) ::close(m_fd);
}

int InputFile::open(ApiCall& call, const char* path) {
    m_path = path;
    m_fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, path);
    }
    m_dev = st.st_dev;
    m_ino = st.st_ino;
    m_buffer.reset(new (std::nothrow) uint8_t[kReadBuffer]);
    // Read front to back once: the kernel reads ahead further.
    (void)posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

int InputFile::size(ApiCall& call, long long& out) {
    m_bufferAt = m_bufferEnd = 0;
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0) return call.failf(QELT_ERR_FILE_SEEK_END, "\"%s\"파일의 끝을 찾는데 실패하였습니다."_cp949, path());
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        return call.failf(QELT_ERR_FILE_SEEK_START, "\"%s\"파일의 처음을 찾는데 실패하였습니다."_cp949, path());
    if (end > kMaxFileSize) return fileTooLarge(call);
    out = end;
    return 0;
}

int InputFile::rewind(ApiCall& call) {
    m_bufferAt = m_bufferEnd = 0;
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        return call.failf(QELT_ERR_FILE_SEEK_START, "\"%s\"파일의 처음을 찾는데 실패하였습니다."_cp949, path());
    return 0;
}

int InputFile::read(ApiCall& call, uint8_t* buf, size_t n) { return readSome(buf, n) != n ? shortRead(call) : 0; }

int InputFile::shortRead(ApiCall& call) {
    return call.fail(QELT_ERR_FILE_READ_SIZE, "파일 사이즈 만큼 데이터를 읽는데 실패하였습니다."_cp949);
}

size_t InputFile::readSome(uint8_t* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
        if (m_bufferAt < m_bufferEnd) {
            const size_t k = std::min(n - got, m_bufferEnd - m_bufferAt);
            std::memcpy(buf + got, m_buffer.get() + m_bufferAt, k);
            m_bufferAt += k;
            got += k;
            continue;
        }
        if (!m_buffer || n - got >= kReadBuffer) return got + readFile(buf + got, n - got);
        m_bufferAt = 0;
        m_bufferEnd = readFile(m_buffer.get(), kReadBuffer);
        if (m_bufferEnd == 0) break;
    }
    return got;
}

size_t InputFile::readFile(uint8_t* buf, size_t n) {
    size_t got = 0;
    while (got < n && m_fd >= 0) {
        const ssize_t r = ::read(m_fd, buf + got, n - got);
        if (r > 0) {
            got += static_cast<size_t>(r);
        } else if (r == 0) {
            break;
        } else if (errno != EINTR) {
            m_failed = true;
            break;
        }
    }
    return got;
}

// ------------------------------------------------------------------ output

OutputFile::~OutputFile() {
    discard();
    if (m_buffer) secureWipe(m_buffer.get(), kWriteBuffer);
}

int OutputFile::create(ApiCall& call, const char* path, const InputFile* input) {
    m_path = path;
    struct stat st {};
    const bool exists = ::stat(path, &st) == 0;
    if (input != nullptr && exists && st.st_dev == input->device() && st.st_ino == input->inode())
        return call.failf(QELT_ERR_FILE_CREATE, "\"%s\"파일을 생성하는데 실패하였습니다."_cp949, path);
    m_fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) return call.failf(QELT_ERR_FILE_CREATE, "\"%s\"파일을 생성하는데 실패하였습니다."_cp949, path);
    m_regular = fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
    m_buffer.reset(new (std::nothrow) uint8_t[kWriteBuffer]);
    m_used = 0;
    return 0;
}

void OutputFile::expect(long long total) {
    // KEEP_SIZE: the blocks are set aside, the file's length still grows
    // with what is written.
    if (m_fd >= 0 && m_regular && total > 0) (void)::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, total);
}

int OutputFile::writeFailed(ApiCall& call) {
    return call.failf(QELT_ERR_FILE_WRITE, "\"%s\" 위치에 파일을 저장하는데 실패하였습니다."_cp949, m_path.c_str());
}

bool OutputFile::writeAll(const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(m_fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<size_t>(w);
        } else if (w == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

int OutputFile::write(ApiCall& call, const void* p, size_t n) {
    if (m_fd < 0) return writeFailed(call);
    const auto* bytes = static_cast<const uint8_t*>(p);
    if (m_buffer && n < kWriteBuffer - m_used) {
        if (n > 0) std::memcpy(m_buffer.get() + m_used, bytes, n);
        m_used += n;
        return 0;
    }
    if (const int rc = flush(call)) return rc;
    if (m_buffer && n < kWriteBuffer) {
        std::memcpy(m_buffer.get(), bytes, n);
        m_used = n;
        return 0;
    }
    return writeAll(bytes, n) ? 0 : writeFailed(call);
}

int OutputFile::writeAt(ApiCall& call, long long offset, const void* p, size_t n) {
    if (!m_regular) return writeFailed(call);
    if (const int rc = flush(call)) return rc;
    const auto* bytes = static_cast<const uint8_t*>(p);
    while (n > 0) {
        const ssize_t w = ::pwrite(m_fd, bytes, n, static_cast<off_t>(offset));
        if (w > 0) {
            bytes += w;
            n -= static_cast<size_t>(w);
            offset += w;
        } else if (w == 0 || errno != EINTR) {
            return writeFailed(call);
        }
    }
    return 0;
}

int OutputFile::restart(ApiCall& call) {
    m_used = 0;
    if (!m_regular || ::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) return writeFailed(call);
    return 0;
}

int OutputFile::flush(ApiCall& call) {
    if (m_fd < 0) return writeFailed(call);
    const size_t n = m_used;
    m_used = 0;
    return writeAll(m_buffer.get(), n) ? 0 : writeFailed(call);
}

int OutputFile::finish(ApiCall& call) {
    if (m_fd < 0) return writeFailed(call);
    const size_t n = m_used;
    m_used = 0;
    const bool flushed = writeAll(m_buffer.get(), n);
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!flushed || !closed) {
        if (m_regular) ::unlink(m_path.c_str());
        m_regular = false;
        return writeFailed(call);
    }
    m_regular = false;  // finished: the file is the result now
    return 0;
}

void OutputFile::discard() {
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
    m_used = 0;
    if (m_regular) ::unlink(m_path.c_str());
    m_regular = false;
}

// ------------------------------------------------------------------ content

int ChunkBuffer::allocate(ApiCall& call) {
    m_buf.reset(new (std::nothrow) uint8_t[kStreamChunk]);
    return m_buf ? 0 : call.noMemory("ChunkBuffer");
}

int digestFile(ApiCall& call, InputFile& in, long long size, int nHashAlg, ByteString& digest) {
    ZRHash hash;
    if (hash.DigestData_Init(nHashAlg) != 0) return call.failCore(QELT_ERR_DIGEST, kDigestFailed, hash);
    ChunkBuffer buf;
    if (const int rc = buf.allocate(call)) return rc;
    for (long long left = size; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(buf.size())));
        if (const int rc = in.read(call, buf.data(), n)) return rc;
        if (hash.DigestData_Update(buf.data(), static_cast<int>(n)) != 0)
            return call.failCore(QELT_ERR_DIGEST, kDigestFailed, hash);
        left -= static_cast<long long>(n);
    }
    if (hash.DigestData_Final(digest) != 0) return call.failCore(QELT_ERR_DIGEST, kDigestFailed, hash);
    return 0;
}

}  // namespace qelt::cms
