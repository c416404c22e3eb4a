// qelt key encrypt / decrypt / passwd / info / check, run as a person would,
// with OpenSSL making the keys and reading what the tool writes.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "ASN1Pkix/pkix_test_support.h"
#include "test_support.h"

namespace qelt::test {
namespace {

TEST(KeyCli, EncryptChangePasswordDecrypt) {
    const auto dir = scratchDir("KeyCli");
    ASSERT_TRUE(runIn(dir,
                      "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 2>/dev/null | "
                      "openssl pkcs8 -topk8 -nocrypt -outform DER -out key.der"));
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;
    // PEM out from a DER key; OpenSSL reads it.
    ASSERT_TRUE(runIn(dir, qelt + " key encrypt -a 3des --pass first --pem key.der -o enc.pem"));
    ASSERT_TRUE(runIn(dir,
                      "openssl pkcs8 -in enc.pem -passin pass:first | openssl pkcs8 -topk8 -nocrypt "
                      "-outform DER -out ssl.der && cmp -s ssl.der key.der"));
    // PEM in, passwords from the environment, DER out.
    ASSERT_TRUE(runIn(dir, "QELT_KEY_PASS=first QELT_KEY_NEWPASS=second " + qelt + " key passwd enc.pem -o new.der"));
    ASSERT_TRUE(runIn(dir, qelt + " key decrypt --pass second new.der -o back.der && cmp -s back.der key.der"));
    EXPECT_FALSE(runIn(dir, qelt + " key decrypt --pass first new.der -o x.der 2>err.txt"));
    std::ifstream err(dir / "err.txt");
    std::string line;
    std::getline(err, line);
    EXPECT_EQ(line, "error 1301: [QELT_PRIKEY_Decrypt] 비밀번호를 확인하세요.");
    EXPECT_FALSE(runIn(dir, qelt + " key encrypt -a rc4 --pass p key.der -o x.der 2>/dev/null"));
}

TEST(KeyCli, InfoAndKeyPairCheck) {
    const auto dir = scratchDir("KeyCliInfo");
    for (const char* name : {"a", "b"})
        ASSERT_TRUE(runIn(dir, std::string("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out ") +
                                   name + ".pem 2>/dev/null && openssl pkcs8 -topk8 -nocrypt -in " + name +
                                   ".pem -outform DER -out " + name + ".der"));
    ASSERT_TRUE(runIn(dir, "openssl req -x509 -new -key a.pem -subj /CN=a -days 2 -out a.crt"));
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;
    ASSERT_TRUE(runIn(dir, qelt + " key info a.der >info.txt"));
    std::ifstream info(dir / "info.txt");
    const std::string text((std::istreambuf_iterator<char>(info)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "algorithm: RSA\nsize: 1024 Bits\n");
    EXPECT_TRUE(runIn(dir, qelt + " key check a.der a.crt >/dev/null"));
    EXPECT_FALSE(runIn(dir, qelt + " key check b.der a.crt >/dev/null 2>&1"));
}

}  // namespace
}  // namespace qelt::test
