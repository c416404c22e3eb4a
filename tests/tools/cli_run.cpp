#include "cli_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "test_support.h"

namespace qelt::test {

namespace fs = std::filesystem;

namespace {
// A directory holding only "qelt", the built tool, to put in front of PATH.
const fs::path& toolDir() {
    static const fs::path dir = [] {
        static RemovedAtExit holder{scratchDir("qelt-path." + std::to_string(getpid()))};
        fs::create_symlink(QELT_CLI_PATH, holder.path / "qelt");
        return holder.path;
    }();
    return dir;
}
}  // namespace

CommandRun runCommand(const std::string& shellLine) {
    CommandRun run;
    FILE* p = popen(shellLine.c_str(), "r");
    if (p == nullptr) return run;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) run.out.append(buf, n);
    const int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

QeltRun runShell(const fs::path& dir, const std::string& command) {
    static int serial = 0;
    const fs::path out = dir / (".run-out." + std::to_string(++serial));
    const fs::path err = dir / (".run-err." + std::to_string(serial));
    const std::string script = "cd '" + dir.string() + "' && export QELT_WORKDIR='" + (dir / ".work").string() +
                               "' PATH='" + toolDir().string() + "':\"$PATH\" && { " + command + "\n} >'" +
                               out.string() + "' 2>'" + err.string() + "'";
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    QeltRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = fileText(out);
    run.err = fileText(err);
    std::error_code ignored;
    fs::remove(out, ignored);
    fs::remove(err, ignored);
    return run;
}

std::string fileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> filesStartingWith(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) names.push_back(e.path().filename().string());
    return names;
}

bool runningAsRoot() { return geteuid() == 0; }

}  // namespace qelt::test
