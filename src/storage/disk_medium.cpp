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

// Where a write to `path` must land: the path itself when nothing or a
// regular file is there, the file a symbolic link names (so the link stays
// a link). Anything else (a directory, a device, a pipe, a socket, a dangling
// link) is refused: the write ends in a rename, and renaming over a device
// node would replace the device itself for a caller with the rights to do so.
int resolveTarget(const char* path, std::filesystem::path& target) {
    struct stat st {};
    if (::lstat(path, &st) != 0) {
        if (errno != ENOENT) return errno;
        target = path;
        return 0;
    }
    if (S_ISLNK(st.st_mode)) {
        std::error_code ec;
        target = std::filesystem::canonical(path, ec);
        if (ec) return ec.value();
        if (::stat(target.c_str(), &st) != 0) return errno;
    } else {
        target = path;
    }
    return S_ISREG(st.st_mode) ? 0 : EINVAL;
}

}  // namespace

int writeFileAtomically(const char* path, const ByteString& data, mode_t mode) {
    if (path == nullptr || *path == 0) return ENOENT;
    std::filesystem::path target;
    if (const int err = resolveTarget(path, target)) return err;
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
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return err;
    }
    syncDirectory(dir);
    return 0;
}

int deleteMediumFile(const char* path) {
    if (path == nullptr || *path == 0) return ENOENT;
    // Only a file (or a link, which goes alone) is deleted: never a device or pipe.
    struct stat st {};
    if (::lstat(path, &st) != 0) return errno;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return EINVAL;
    return ::unlink(path) == 0 ? 0 : errno;
}

}  // namespace qelt
