// Round trips through the qelt command: rand, mac, share and unite.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"

using namespace qelt::test;

namespace {
// Runs a command and returns its standard output; `rc` receives the exit status.
std::string runCommand(const std::string& cmd, int& rc) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = pclose(p);
    rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}
}  // namespace

TEST(CliRandom, PrintsHex) {
    int rc = -1;
    const std::string out = runCommand(std::string(QELT_CLI_PATH) + " rand 24", rc);
    EXPECT_EQ(rc, 0);
    ASSERT_EQ(out.size(), 49u) << out;
    EXPECT_EQ(out.find_first_not_of("0123456789abcdef"), 48u);
    runCommand(std::string(QELT_CLI_PATH) + " rand 0 2>/dev/null", rc);
    EXPECT_EQ(rc, 1);
}

TEST(CliMac, GenerateAndVerify) {
    const auto dir = scratchDir("CliMac");
    const std::string file = (dir / "data.txt").string();
    std::ofstream(file) << "what do ya want for nothing?";
    const std::string cli = QELT_CLI_PATH;
    int rc = -1;
    // RFC 2202 test case 2 for HMAC-MD5 (key "Jefe").
    std::string out = runCommand(cli + " mac -a md5 --key 4a656665 " + file, rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "750c783e6ab0b503eaa86e310a5db738\n");
    runCommand(cli + " mac -a md5 --key 4a656665 --verify 750c783e6ab0b503eaa86e310a5db738 " + file, rc);
    EXPECT_EQ(rc, 0);
    runCommand(cli + " mac -a md5 --key 4a656665 --verify 750c783e6ab0b503eaa86e310a5db739 " + file + " 2>/dev/null",
               rc);
    EXPECT_EQ(rc, 1);
    runCommand(cli + " mac -a sha512 --key 4a656665 " + file + " 2>/dev/null", rc);
    EXPECT_EQ(rc, 2);
}

TEST(CliShare, SplitThenUnite) {
    const auto dir = scratchDir("CliShare");
    const std::string cli = QELT_CLI_PATH, sharesFile = (dir / "shares.txt").string();
    const std::string keyHex = "00112233445566778899aabbccddeeff";
    int rc = -1;
    runCommand(cli + " share -n 4 -k 2 --key " + keyHex + " -o " + sharesFile, rc);
    ASSERT_EQ(rc, 0);
    std::ifstream in(sharesFile);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& l : lines) EXPECT_EQ(l.size(), 64u);
    // Any two lines restore the key.
    const std::string two = (dir / "two.txt").string();
    std::ofstream(two) << lines[3] << "\n\n" << lines[1] << "\n";
    EXPECT_EQ(runCommand(cli + " unite " + two, rc), keyHex + "\n");
    EXPECT_EQ(rc, 0);
    runCommand(cli + " share -n 65 -k 2 --key " + keyHex + " 2>/dev/null", rc);
    EXPECT_EQ(rc, 1);
}
