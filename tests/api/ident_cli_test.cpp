// The qelt vid / sigea / wcms verbs on the identity test certificates.
#include <cstdlib>

#include "ident_test_data.h"

namespace qelt::test {
namespace {

int sh(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(IdentCli, IdentityChallengeResponseAndWapMessages) {
    const std::filesystem::path dir = scratchDir("ident-cli-" + std::to_string(::getpid()));
    const std::string data = QELT_TEST_DATA_DIR "/ident/";
    const std::string cd = "cd '" + dir.string() + "' && QELT_WORKDIR=. " + QELT_CLI_PATH;
    EXPECT_EQ(sh(cd + " vid check -c " + data + "user.der -k " + data + "user.p8 8001011234567 >/dev/null"), 0);
    EXPECT_EQ(sh(cd + " vid check -c " + data + "user.der -k " + data + "user.p8 8001011234568 2>/dev/null"), 1);
    EXPECT_EQ(sh(cd + " vid check -c " + data +
                 "biz.der --random 0123456789abcdef0123456789abcdef 1208147521"
                 " >/dev/null"),
              0);

    ASSERT_EQ(sh(cd + " sigea challenge -o ch.der && " + cd + " sigea challenge -o other.der"), 0);
    ASSERT_EQ(sh(cd + " sigea respond -c " + data + "user.der -k " + data + "user.p8 ch.der -o resp.der"), 0);
    EXPECT_EQ(sh(cd + " sigea verify ch.der resp.der -o client.der 2>/dev/null"), 0);
    EXPECT_EQ(fileBytes(dir / "client.der"), identData("user.der"));
    EXPECT_EQ(sh(cd + " sigea verify other.der resp.der 2>/dev/null"), 1);

    ASSERT_EQ(sh("cd '" + dir.string() + "' && printf 'wap data' > data"), 0);
    ASSERT_EQ(sh(cd + " wcms sign -c " + data + "user.der -k " + data + "user.p8 -t 20240101120000 data -o sc.bin"), 0);
    EXPECT_EQ(sh(cd + " wcms verify sc.bin -o back --signer signer.der 2>/dev/null"), 0);
    EXPECT_EQ(fileBytes(dir / "back"), textBytes("wap data"));
    EXPECT_EQ(fileBytes(dir / "signer.der"), identData("user.der"));
    ASSERT_EQ(sh(cd + " wcms encrypt -c " + data + "biz.der -a neat data -o env.bin"), 0);
    EXPECT_EQ(sh(cd + " wcms decrypt -c " + data + "biz.der -k " + data + "biz.p8 env.bin -o opened"), 0);
    EXPECT_EQ(fileBytes(dir / "opened"), textBytes("wap data"));
    EXPECT_EQ(sh(cd + " wcms decrypt -c " + data + "user.der -k " + data + "user.p8 env.bin 2>/dev/null"), 1);
    EXPECT_EQ(sh(cd + " wcms encrypt -c " + data + "biz.der -a des data 2>/dev/null"), 2);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qelt::test
