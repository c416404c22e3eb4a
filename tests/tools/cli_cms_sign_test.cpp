// qelt cms sign / verify / signers, run as a person would, over files and
// pipes, with OpenSSL on the other side.
#include <fstream>

#include "ASN1Pkix/pkix_test_support.h"
#include "test_support.h"

namespace qelt::test {
namespace {

TEST(CmsSignCli, SignVerifyAndListOverFilesAndPipes) {
    const auto dir = scratchDir("CmsSignCli");
    ASSERT_TRUE(runIn(dir,
                      "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -subj /CN=cli-signer -days 2 "
                      "-out cert.pem 2>/dev/null && openssl pkcs8 -topk8 -nocrypt -in key.pem -out key.p8 && "
                      "printf 'cli content' > msg.txt"));
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;
    // PEM certificate and key; DER message in a ContentInfo that OpenSSL verifies.
    ASSERT_TRUE(runIn(dir, qelt + " cms sign -c cert.pem -k key.p8 --contentinfo msg.txt -o sd.der"));
    ASSERT_TRUE(runIn(dir,
                      "openssl cms -verify -binary -inform DER -in sd.der -CAfile cert.pem -out ssl.txt "
                      "2>/dev/null && cmp -s ssl.txt msg.txt"));
    // A PEM message from OpenSSL, streamed, read from a pipe.
    ASSERT_TRUE(runIn(dir,
                      "openssl cms -sign -binary -nodetach -stream -in msg.txt -signer cert.pem -inkey key.pem "
                      "-outform PEM | " +
                          qelt + " cms verify -o back.txt 2>/dev/null && cmp -s back.txt msg.txt"));
    ASSERT_TRUE(runIn(dir, qelt + " cms sign -c cert.pem -k key.p8 --add sd.der --pem -o two.pem"));
    ASSERT_TRUE(runIn(dir, qelt + " cms signers two.pem > list.txt"));
    std::ifstream list(dir / "list.txt");
    std::string first, second;
    std::getline(list, first);
    std::getline(list, second);
    EXPECT_NE(first.find("signer 0: cn=cli-signer"), std::string::npos) << first;
    EXPECT_NE(second.find("signer 1: cn=cli-signer"), std::string::npos) << second;
    // Not a SignedData: the library's code and message.
    EXPECT_FALSE(runIn(dir, qelt + " cms verify msg.txt 2>err.txt"));
    std::ifstream err(dir / "err.txt");
    std::string line;
    std::getline(err, line);
    EXPECT_EQ(line, "error 1512: [QELT_CMS_ProcessSignedData2] 서명 메시지(SignedData)가 아닙니다.");
}

}  // namespace
}  // namespace qelt::test
