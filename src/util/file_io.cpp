#include "util/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace qelt {

namespace {

// Closes a descriptor at scope exit.
struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

int createFile(const char* path) { return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Creates every directory of `dir`, outermost first; existing ones are fine.
void createDirectories(const std::string& dir) {
    for (size_t i = 1; i < dir.size(); ++i)
        if (isSeparator(dir[i])) ::mkdir(dir.substr(0, i).c_str(), 0755);
    ::mkdir(dir.c_str(), 0755);
}

}  // namespace

ReadFileResult readWholeFile(const char* path, ByteString& out) {
    if (path == nullptr || *path == 0) return ReadFileResult::EmptyPath;
    Fd f{::open(path, O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0) return ReadFileResult::CannotOpen;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return ReadFileResult::CannotOpen;
    // A byte string holds at most INT_MAX - 1 bytes, so larger files are refused as too large too.
    if (static_cast<unsigned long long>(st.st_size) >= 0xFFFFFFFFull || st.st_size > 0x7FFFFFFE)
        return ReadFileResult::TooLarge;
    const int size = static_cast<int>(st.st_size);
    if (size == 0) {
        out.clear();
        return ReadFileResult::Ok;
    }
    ByteString buffer;
    if (buffer.allocZero(size) != ByteString::kOk) return ReadFileResult::NoMemory;
    int done = 0;
    while (done < size) {
        const ssize_t n = ::read(f.fd, buffer.data() + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadFileResult::ReadFailed;
        if (n == 0) return ReadFileResult::ShortRead;
        done += static_cast<int>(n);
    }
    buffer.writeAt(0, buffer.data(), size);  // sets the length to the bytes read
    out = std::move(buffer);
    return ReadFileResult::Ok;
}

WriteFileResult writeWholeFile(const char* path, const void* data, size_t len) {
    if (path == nullptr || *path == 0) return WriteFileResult::EmptyPath;
    Fd f{createFile(path)};
    if (f.fd < 0) {
        const size_t pathLen = std::strlen(path);
        if (pathLen < 1 || pathLen > 511) return WriteFileResult::BadPathLength;
        const std::string p(path);
        const size_t cut = p.find_last_of("/\\");
        if (cut == std::string::npos || cut == 0) return WriteFileResult::CannotCreate;
        createDirectories(p.substr(0, cut));
        f.fd = createFile(path);
        if (f.fd < 0) return WriteFileResult::CannotCreate;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < len) {
        const ssize_t n = ::write(f.fd, bytes + done, len - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return WriteFileResult::WriteFailed;
        done += static_cast<size_t>(n);
    }
    return WriteFileResult::Ok;
}

WriteFileResult writeWholeFile(const char* path, const ByteString& data) {
    return writeWholeFile(path, data.data(), static_cast<size_t>(data.length()));
}

bool fileExists(const char* path) {
    struct stat st {};
    return path != nullptr && ::stat(path, &st) == 0;
}

}  // namespace qelt
