#include "net/loopback_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qelt::test {

int runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit, std::string* output,
               const std::string& directory) {
    int pipeFds[2] = {-1, -1};
    if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output != nullptr) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output != nullptr) ::close(pipeFds[1]);
    if (spawned != 0) {
        if (output != nullptr) ::close(pipeFds[0]);
        return -1;
    }
    // Read the output while waiting, so a full pipe cannot stall the child.
    std::thread reader;
    if (output != nullptr)
        reader = std::thread([fd = pipeFds[0], output] {
            char buf[4096];
            ssize_t n;
            while ((n = ::read(fd, buf, sizeof buf)) > 0) output->append(buf, static_cast<size_t>(n));
            ::close(fd);
        });
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    bool exited = false;
    while (!exited) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            exited = true;
        } else if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            if (reader.joinable()) reader.join();
            return -1;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (reader.joinable()) reader.join();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string onlineDataDir() { return QELT_TEST_DATA_DIR "/online"; }
std::string onlinePath(const std::string& name) { return onlineDataDir() + "/" + name; }
std::string onlineFile(const std::string& name) { return readFile(onlinePath(name)); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace qelt::test
