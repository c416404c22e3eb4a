// Child processes for the loopback fixtures: a command run to completion
// within a time limit, stopped by its PID when it overstays.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qelt::test {

// Runs argv[0] (looked up on PATH) with `argv`, in `directory` when given,
// its standard output collected into `output` when given and its standard
// error discarded. The exit status, or -1 when it could not start or was
// killed for running past `limit`.
int runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit, std::string* output = nullptr,
               const std::string& directory = "");

// The directory of the online-service test PKI (tests/data/online) and the
// bytes of one of its files.
std::string onlineDataDir();
std::string onlineFile(const std::string& name);
std::string onlinePath(const std::string& name);

// Whole files.
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);

}  // namespace qelt::test
