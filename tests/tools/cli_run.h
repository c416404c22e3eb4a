// Running the qelt command from the tests: in a directory, through the shell,
// with its standard output and error apart and its exit status (128 + the
// signal when a signal ended it).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qelt::test {

struct QeltRun {
    int status = -1;
    std::string out;
    std::string err;
};

// A shell command line run to completion: its exit status (-1 when it did not
// exit normally) and what it wrote to standard output.
struct CommandRun {
    int status = -1;
    std::string out;
};
CommandRun runCommand(const std::string& shellLine);

// Runs `command` with sh -c in `dir`, the built qelt first on PATH and
// QELT_WORKDIR in `dir`.
QeltRun runShell(const std::filesystem::path& dir, const std::string& command);
// The whole file, or "" when it cannot be read.
std::string fileText(const std::filesystem::path& p);
// Names of the files in `dir` starting with `prefix` (temporary files left behind).
std::vector<std::string> filesStartingWith(const std::filesystem::path& dir, const std::string& prefix);
// True when the tests run as root (permissions do not stop root from reading).
bool runningAsRoot();

}  // namespace qelt::test
