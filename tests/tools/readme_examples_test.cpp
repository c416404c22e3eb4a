// The README's shell examples run as shown: every ```sh block, one test each,
// runs with `set -e` in a copy of the prepared directory (tests/data/cli) with
// the built qelt first on PATH and openssl beside it. A block that needs more
// (a build tree, a server) carries the line
//     <!-- example: not run: the reason -->
// just before its opening fence and is only listed here.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_run.h"
#include "test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

struct Block {
    int line = 0;        // of the opening fence
    std::string text;    // the commands
    std::string notRun;  // the reason, for a block marked not to run
};

std::vector<Block> readmeBlocks() {
    std::ifstream in(fs::path(QELT_SOURCE_DIR) / "README.md");
    std::vector<Block> blocks;
    std::string line, previous;
    Block current;
    bool inside = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!inside && line == "```sh") {
            current = Block{number, "", ""};
            const std::string marker = "<!-- example: not run: ", end = " -->";
            if (previous.rfind(marker, 0) == 0 && previous.size() >= marker.size() + end.size())
                current.notRun = previous.substr(marker.size(), previous.size() - marker.size() - end.size());
            inside = true;
        } else if (inside && line.rfind("```", 0) == 0) {
            blocks.push_back(current);
            inside = false;
        } else if (inside) {
            current.text += line + "\n";
        }
        if (!line.empty()) previous = line;
    }
    return blocks;
}

class ReadmeExample : public ::testing::TestWithParam<Block> {};

TEST_P(ReadmeExample, RunsAsShown) {
    const Block& block = GetParam();
    if (!block.notRun.empty()) GTEST_SKIP() << "README line " << block.line << ": " << block.notRun;
    const fs::path dir = scratchDir("readme." + std::to_string(block.line));
    for (const auto& e : fs::directory_iterator(fs::path(QELT_TEST_DATA_DIR) / "cli"))
        if (e.path().filename() != "make.sh") fs::copy_file(e.path(), dir / e.path().filename());
    // Each command line (with its continuations) must succeed, every part of
    // an && chain and of a pipe included.
    std::string script, logical;
    std::istringstream lines(block.text);
    for (std::string line; std::getline(lines, line);) {
        logical += line + "\n";
        if (!line.empty() && line.back() == '\\') continue;
        script += "{ " + logical + "} || exit $?\n";
        logical.clear();
    }
    std::ofstream(dir / ".example.sh") << "set -eo pipefail\n" << script;
    const QeltRun r = runShell(dir, "bash .example.sh");
    EXPECT_EQ(r.status, 0) << "README line " << block.line << ":\n" << block.text << "\nstderr:\n" << r.err;
}

INSTANTIATE_TEST_SUITE_P(Readme, ReadmeExample, ::testing::ValuesIn(readmeBlocks()),
                         [](const auto& info) { return "line" + std::to_string(info.param.line); });

}  // namespace
}  // namespace qelt::test
