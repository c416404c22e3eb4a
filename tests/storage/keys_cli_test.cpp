// The qelt verbs of the key families as a person runs them: PFX import and
// export, a key written to and read back from a disk medium, and a token
// written to and signed on through SoftHSM2.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "api/pkey_test_keys.h"

namespace qelt::test {
namespace {

const std::filesystem::path kData = std::filesystem::path(QELT_TEST_DATA_DIR) / "pfx";

// Runs a shell command line in `dir`; its exit status.
int run(const std::filesystem::path& dir, const std::string& line) {
    const std::string cmd =
        "cd '" + dir.string() + "' && QELT_WORKDIR='" + dir.string() + "' " + line + " >out.txt 2>err.txt";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(KeysCliTest, PfxAndDiskMediumRoundTrip) {
    const auto dir = scratchDir("keys-cli-pfx-" + std::to_string(::getpid()));
    const std::string qelt = QELT_CLI_PATH, data = kData.string();
    ASSERT_EQ(run(dir, "QELT_PFX_PASS=pfx-test-pass " + qelt + " pfx import " + data +
                           "/legacy.p12 --sign-cert c.der --sign-key k.p8"),
              0);
    EXPECT_EQ(fileBytes(dir / "c.der"), fileBytes(kData / "sign.der"));
    EXPECT_EQ(fileBytes(dir / "k.p8"), fileBytes(kData / "sign.key"));
    EXPECT_EQ(run(dir, "QELT_PFX_PASS=wrong " + qelt + " pfx import " + data + "/legacy.p12"), 1);
    ASSERT_EQ(run(dir, "QELT_PFX_PASS=secret " + qelt + " pfx export --sign-cert c.der --sign-key k.p8 -o my.p12"), 0);
    EXPECT_TRUE(openssl(dir, "pkcs12 -legacy -in my.p12 -passin pass:secret -info -noout"));
    EXPECT_EQ(run(dir, qelt + " pfx export --pass secret --sign-cert c.der -o x.p12"), 1);  // key missing: 1006

    ASSERT_EQ(run(dir, "QELT_KEY_PASS=secret " + qelt + " storage write-key --file keys/k.enc -a aria k.p8"), 0);
    ASSERT_EQ(run(dir, "QELT_KEY_PASS=secret " + qelt + " storage read-key --file keys/k.enc -o back.p8"), 0);
    EXPECT_EQ(fileBytes(dir / "back.p8"), fileBytes(kData / "sign.key"));
    EXPECT_EQ(run(dir, qelt + " storage read-key --file keys/k.enc --pass wrong -o x.p8"), 1);
    EXPECT_EQ(run(dir, qelt + " storage read-cert --file c.der --type 4"), 2);
}

TEST(KeysCliTest, TokenWriteObjectsAndSign) {
    const auto dir = scratchDir("keys-cli-hsm-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "tokens");
    std::ofstream(dir / "softhsm2.conf") << "directories.tokendir = " << (dir / "tokens").string() << "\n";
    const std::string env = "SOFTHSM2_CONF='" + (dir / "softhsm2.conf").string() + "' QELT_HSM_PIN=123456 ";
    ASSERT_EQ(run(dir, env + "softhsm2-util --init-token --free --label cli --so-pin 87654321 --pin 123456"), 0);
    const std::string hsm = env + QELT_CLI_PATH + " hsm ";
    const std::string module = " --module /usr/lib/softhsm/libsofthsm2.so ";
    ASSERT_EQ(run(dir, hsm + "write" + module + kData.string() + "/sign.der " + kData.string() + "/sign.key"), 0);
    ASSERT_EQ(run(dir, hsm + "objects" + module), 0);
    std::ifstream listing(dir / "out.txt");
    const std::string text((std::istreambuf_iterator<char>(listing)), {});
    const auto at = text.find("KeyID ");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string keyId = text.substr(at + 6, 40);
    putFile(dir / "msg.txt", Bytes{'h', 'i'});
    ASSERT_EQ(run(dir, hsm + "sign" + module + "--key-id " + keyId + " msg.txt -o msg.p7"), 0);
    EXPECT_TRUE(openssl(dir, "cms -verify -inform DER -in msg.p7 -noverify -out /dev/null"));
    EXPECT_EQ(run(dir, "SOFTHSM2_CONF='" + (dir / "softhsm2.conf").string() + "' " + QELT_CLI_PATH + " hsm login" +
                           module + "--pin 000000"),
              1);
}

}  // namespace
}  // namespace qelt::test
