// The conventions every qelt verb shares: outputs replace their files only on
// success and never an input, inputs that cannot be used get one line and
// exit 1, numbers are range-checked (exit 2), standard output failures exit 1,
// signals leave no temporary files, help and -v.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli_run.h"
#include "test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

const std::string kSeed = "-a seed -k 00112233445566778899aabbccddeeff -i 0f0e0d0c0b0a09080706050403020100";

fs::path freshDir(const std::string& name) {
    const fs::path dir = scratchDir("conventions." + name);
    std::ofstream(dir / "data.bin", std::ios::binary) << std::string(100000, 'x') << "end";
    std::ofstream(dir / "kept.out", std::ios::binary) << "kept bytes";
    return dir;
}

// One line on stderr, nothing else.
void expectOneLine(const QeltRun& r, const std::string& start) {
    EXPECT_EQ(r.err.rfind(start, 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

TEST(CliConventions, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
    const fs::path dir = freshDir("same");
    const std::string original = fileText(dir / "data.bin");
    fs::create_symlink("data.bin", dir / "link.bin");
    fs::create_hard_link(dir / "data.bin", dir / "hard.bin");
    for (const std::string& command : std::vector<std::string>{
             "qelt enc " + kSeed + " data.bin -o data.bin", "qelt enc " + kSeed + " link.bin -o data.bin",
             "qelt enc " + kSeed + " data.bin -o hard.bin", "qelt enc " + kSeed + " data.bin -o link.bin",
             "qelt enc --in-memory " + kSeed + " data.bin -o hard.bin", "qelt base64 encode link.bin -o data.bin",
             "qelt hash data.bin > /dev/null && qelt cms encdata " + kSeed.substr(0, kSeed.find(" -i")) +
                 " --iv 0f0e0d0c0b0a09080706050403020100 data.bin -o hard.bin"}) {
        SCOPED_TRACE(command);
        const QeltRun r = runShell(dir, command);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
        EXPECT_EQ(fileText(dir / "data.bin"), original);
        EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    }
    EXPECT_TRUE(filesStartingWith(dir, ".").size() <= 1u) << "temporary files left";  // only .work, if any
}

TEST(CliConventions, AFailedRunLeavesAnExistingOutputAndNoTemporaryFile) {
    const fs::path dir = freshDir("kept");
    // Not whole blocks of ciphertext: the file function fails in its last step.
    for (const std::string& form : {"", " --in-memory"}) {
        const QeltRun r = runShell(dir, "qelt dec" + form + " " + kSeed + " data.bin -o kept.out");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err.rfind("error 1807: ", 0), 0u) << r.err;
        EXPECT_EQ(fileText(dir / "kept.out"), "kept bytes");
    }
    // A truncated ciphertext fails too, where the old tool left plausible plaintext.
    ASSERT_EQ(runShell(dir, "qelt enc " + kSeed + " data.bin -o data.enc").status, 0);
    ASSERT_EQ(runShell(dir, "head -c 50000 data.enc > cut.enc").status, 0);
    EXPECT_EQ(runShell(dir, "qelt dec " + kSeed + " cut.enc -o kept.out").status, 1);
    EXPECT_EQ(fileText(dir / "kept.out"), "kept bytes");
    // A success replaces it, with the file's permissions.
    fs::permissions(dir / "kept.out", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(runShell(dir, "qelt dec " + kSeed + " data.enc -o kept.out").status, 0);
    EXPECT_EQ(fileText(dir / "kept.out"), fileText(dir / "data.bin"));
    EXPECT_EQ(fs::status(dir / "kept.out").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    for (const auto& name : filesStartingWith(dir, "."))
        EXPECT_TRUE(name == ".work" || name.rfind(".run-", 0) == 0) << name;
}

TEST(CliConventions, UnusableInputsGetOneLineInMemoryAndWithFiles) {
    const fs::path dir = freshDir("inputs");
    fs::create_directory(dir / "adir");
    std::ofstream(dir / "empty.bin").close();
    for (const std::string& form : {"", " --in-memory"}) {
        SCOPED_TRACE(form);
        const std::string enc = "qelt enc" + form + " " + kSeed + " ";
        QeltRun r = runShell(dir, enc + "missing.bin -o out.bin");
        EXPECT_EQ(r.status, 1);
        expectOneLine(r, "qelt: cannot read missing.bin: No such file or directory");
        r = runShell(dir, enc + "adir -o out.bin");
        EXPECT_EQ(r.status, 1);
        expectOneLine(r, "qelt: cannot read adir: it is a directory");
        r = runShell(dir, enc + "empty.bin -o out.bin");
        EXPECT_EQ(r.status, 1);
        expectOneLine(r, "qelt: cannot read empty.bin: it is empty");
        EXPECT_FALSE(fs::exists(dir / "out.bin"));
    }
    QeltRun r = runShell(dir, "qelt hash < /dev/null");
    EXPECT_EQ(r.status, 1);
    expectOneLine(r, "qelt: cannot read standard input: it is empty");
    r = runShell(dir, "qelt cert show adir");
    EXPECT_EQ(r.status, 1);
    expectOneLine(r, "qelt: cannot read adir: it is a directory");
    if (runningAsRoot()) GTEST_SKIP() << "running as root: file permissions do not stop reading";
    fs::permissions(dir / "data.bin", fs::perms::none);
    r = runShell(dir, "qelt enc " + kSeed + " data.bin -o out.bin");
    EXPECT_EQ(r.status, 1);
    expectOneLine(r, "qelt: cannot read data.bin: Permission denied");
}

TEST(CliConventions, FailingOutputsExitOne) {
    const fs::path dir = freshDir("full");
    for (const std::string& command : std::vector<std::string>{
             "qelt base64 encode data.bin > /dev/full", "qelt hash data.bin > /dev/full",
             "qelt enc " + kSeed + " data.bin > /dev/full", "qelt enc " + kSeed + " data.bin -o /dev/full",
             "qelt enc --in-memory " + kSeed + " data.bin -o /dev/full",
             "qelt enc " + kSeed + " data.bin -o nodir/out.bin"}) {
        SCOPED_TRACE(command);
        const QeltRun r = runShell(dir, command);
        EXPECT_EQ(r.status, 1);
        expectOneLine(r, "qelt: cannot write ");
    }
    // /dev/null takes what it is given.
    EXPECT_EQ(runShell(dir, "qelt enc " + kSeed + " data.bin -o /dev/null").status, 0);
}

TEST(CliConventions, NumbersOptionsAndVerbsAreCheckedAsUsage) {
    const fs::path dir = freshDir("usage");
    for (const std::string& command :
         std::vector<std::string>{"qelt cert days data.bin -t abc", "qelt cert days data.bin -t -1",
                                  "qelt certs get data.bin abc", "qelt certs get data.bin 99999999999", "qelt rand -5",
                                  "qelt rand 12x", "qelt pem encode --type 1x data.bin",
                                  "qelt share -n 300 -k 2 --key 00", "qelt enc " + kSeed + " --frobnicate data.bin",
                                  "qelt frobnicate", "qelt cms frobnicate", "qelt enc " + kSeed + " data.bin -o"}) {
        SCOPED_TRACE(command);
        const QeltRun r = runShell(dir, command);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err.rfind("qelt: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("terminate called"), std::string::npos);
    }
}

TEST(CliConventions, ASignalRemovesTheTemporaryOutput) {
    const fs::path dir = freshDir("signal");
    ASSERT_EQ(runShell(dir, "truncate -s 2G big.bin").status, 0);
    const pid_t pid = fork();
    if (pid == 0) {
        ASSERT_EQ(chdir(dir.c_str()), 0);
        execl(QELT_CLI_PATH, "qelt", "enc", "-a", "seed", "-k", "00112233445566778899aabbccddeeff", "-i",
              "0f0e0d0c0b0a09080706050403020100", "big.bin", "-o", "kept.out", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait for the temporary output to appear beside the target.
    bool seen = false;
    for (int i = 0; i < 3000 && !seen; ++i) {  // up to 30 s on a busy machine
        seen = !filesStartingWith(dir, ".kept.out.qelt-").empty();
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(filesStartingWith(dir, ".kept.out.qelt-").empty());
    EXPECT_EQ(fileText(dir / "kept.out"), "kept bytes");
}

TEST(CliConventions, HelpVersionAndTrace) {
    const fs::path dir = freshDir("help");
    QeltRun r = runShell(dir, "qelt enc --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: qelt enc ", 0), 0u);
    EXPECT_NE(r.out.find("\noptions:\n  -a, --alg NAME "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nexample:\n  qelt enc "), std::string::npos) << r.out;
    EXPECT_EQ(runShell(dir, "qelt help enc").out, r.out);
    r = runShell(dir, "qelt cms --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n  cms sign "), std::string::npos) << r.out;
    EXPECT_EQ(runShell(dir, "qelt help cms").out, r.out);
    EXPECT_EQ(runShell(dir, "qelt cms sign --help").out, runShell(dir, "qelt help cms sign").out);
    r = runShell(dir, "qelt --version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "qelt (qeltapi V1.5.3.3)\n");

    // The library's location records only with -v.
    r = runShell(dir, "qelt dec " + kSeed + " data.bin -o out.bin");
    EXPECT_EQ(r.err.find("[zr_encrypt.cpp:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("데이터를 복호화하는데 실패하였습니다."), std::string::npos) << r.err;
    r = runShell(dir, "qelt -v dec " + kSeed + " data.bin -o out.bin");
    EXPECT_NE(r.err.find("[zr_encrypt.cpp:"), std::string::npos) << r.err;
    EXPECT_EQ(runShell(dir, "qelt dec -v " + kSeed + " data.bin -o out.bin").err, r.err);
}

}  // namespace
}  // namespace qelt::test
