// The qelt sign / verify / asym / pubkey verbs on OpenSSL-made keys.
#include <cstdlib>

#include "pkey_test_keys.h"

namespace qelt::test {
namespace {

int sh(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(SignCli, SignVerifyEncryptAndInfo) {
    const TestKey k = opensslKey("cli-rsa", "-algorithm RSA -pkeyopt rsa_keygen_bits:2048");
    const std::string cd = "cd '" + k.dir.string() + "' && QELT_WORKDIR=. " + QELT_CLI_PATH;
    ASSERT_EQ(sh("cd '" + k.dir.string() + "' && printf 'demo data' > data"), 0);
    ASSERT_EQ(sh(cd + " sign -k key.p8 -c cert.der -a sha256 data -o data.sig"), 0);
    EXPECT_EQ(sh(cd + " verify -c cert.der -a sha256 data data.sig >/dev/null"), 0);
    EXPECT_TRUE(openssl(k.dir, "dgst -sha256 -verify pub.pem -signature data.sig data"));
    EXPECT_EQ(sh(cd + " verify --pubkey pub.der -a sha1 data data.sig 2>/dev/null"), 1);
    ASSERT_EQ(sh(cd + " sign -k key.p8 -a sha1 --file data -o file.sig"), 0);
    EXPECT_EQ(sh(cd + " verify -c cert.der -a sha1 --file data file.sig >/dev/null"), 0);
    ASSERT_EQ(sh(cd + " asym encrypt -c cert.der data -o data.enc"), 0);
    ASSERT_EQ(sh(cd + " asym decrypt -k key.p8 data.enc -o data.dec"), 0);
    EXPECT_EQ(fileBytes(k.dir / "data.dec"), fileBytes(k.dir / "data"));
    ASSERT_EQ(sh(cd + " pubkey info pub.der > info.txt"), 0);
    const Bytes info = fileBytes(k.dir / "info.txt");
    EXPECT_EQ(std::string(info.begin(), info.end()), "algorithm: RSA\nsize: 2048 Bits\n");
}

}  // namespace
}  // namespace qelt::test
