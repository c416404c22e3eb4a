// qelt cms sign|verify|encrypt|decrypt --file, and the two signing steps and
// time-stamp token verbs, run as a person would, with OpenSSL on the other side.
#include <fstream>

#include "ASN1Pkix/pkix_test_support.h"
#include "test_support.h"

namespace qelt::test {
namespace {

std::string firstLine(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    return line;
}

TEST(CmsFileCli, FileFormsAgainstOpenssl) {
    const auto dir = scratchDir("CmsFileCli");
    ASSERT_TRUE(runIn(dir,
                      "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -subj /CN=cli-file -days 2 "
                      "-out cert.pem 2>/dev/null && openssl pkcs8 -topk8 -nocrypt -in key.pem -out key.p8 && "
                      "head -c 100000 /dev/urandom > data.bin"));
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;

    // Content inside: verified by us (content extracted) and, once wrapped, by OpenSSL.
    ASSERT_TRUE(runIn(dir, qelt + " cms sign -c cert.pem -k key.p8 --file data.bin -o sd.der 2>err.txt"));
    EXPECT_EQ(std::filesystem::file_size(dir / "err.txt"), 0u);  // no progress off a terminal
    ASSERT_TRUE(runIn(dir, qelt + " cms verify --file sd.der -o back.bin 2>/dev/null && cmp -s back.bin data.bin"));
    // Detached, in a ContentInfo: OpenSSL verifies it against the data file.
    ASSERT_TRUE(
        runIn(dir, qelt + " cms sign -c cert.pem -k key.p8 --contentinfo --detached-content data.bin -o det.der"));
    EXPECT_TRUE(runIn(dir,
                      "openssl cms -verify -binary -inform DER -in det.der -content data.bin -CAfile cert.pem "
                      "-out /dev/null 2>/dev/null"));
    EXPECT_TRUE(runIn(dir, qelt + " cms verify --file det.der --detached-content data.bin 2>/dev/null"));

    // Enveloped with the content inside (OpenSSL opens it) and with the ciphertext apart.
    ASSERT_TRUE(runIn(dir, qelt + " cms encrypt --file data.bin -o env.der cert.pem"));
    EXPECT_TRUE(runIn(dir,
                      "openssl cms -decrypt -inform DER -in env.der -recip cert.pem -inkey key.pem -out ssl.bin "
                      "2>/dev/null && cmp -s ssl.bin data.bin"));
    ASSERT_TRUE(
        runIn(dir, qelt + " cms encrypt -a seed --file data.bin -o env2.der --detached-content ct.bin cert.pem"));
    EXPECT_TRUE(runIn(dir, qelt + " cms decrypt -c cert.pem -k key.p8 --file env2.der --detached-content ct.bin "
                                  "-o back2.bin && cmp -s back2.bin data.bin"));

    // A failure reports the library's code and message and leaves no output
    // (a file that is not DER goes to the in-memory function).
    EXPECT_FALSE(runIn(dir, qelt + " cms decrypt -c cert.pem -k key.p8 --file data.bin -o never.bin 2>err2.txt"));
    EXPECT_EQ(firstLine(dir / "err2.txt"),
              "error 1513: [QELT_CMS_ProcessEnvelopedData] 암호 메시지(EnvelopedData)가 아닙니다.");
    EXPECT_FALSE(std::filesystem::exists(dir / "never.bin"));
    // A message cut short fails midway and leaves an existing output as it was.
    ASSERT_TRUE(runIn(dir, "head -c 60000 env.der > cut.der && printf 'kept' > kept.bin"));
    EXPECT_FALSE(runIn(dir, qelt + " cms decrypt -c cert.pem -k key.p8 cut.der -o kept.bin 2>/dev/null"));
    EXPECT_EQ(firstLine(dir / "kept.bin"), "kept");
}

TEST(CmsFileCli, TwoStepsAndTimeStampTokens) {
    const auto dir = scratchDir("CmsFileCliSteps");
    ASSERT_TRUE(runIn(dir,
                      "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -subj /CN=cli-steps -days 2 "
                      "-out cert.pem 2>/dev/null && openssl pkcs8 -topk8 -nocrypt -in key.pem -out key.p8 && "
                      "printf 'signed in two steps' > m.txt"));
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;
    ASSERT_TRUE(runIn(dir, qelt + " cms tbs -c cert.pem -t 20250102030405 m.txt -o tbs.der"));
    ASSERT_TRUE(runIn(dir,
                      "openssl dgst -sha256 -binary tbs.der > tbs.dgst && openssl pkeyutl -sign -inkey key.pem "
                      "-pkeyopt digest:sha256 -in tbs.dgst -out sig.bin"));
    ASSERT_TRUE(
        runIn(dir, qelt + " cms compose -c cert.pem -t 20250102030405 --sig sig.bin --contentinfo m.txt -o two.der"));
    EXPECT_TRUE(runIn(dir,
                      "openssl cms -verify -binary -inform DER -in two.der -CAfile cert.pem -out out.txt 2>/dev/null "
                      "&& cmp -s out.txt m.txt"));
    // The same as signing in one step.
    ASSERT_TRUE(runIn(dir, qelt + " cms sign -c cert.pem -k key.p8 -t 20250102030405 --contentinfo m.txt -o one.der"));
    EXPECT_TRUE(runIn(dir, "cmp -s one.der two.der"));

    // No token yet; the signature value goes to an openssl authority; the token goes in and comes back.
    EXPECT_FALSE(runIn(dir, qelt + " cms tst-get two.der -o none.der 2>err.txt"));
    EXPECT_EQ(firstLine(dir / "err.txt"),
              "error 1525: [QELT_CMS_GetTimeStampToken] 시점확인토큰 정보가 포함되어있지 않습니다.");
    ASSERT_TRUE(runIn(dir,
                      "printf '[ tsa ]\\ndefault_tsa = t\\n[ t ]\\nserial = ./serial\\nsigner_cert = ./tsa.pem\\n"
                      "signer_key = ./tsa.key\\nsigner_digest = sha256\\ndefault_policy = 1.2.3.4\\n"
                      "digests = sha256\\ness_cert_id_alg = sha256\\n' > tsa.cnf && echo 01 > serial && "
                      "openssl req -x509 -newkey rsa:2048 -nodes -keyout tsa.key -subj /CN=cli-tsa -days 2 "
                      "-addext extendedKeyUsage=critical,timeStamping -out tsa.pem 2>/dev/null"));
    ASSERT_TRUE(runIn(dir, qelt + " cms tst-get --tbt two.der -o tbt.bin"));
    ASSERT_TRUE(runIn(dir,
                      "openssl ts -query -data tbt.bin -sha256 -cert -out q.tsq && openssl ts -reply -config tsa.cnf "
                      "-queryfile q.tsq -out r.tsr 2>/dev/null && openssl ts -reply -in r.tsr -token_out -out tok.der "
                      "2>/dev/null"));
    ASSERT_TRUE(runIn(dir, qelt + " cms tst-set --token tok.der two.der -o stamped.der"));
    ASSERT_TRUE(runIn(dir, qelt + " cms tst-get stamped.der -o back.der && cmp -s back.der tok.der"));
    EXPECT_TRUE(runIn(dir, "openssl ts -verify -data tbt.bin -in back.der -token_in -CAfile tsa.pem >/dev/null 2>&1"));
}

}  // namespace
}  // namespace qelt::test
