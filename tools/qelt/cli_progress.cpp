// Progress of long file operations on a terminal (cli.h): a watcher thread
// reads how far this process has read the file (the position the kernel
// reports for the open descriptor) and redraws one line on stderr.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>

#include "cli.h"

namespace qelt_cli {

namespace {

constexpr unsigned long long kWorthShowing = 4u << 20;

// The read position of the open file `target` in this process; -1 when it is not open.
long long readPosition(const std::filesystem::path& target) {
    long long pos = -1;
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::error_code ec;
        const auto link = std::filesystem::read_symlink(std::string("/proc/self/fd/") + e->d_name, ec);
        if (ec || link != target) continue;
        std::ifstream info(std::string("/proc/self/fdinfo/") + e->d_name);
        std::string key;
        long long value = 0;
        if (info >> key >> value && key == "pos:") pos = std::max(pos, value);
    }
    closedir(d);
    return pos;
}

}  // namespace

struct Progress::Watcher {
    std::filesystem::path target;
    long long total = 0;
    std::string label;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;

    void watch() {
        int pass = 1;
        long long last = 0;
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return done; })) {
            const long long pos = readPosition(target);
            if (pos < 0) continue;
            if (pos < last) ++pass;  // the input is read a second time
            last = pos;
            const int percent = static_cast<int>(100 * std::min(pos, total) / total);
            std::fprintf(stderr, "\r%s: %3d%% of %lld MiB%s", label.c_str(), percent, total >> 20,
                         pass > 1 ? " (second pass)" : "");
            std::fflush(stderr);
        }
    }
};

Progress::Progress(const std::string& label, const std::string& path) {
    if (!isatty(STDERR_FILENO)) return;
    std::error_code ec;
    auto w = std::make_unique<Watcher>();
    w->target = std::filesystem::canonical(path, ec);
    const auto size = ec ? 0 : std::filesystem::file_size(w->target, ec);
    if (ec || size < kWorthShowing) return;
    w->total = static_cast<long long>(size);
    w->label = label;
    // Signals go to the main thread, whose handler removes temporary outputs.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    Watcher* raw = w.get();
    try {
        w->thread = std::thread([raw] { raw->watch(); });
    } catch (const std::system_error&) {
        // No thread to be had: the operation runs without a progress line.
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (w->thread.joinable()) m_watcher = std::move(w);
}

Progress::~Progress() {
    if (!m_watcher) return;
    {
        std::lock_guard<std::mutex> lock(m_watcher->mutex);
        m_watcher->done = true;
    }
    m_watcher->wake.notify_all();
    m_watcher->thread.join();
    std::fprintf(stderr, "\r%*s\r", 60, "");
}

}  // namespace qelt_cli
