// Inputs and outputs of a qelt command (cli.h): inputs are vetted and
// recorded; outputs go to temporary files beside their targets that replace
// the targets only when the command has succeeded, and that a signal removes.
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli.h"

namespace qelt_cli {

namespace fs = std::filesystem;

namespace {

// The largest input the in-memory library functions take (BINSTR lengths are int).
constexpr size_t kMaxMemoryInput = static_cast<size_t>(INT_MAX) - 1;

std::string shownPath(const std::string& path) { return path.empty() || path == "-" ? "standard input" : path; }

[[noreturn]] void cannotRead(const std::string& path, const std::string& why) {
    failCommand("cannot read " + shownPath(path) + ": " + why);
}

// ---- inputs

struct InputRecord {
    dev_t dev;
    ino_t ino;
    std::string path;
};

std::vector<InputRecord>& inputRecords() {
    static std::vector<InputRecord> all;
    return all;
}

void recordInput(const std::string& path, const struct stat& st) {
    inputRecords().push_back({st.st_dev, st.st_ino, path});
}

// The input that is the file `st` describes, or null.
const InputRecord* inputMatching(const struct stat& st) {
    for (const InputRecord& r : inputRecords())
        if (r.dev == st.st_dev && r.ino == st.st_ino) return &r;
    return nullptr;
}

// An open input: the descriptor (standard input for "-") and what fstat said.
struct OpenInput {
    int fd = -1;
    struct stat st {};
    bool owned = false;
    OpenInput() = default;
    OpenInput(const OpenInput&) = delete;
    OpenInput& operator=(const OpenInput&) = delete;
    ~OpenInput() {
        if (owned) close(fd);
    }
};

// Opens and vets an input; ends the command with one line when it cannot be
// used. A regular file that is empty is refused unless `allowEmpty`.
void openInput(const std::string& path, bool allowEmpty, OpenInput& in) {
    if (path.empty() || path == "-") {
        in.fd = STDIN_FILENO;
    } else {
        in.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (in.fd < 0) cannotRead(path, std::strerror(errno));
        in.owned = true;
    }
    if (fstat(in.fd, &in.st) != 0) cannotRead(path, std::strerror(errno));
    if (S_ISDIR(in.st.st_mode)) cannotRead(path, "it is a directory");
    if (S_ISREG(in.st.st_mode) && in.st.st_size == 0 && !allowEmpty) cannotRead(path, "it is empty");
    if (S_ISREG(in.st.st_mode) || S_ISCHR(in.st.st_mode) || S_ISBLK(in.st.st_mode)) recordInput(path, in.st);
}

// Reads everything from the descriptor (to its end, whatever fstat said).
std::vector<uint8_t> readAll(const std::string& path, OpenInput& in) {
    std::vector<uint8_t> out;
    if (S_ISREG(in.st.st_mode)) {
        if (static_cast<size_t>(in.st.st_size) > kMaxMemoryInput)
            cannotRead(path, "it is larger than the 2 GiB an in-memory call takes");
        out.reserve(static_cast<size_t>(in.st.st_size));
    }
    std::array<uint8_t, 65536> buf;
    for (;;) {
        const ssize_t n = read(in.fd, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            cannotRead(path, std::strerror(errno));
        }
        out.insert(out.end(), buf.data(), buf.data() + n);
        if (out.size() > kMaxMemoryInput) cannotRead(path, "it is larger than the 2 GiB an in-memory call takes");
    }
    return out;
}

}  // namespace

std::vector<uint8_t> readInputMaybeEmpty(const std::string& path) {
    OpenInput in;
    openInput(path, true, in);
    return readAll(path, in);
}

bool readInput(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    OpenInput in;
    openInput(path, false, in);
    out = readAll(path, in);
    if (out.empty()) cannotRead(path, "it is empty");  // standard input or a pipe with nothing in it
    error.clear();
    return true;
}

std::vector<uint8_t> readFileToUpdate(const std::string& path) {
    struct stat st {};
    if (path.empty() || path == "-") usageError("the file to update must be named");
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return {};
    if (S_ISDIR(st.st_mode)) failCommand("cannot update " + path + ": it is a directory");
    if (!S_ISREG(st.st_mode)) failCommand("cannot update " + path + ": it is not a regular file");
    if (const InputRecord* in = inputMatching(st))
        throw CommandError(kExitUsage, "the file to update " + path + " is the input " + in->path);
    OpenInput in;
    openInput(path, true, in);
    auto& records = inputRecords();
    if (!records.empty() && records.back().path == path) records.pop_back();
    return readAll(path, in);
}

const std::string& checkInputFile(const std::string& path) {
    if (path.empty() || path == "-") usageError("this form reads a named file, not standard input");
    OpenInput in;
    openInput(path, false, in);
    // A file the owner may not read is reported here, not by the library's
    // own "cannot read" message later.
    char probe;
    if (S_ISREG(in.st.st_mode) && pread(in.fd, &probe, 1, 0) < 0) cannotRead(path, std::strerror(errno));
    return path;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && path != "-" && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

const std::string& checkOutputFile(const std::string& path) {
    if (path.empty() || path == "-") usageError("the library writes this file itself: name a file");
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return path;  // made by the library
    if (S_ISDIR(st.st_mode)) failCommand("cannot write " + path + ": it is a directory");
    if (const InputRecord* in = inputMatching(st))
        throw CommandError(kExitUsage,
                           "the output " + path + " is the input " + in->path + ": give another output file");
    // The library replaces the file by renaming a new one over it: a device
    // (/dev/full, /dev/null) or a pipe would be replaced, not written to.
    if (!S_ISREG(st.st_mode)) failCommand("cannot write " + path + ": it is not a regular file");
    return path;
}

// ---- mapped inputs

InputBytes::~InputBytes() {
    if (m_mapped && m_data != nullptr) munmap(m_data, m_size);
}

InputBytes::InputBytes(InputBytes&& other) noexcept { *this = std::move(other); }

InputBytes& InputBytes::operator=(InputBytes&& other) noexcept {
    if (this == &other) return *this;
    if (m_mapped && m_data != nullptr) munmap(m_data, m_size);
    m_read = std::move(other.m_read);
    m_mapped = other.m_mapped;
    m_size = other.m_size;
    m_data = m_mapped ? other.m_data : m_read.data();
    other.m_data = nullptr;
    other.m_size = 0;
    other.m_mapped = false;
    return *this;
}

BINSTR InputBytes::view() const { return BINSTR{m_data, static_cast<int>(m_size)}; }

InputBytes mapInput(const std::string& path, bool allowEmpty) {
    OpenInput in;
    openInput(path, allowEmpty, in);
    InputBytes bytes;
    if (S_ISREG(in.st.st_mode) && in.st.st_size > 0) {
        const size_t size = static_cast<size_t>(in.st.st_size);
        if (size > kMaxMemoryInput) cannotRead(path, "it is larger than the 2 GiB an in-memory call takes");
        // Private and writable: the library only reads its inputs, and a
        // write would touch a copy of the page, never the file.
        void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, in.fd, 0);
        if (p != MAP_FAILED) {
            madvise(p, size, MADV_SEQUENTIAL);
            bytes.m_data = static_cast<uint8_t*>(p);
            bytes.m_size = size;
            bytes.m_mapped = true;
            return bytes;
        }
    }
    bytes.m_read = readAll(path, in);
    if (bytes.m_read.empty() && !allowEmpty) cannotRead(path, "it is empty");
    bytes.m_size = bytes.m_read.size();
    bytes.m_data = bytes.m_read.data();
    return bytes;
}

// ---- outputs

namespace {

// Temporary files a signal must remove: fixed slots an async-signal-safe
// handler can read.
constexpr int kMaxOutputs = 32;
struct TempSlot {
    char path[PATH_MAX];
    std::atomic<bool> used;
};
TempSlot g_temps[kMaxOutputs];

int claimSlot(const std::string& path) {
    for (int i = 0; i < kMaxOutputs; ++i) {
        if (g_temps[i].used.load()) continue;
        std::snprintf(g_temps[i].path, sizeof g_temps[i].path, "%s", path.c_str());
        g_temps[i].used.store(true);
        return i;
    }
    return -1;
}

void releaseSlot(int slot) {
    if (slot >= 0) g_temps[slot].used.store(false);
}

extern "C" void removeTempsAndDie(int sig) {
    for (TempSlot& t : g_temps)
        if (t.used.load()) unlink(t.path);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Holds the cleanup signals back while a temporary file is created and
// registered, so that none can arrive between the two and leave it behind.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&held, sig);
        pthread_sigmask(SIG_BLOCK, &held, &m_saved);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_saved, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_saved;
};

// Creates a temporary file from `pattern` (ending in XXXXXX) and registers it
// for removal on signals; its path, or "" with errno set.
std::string createTemp(const std::string& pattern, int& slot) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const SignalsHeld held;
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return {};
    close(fd);
    slot = claimSlot(name.data());
    if (slot < 0) {
        unlink(name.data());
        failCommand("too many temporary files in one command");
    }
    return name.data();
}

[[noreturn]] void cannotWrite(const std::string& path, const std::string& why) {
    failCommand("cannot write " + (path.empty() || path == "-" ? std::string("standard output") : path) + ": " + why);
}

// Writes all bytes to a descriptor; false with errno on failure.
bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = write(fd, p, std::min<size_t>(n, 1 << 30));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

mode_t currentUmask() {
    const mode_t m = umask(0);
    umask(m);
    return m;
}

}  // namespace

struct PendingOutput {
    std::string target;     // what the person named
    std::string resolved;   // the file replaced at commit (a symbolic link's target)
    std::string temp;       // where the bytes go until then ("" for a device)
    std::string writePath;  // what path() hands out
    bool toStdout = false;
    bool toDevice = false;  // a device or pipe, copied to at commit
    bool scratch = false;   // intermediate bytes, removed at the end
    bool existed = false;
    mode_t mode = 0;
    int slot = -1;
    bool done = false;

    void discard() {
        if (!temp.empty() && !done) unlink(temp.c_str());
        releaseSlot(slot);
        slot = -1;
        done = true;
    }
};

namespace {

std::vector<std::unique_ptr<PendingOutput>>& pendingOutputs() {
    static std::vector<std::unique_ptr<PendingOutput>> all;
    return all;
}

[[noreturn]] void sameAsInput(const std::string& target, const std::string& input) {
    throw CommandError(kExitUsage, "the output " + target + " is the input " + input + ": give another output file");
}

// Prepares the pending output of `target`: refusals first, then the
// temporary file. Devices and other non-regular files are written directly.
PendingOutput& prepareOutput(const std::string& target) {
    auto pending = std::make_unique<PendingOutput>();
    PendingOutput& p = *pending;
    p.target = target;
    std::string dir;
    if (target.empty() || target == "-") {
        p.toStdout = true;
        const char* tmp = std::getenv("TMPDIR");
        dir = tmp && *tmp ? tmp : "/tmp";
        p.resolved = "-";
    } else {
        std::error_code ec;
        // A symbolic link is kept: its target is the file replaced.
        p.resolved =
            fs::is_symlink(fs::symlink_status(target, ec)) ? fs::weakly_canonical(target, ec).string() : target;
        if (p.resolved.empty()) p.resolved = target;
        struct stat st {};
        if (stat(p.resolved.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) cannotWrite(target, "it is a directory");
            if (const InputRecord* in = inputMatching(st)) sameAsInput(target, in->path);
            if (!S_ISREG(st.st_mode)) {
                // /dev/null, /dev/full, a pipe: the library writes a temporary
                // file that is copied there at commit, so that a failing
                // device is reported as a write failure of the command.
                p.toDevice = true;
            } else {
                p.existed = true;
                p.mode = st.st_mode & 07777;
            }
        }
        if (p.toDevice) {
            const char* tmp = std::getenv("TMPDIR");
            dir = tmp && *tmp ? tmp : "/tmp";
        } else {
            const fs::path parent = fs::path(p.resolved).parent_path();
            dir = parent.empty() ? "." : parent.string();
        }
    }
    const std::string base = p.toStdout || p.toDevice ? "qelt-output" : fs::path(p.resolved).filename().string();
    p.temp = createTemp(dir + "/." + base + ".qelt-XXXXXX", p.slot);
    if (p.temp.empty()) cannotWrite(target, std::strerror(errno));
    p.writePath = p.temp;
    pendingOutputs().push_back(std::move(pending));
    return *pendingOutputs().back();
}

// A scratch file beside `near` (or in TMPDIR), removed at the end.
PendingOutput& prepareScratch(const std::string& near) {
    auto pending = std::make_unique<PendingOutput>();
    PendingOutput& p = *pending;
    p.scratch = true;
    struct stat st {};
    std::string dir;
    if (near.empty() || near == "-" || (stat(near.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) {
        const char* tmp = std::getenv("TMPDIR");
        dir = tmp && *tmp ? tmp : "/tmp";
    } else {
        const fs::path parent = fs::path(near).parent_path();
        dir = parent.empty() ? "." : parent.string();
    }
    p.temp = createTemp(dir + "/.qelt-scratch-XXXXXX", p.slot);
    if (p.temp.empty()) failCommand("cannot create a temporary file in " + dir + ": " + std::strerror(errno));
    p.writePath = p.temp;
    pendingOutputs().push_back(std::move(pending));
    return *pendingOutputs().back();
}

// Replaces the target by the temporary file (or copies it to standard output).
void commitOutput(PendingOutput& p) {
    if (p.done || p.scratch) return;
    if (p.toStdout || p.toDevice) {
        std::fflush(stdout);
        const int fd = open(p.temp.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) cannotWrite(p.target, std::strerror(errno));
        const int to = p.toStdout ? STDOUT_FILENO : open(p.resolved.c_str(), O_WRONLY | O_CLOEXEC);
        if (to < 0) {
            const int err = errno;
            close(fd);
            cannotWrite(p.target, std::strerror(err));
        }
        std::array<uint8_t, 65536> buf;
        ssize_t n;
        bool ok = true;
        while ((n = read(fd, buf.data(), buf.size())) > 0)
            if (!writeAll(to, buf.data(), static_cast<size_t>(n))) {
                ok = false;
                break;
            }
        int err = errno;
        close(fd);
        if (!p.toStdout && close(to) != 0 && ok) {
            ok = false;
            err = errno;
        }
        p.discard();
        if (!ok || n < 0) cannotWrite(p.target, std::strerror(err));
        return;
    }
    // The inputs are all known now: one may have been named after the output was opened.
    struct stat st {};
    if (stat(p.resolved.c_str(), &st) == 0)
        if (const InputRecord* in = inputMatching(st)) sameAsInput(p.target, in->path);
    chmod(p.temp.c_str(), p.existed ? p.mode : (0666 & ~currentUmask()));
    if (rename(p.temp.c_str(), p.resolved.c_str()) != 0) cannotWrite(p.target, std::strerror(errno));
    releaseSlot(p.slot);
    p.slot = -1;
    p.done = true;
}

}  // namespace

OutputFile::OutputFile(const std::string& target) : m_pending(&prepareOutput(target)) {}
ScratchFile::ScratchFile(const std::string& near) : m_pending(&prepareScratch(near)) {}
const std::string& ScratchFile::path() const { return m_pending->writePath; }
OutputFile::~OutputFile() = default;  // the pending record lives until finishOutputs
const std::string& OutputFile::path() const { return m_pending->writePath; }

void OutputFile::write(std::span<const uint8_t> bytes) const {
    const int fd = open(path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) cannotWrite(m_pending->target, std::strerror(errno));
    const bool ok = writeAll(fd, bytes.data(), bytes.size());
    const int writeErr = errno;
    const bool closed = close(fd) == 0;
    if (!ok) cannotWrite(m_pending->target, std::strerror(writeErr));
    if (!closed) cannotWrite(m_pending->target, std::strerror(errno));
}

bool writeOutput(const std::string& path, const uint8_t* data, size_t len, std::string& error) {
    error.clear();
    if (path.empty() || path == "-") {
        if (len > 0 && std::fwrite(data, 1, len, stdout) != len) cannotWrite("-", std::strerror(errno));
        if (std::fflush(stdout) != 0) cannotWrite("-", std::strerror(errno));
        return true;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        // A device or pipe takes the bytes at once; a same-file check still applies.
        if (const InputRecord* in = inputMatching(st)) sameAsInput(path, in->path);
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) cannotWrite(path, std::strerror(errno));
        const bool ok = writeAll(fd, data, len);
        const int writeErr = errno;
        const bool closed = close(fd) == 0;
        if (!ok) cannotWrite(path, std::strerror(writeErr));
        if (!closed) cannotWrite(path, std::strerror(errno));
        return true;
    }
    const OutputFile out(path);
    out.write(std::span<const uint8_t>(data, len));
    return true;
}

int finishOutputs(int status) {
    auto& all = pendingOutputs();
    if (status == 0) {
        try {
            for (auto& p : all) commitOutput(*p);
        } catch (const CommandError& e) {
            std::fprintf(stderr, "qelt: %s\n", e.what());
            status = e.status();
        }
    }
    for (auto& p : all) p->discard();
    all.clear();
    return status;
}

void installSignalCleanup() {
    struct sigaction sa {};
    sa.sa_handler = removeTempsAndDie;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(sig, &sa, nullptr);
}

}  // namespace qelt_cli
