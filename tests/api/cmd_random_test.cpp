// Round trips through the qelt command: rand, mac, share and unite.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "tools/cli_run.h"

using namespace qelt::test;

namespace {
// Runs a command and returns its standard output; `rc` receives the exit status.
std::string run(const std::string& cmd, int& rc) {
    const CommandRun r = runCommand(cmd);
    rc = r.status;
    return r.out;
}
}  // namespace

TEST(CliRandom, PrintsHex) {
    int rc = -1;
    const std::string out = run(std::string(QELT_CLI_PATH) + " rand 24", rc);
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(out.size(), 49u) << out;
    EXPECT_EQ(out.find_first_not_of("0123456789abcdef"), 48u);
    run(std::string(QELT_CLI_PATH) + " rand 0 2>/dev/null", rc);
    EXPECT_EQ(rc, 1);
}

TEST(CliMac, GenerateAndVerify) {
    const auto dir = scratchDir("CliMac");
    const std::string file = (dir / "data.txt").string();
    std::ofstream(file) << "what do ya want for nothing?";
    const std::string cli = QELT_CLI_PATH;
    int rc = -1;
    // RFC 2202 test case 2 for HMAC-MD5 (key "Jefe").
    std::string out = run(cli + " mac -a md5 --key 4a656665 " + file, rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "750c783e6ab0b503eaa86e310a5db738\n");
    run(cli + " mac -a md5 --key 4a656665 --verify 750c783e6ab0b503eaa86e310a5db738 " + file, rc);
    EXPECT_EQ(rc, 0);
    run(cli + " mac -a md5 --key 4a656665 --verify 750c783e6ab0b503eaa86e310a5db739 " + file + " 2>/dev/null", rc);
    EXPECT_EQ(rc, 1);
    run(cli + " mac -a sha512 --key 4a656665 " + file + " 2>/dev/null", rc);
    EXPECT_EQ(rc, 2);
}

TEST(CliShare, SplitThenUnite) {
    const auto dir = scratchDir("CliShare");
    const std::string cli = QELT_CLI_PATH, sharesFile = (dir / "shares.txt").string();
    const std::string keyHex = "00112233445566778899aabbccddeeff";
    int rc = -1;
    run(cli + " share -n 4 -k 2 --key " + keyHex + " -o " + sharesFile, rc);
    ASSERT_EQ(rc, 0);
    std::ifstream in(sharesFile);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& l : lines) EXPECT_EQ(l.size(), 64u);
    // Any two lines restore the key.
    const std::string two = (dir / "two.txt").string();
    std::ofstream(two) << lines[3] << "\n\n" << lines[1] << "\n";
    EXPECT_EQ(run(cli + " unite " + two, rc), keyHex + "\n");
    EXPECT_EQ(rc, 0);
    run(cli + " share -n 65 -k 2 --key " + keyHex + " 2>/dev/null", rc);
    EXPECT_EQ(rc, 1);
}
