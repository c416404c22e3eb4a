// qelt cms signenc / decverify, run as a person would, over files and pipes,
// with PEM and DER inputs.
#include <fstream>

#include "ASN1Pkix/pkix_test_support.h"
#include "test_support.h"

namespace qelt::test {
namespace {

TEST(CmsSignEncCli, SignEncryptAndOpenOverFilesAndPipes) {
    const auto dir = scratchDir("CmsSignEncCli");
    for (const char* who : {"alice", "bob", "eve"})
        ASSERT_TRUE(runIn(dir, std::string("openssl req -x509 -newkey rsa:2048 -nodes -keyout ") + who +
                                   ".pem -subj /CN=" + who + " -days 2 -out " + who + ".crt 2>/dev/null && " +
                                   "openssl pkcs8 -topk8 -nocrypt -in " + who + ".pem -out " + who + ".p8 && " +
                                   "openssl x509 -in " + who + ".crt -outform DER -out " + who + ".der"));
    ASSERT_TRUE(runIn(dir, "printf 'signed and sealed' > msg.txt"));
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;
    // Files, DER output that asn1parse reads; the signer certificate comes back.
    ASSERT_TRUE(runIn(dir, qelt + " cms signenc -c alice.crt -k alice.p8 -r bob.der msg.txt -o sed.der"));
    ASSERT_TRUE(runIn(dir, "openssl asn1parse -inform DER -in sed.der >/dev/null"));
    ASSERT_TRUE(runIn(dir, "cat sed.der | " + qelt +
                               " cms decverify -c bob.crt -k bob.p8 --signer signer.der > back.txt 2>who.txt && "
                               "cmp -s back.txt msg.txt && cmp -s signer.der alice.der"));
    std::ifstream who(dir / "who.txt");
    std::string line;
    std::getline(who, line);
    EXPECT_EQ(line, "verified: signed by cn=alice");
    // Pipes all the way, PEM message, another cipher and hash.
    ASSERT_TRUE(
        runIn(dir, "cat msg.txt | " + qelt + " cms signenc -c alice.der -k alice.p8 -r bob.crt -a seed " +
                       "--hash sha1 --pem | " + qelt +
                       " cms decverify -c bob.der -k bob.p8 -o back2.txt 2>/dev/null && cmp -s back2.txt msg.txt"));
    // Not the recipient: the library's code and message.
    EXPECT_FALSE(runIn(dir, qelt + " cms decverify -c eve.crt -k eve.p8 sed.der 2>err.txt"));
    std::ifstream err(dir / "err.txt");
    std::getline(err, line);
    EXPECT_EQ(line.rfind("error 1504: [QELT_CMS_ProcessSignedAndEnvData] 잘못된 서명 및 암호 메시지"
                         "(SignedAndEnvelopedData)입니다.",
                         0),
              0u)
        << line;
    EXPECT_FALSE(runIn(dir, qelt + " cms signenc -c alice.crt -k alice.p8 -r bob.crt -a rc4 msg.txt 2>/dev/null"));
}

}  // namespace
}  // namespace qelt::test
