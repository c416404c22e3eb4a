#include "storage/disk_medium.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace qelt {

namespace {

// Writes all of `data`, retrying short writes and interruptions; 0 or errno.
int writeAll(int fd, const uint8_t* data, size_t len) {
    while (len > 0) {
        const ssize_t n = ::write(fd, data, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        len -= static_cast<size_t>(n);
    }
    return 0;
}

// Flushes the directory entry of a rename to the disk (best effort: some
// file systems refuse fsync on directories).
void syncDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

int writeFileAtomically(const char* path, const ByteString& data, mode_t mode) {
    if (path == nullptr || *path == 0) return ENOENT;
    const std::filesystem::path target(path);
    const std::filesystem::path dir = target.parent_path();
    if (!dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);  // an existing directory is fine
    }
    std::string temp = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return errno;
    int err = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (err == 0) err = writeAll(fd, data.data(), static_cast<size_t>(data.length()));
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), path) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return err;
    }
    syncDirectory(dir);
    return 0;
}

int deleteMediumFile(const char* path) {
    if (path == nullptr || *path == 0) return ENOENT;
    return ::unlink(path) == 0 ? 0 : errno;
}

}  // namespace qelt
