// Every verb the build contains (`qelt help --list`), one test each: its help
// has options and an example; its examples run in the prepared directory
// (tests/data/cli); and its first example, with each input replaced by a
// missing file, a directory, an empty, unreadable, garbage or truncated file,
// and its output replaced by /dev/full or by one of its inputs, fails the way
// the conventions say: one line, exit 1 (2 for an output that is an input),
// no crash, no temporary file left, an existing output unchanged.
//
// Verbs whose examples need more than the prepared directory (a server, a
// token) are named in examples_not_run.txt with the reason; they get the help
// and input checks only. Files a new verb needs can be added to tests/data/cli
// (make.sh there).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cli_run.h"
#include "test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The verbs of the built tool; asked when the test program starts (help needs
// no library context, so this is one quick process).
std::vector<std::string> verbNames() {
    FILE* p = popen(QELT_CLI_PATH " help --list 2>/dev/null", "r");
    std::string out;
    char buf[4096];
    for (size_t n; p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    if (p == nullptr || pclose(p) != 0 || out.empty()) return {"qelt help --list failed"};
    return lines(out);
}

// Verbs whose examples do not run in the prepared directory, with the reason.
std::map<std::string, std::string> examplesNotRun() {
    std::map<std::string, std::string> out;
    std::ifstream in(fs::path(QELT_SOURCE_DIR) / "tests" / "tools" / "examples_not_run.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto colon = line.find(':');
        out[line.substr(0, colon)] = colon == std::string::npos ? "" : line.substr(colon + 1);
    }
    return out;
}

std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename().string()[0] != '.')
            files[e.path().filename().string()] = fileText(e.path());
    return files;
}

// The prepared directory, copied afresh.
fs::path preparedDir(const std::string& name) {
    const fs::path dir = scratchDir("verbs." + name);
    for (const auto& e : fs::directory_iterator(fs::path(QELT_TEST_DATA_DIR) / "cli"))
        if (e.path().filename() != "make.sh") fs::copy_file(e.path(), dir / e.path().filename());
    return dir;
}

// Back to the state `files` describes: files made since are removed, changed ones restored.
void restore(const fs::path& dir, const std::map<std::string, std::string>& files) {
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name[0] == '.' && name != ".work") {
            ADD_FAILURE() << "left behind: " << name;
            fs::remove_all(e.path());
        } else if (name[0] != '.' && !files.count(name)) {
            fs::remove_all(e.path());
        }
    }
    for (const auto& [name, bytes] : files) {
        fs::permissions(dir / name, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
        if (fileText(dir / name) != bytes) std::ofstream(dir / name, std::ios::binary) << bytes;
    }
}

std::string joined(const std::vector<std::string>& w) {
    std::string s;
    for (const auto& x : w) s += (s.empty() ? "" : " ") + x;
    return s;
}

void expectOneLineFailure(const QeltRun& r, int status, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.find("terminate called"), std::string::npos);
}

class Verb : public ::testing::TestWithParam<std::string> {};

TEST_P(Verb, HelpExamplesAndRefusals) {
    const std::string verb = GetParam();
    const fs::path dir =
        preparedDir(verb.substr(0, verb.find(' ')) +
                    (verb.find(' ') != std::string::npos ? "-" + verb.substr(verb.find(' ') + 1) : ""));

    // Help: the same from "qelt help VERB" and "qelt VERB --help"; what it
    // does, options one per line, an example.
    const QeltRun help = runShell(dir, "qelt help " + verb);
    ASSERT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(runShell(dir, "qelt " + verb + " --help").out, help.out);
    EXPECT_EQ(help.out.rfind("usage: qelt " + verb, 0), 0u) << help.out;
    const auto helpLines = lines(help.out);
    EXPECT_GE(helpLines.size(), 5u) << "a sentence on what the verb does, and an example\n" << help.out;
    std::vector<std::string> examples;
    bool inExamples = false;
    for (const std::string& line : helpLines) {
        if (line.rfind("example", 0) == 0)
            inExamples = true;
        else if (inExamples && line.rfind("  ", 0) == 0)
            examples.push_back(line.substr(2));
        else if (line.empty())
            inExamples = false;
    }
    ASSERT_FALSE(examples.empty()) << help.out;

    const auto notRun = examplesNotRun();
    const std::map<std::string, std::string> fixture = snapshot(dir);
    const bool runnable = !notRun.count(verb);

    // Every example runs as shown.
    std::map<std::string, std::string> afterFirst;
    if (runnable) {
        for (size_t i = 0; i < examples.size(); ++i) {
            const QeltRun r = runShell(dir, examples[i]);
            EXPECT_EQ(r.status, 0) << examples[i] << "\n" << r.err;
            if (i == 0) afterFirst = snapshot(dir);
        }
        restore(dir, fixture);
    }

    // The first example with one word of the command line as qelt sees it.
    const auto plain = std::find_if(examples.begin(), examples.end(), [](const std::string& e) {
        return e.rfind("qelt ", 0) == 0 && e.find_first_of("|<>;&") == std::string::npos;
    });
    if (plain == examples.end()) return;
    const std::vector<std::string> argv = words(*plain);
    std::set<size_t> inputs, outputs;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (!fixture.count(argv[i])) {
            if (afterFirst.count(argv[i])) outputs.insert(i);
            continue;
        }
        if (!runnable || afterFirst.count(argv[i]) == 0 || afterFirst.at(argv[i]) == fixture.at(argv[i]))
            inputs.insert(i);  // unchanged by the command: an input
    }
    std::ofstream(dir / "empty.file").close();
    fs::create_directory(dir / "adir");
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage.push_back(static_cast<char>((i * 7919 + 13) % 251));
    std::ofstream(dir / "garbage.file", std::ios::binary) << garbage;
    std::map<std::string, std::string> prepared = snapshot(dir);

    auto with = [&](size_t at, const std::string& word) {
        std::vector<std::string> w = argv;
        w[at] = word;
        return joined(w);
    };
    for (const size_t at : inputs) {
        const std::string name = argv[at];
        SCOPED_TRACE("input " + name + " of: " + *plain);
        expectOneLineFailure(runShell(dir, with(at, "missing.file")), 1, "missing");
        restore(dir, prepared);
        expectOneLineFailure(runShell(dir, with(at, "adir")), 1, "directory");
        restore(dir, prepared);
        expectOneLineFailure(runShell(dir, with(at, "empty.file")), 1, "empty");
        restore(dir, prepared);
        if (!runningAsRoot()) {
            fs::permissions(dir / name, fs::perms::none);
            expectOneLineFailure(runShell(dir, *plain), 1, "unreadable");
            restore(dir, prepared);
        }
        if (!runnable) continue;
        // Garbage and a file cut in half may be accepted (a hash takes any
        // bytes); a refusal is one line, exit 1, and leaves an existing output.
        const std::string half = fixture.at(name).substr(0, fixture.at(name).size() / 2);
        std::ofstream(dir / "half.file", std::ios::binary) << half;
        prepared = snapshot(dir);
        for (const std::string& bad : {"garbage.file", "half.file"}) {
            for (const size_t out : outputs) std::ofstream(dir / argv[out]) << "kept";
            const QeltRun r = runShell(dir, with(at, bad));
            EXPECT_LT(r.status, 2) << bad << ": " << r.err;
            if (r.status != 0) {
                expectOneLineFailure(r, 1, bad);
                for (const size_t out : outputs) EXPECT_EQ(fileText(dir / argv[out]), "kept") << bad;
            }
            restore(dir, prepared);
        }
    }
    if (!runnable) return;
    for (const size_t at : outputs) {
        SCOPED_TRACE("output " + argv[at] + " of: " + *plain);
        expectOneLineFailure(runShell(dir, with(at, "/dev/full")), 1, "/dev/full");
        restore(dir, prepared);
        for (const size_t in : inputs) {
            const QeltRun r = runShell(dir, with(at, argv[in]));
            expectOneLineFailure(r, 2, "the output is the input " + argv[in]);
            EXPECT_EQ(fileText(dir / argv[in]), fixture.at(argv[in]));
            restore(dir, prepared);
        }
    }
    // An example that writes to standard output fails on a full one.
    const QeltRun shown = runShell(dir, *plain);
    restore(dir, prepared);
    if (!shown.out.empty()) expectOneLineFailure(runShell(dir, *plain + " > /dev/full"), 1, "standard output full");
    restore(dir, prepared);
}

INSTANTIATE_TEST_SUITE_P(Every, Verb, ::testing::ValuesIn(verbNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

}  // namespace
}  // namespace qelt::test
