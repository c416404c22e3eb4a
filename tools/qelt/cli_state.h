// Process-wide state of one qelt command, shared by the files of cli.h's
// implementation and main.cpp (verbs use cli.h only). A qelt process runs one
// verb, so one record is enough.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qelt_cli {

struct CliState {
    bool verbose = false;            // -v: library messages keep their location records
    std::string verbName;            // the verb being run, for usage messages
    std::vector<std::string> notes;  // printed to stderr when the command succeeds
};

CliState& state();

}  // namespace qelt_cli
