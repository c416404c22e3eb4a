// The fuzz seed corpora replayed in the unit tests: every seed that a record
// accepts encodes, and its encoding reads back to the same octets.
#include <gtest/gtest.h>

#include <filesystem>

#include "ASN1Pkix/cms_enveloped_data.h"
#include "ASN1Pkix/ocsp.h"
#include "ASN1Pkix/pkcs12.h"
#include "ASN1Pkix/tsp.h"
#include "pkix_test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

template <class Record>
void replay(const char* corpus) {
    const fs::path dir = fs::path(QELT_SOURCE_DIR) / "fuzz" / "corpus" / (std::string("fuzz_") + corpus);
    int accepted = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().string());
        Record first;
        if (first.fromASN1Object(readFileBytes(entry.path())) != 0) continue;
        ++accepted;
        const ByteString encoded(first.toASN1Object(0));
        ASSERT_EQ(first.errorCode(), 0) << first.errorText();
        Record second;
        ASSERT_EQ(second.fromASN1Object(encoded), 0) << second.errorText();
        EXPECT_TRUE(second.toASN1Object(0) == encoded);
    }
    EXPECT_GT(accepted, 0) << corpus;
}

TEST(FuzzCorpus, SeedsReadBackStably) {
    replay<RCertificate>("pkix_certificate");
    replay<GCertificateList>("pkix_crl");
    replay<RContentInfo>("pkix_content_info");
    replay<RSignedData>("pkix_signed_data");
    replay<REnvelopedData>("pkix_enveloped_data");
    replay<RPFX>("pkix_pfx");
    replay<REncryptedPrivateKeyInfo>("pkix_encrypted_private_key");
    replay<ROCSPResponse>("pkix_ocsp_response");
    replay<RTimeStampResp>("pkix_ts_response");
}

}  // namespace
}  // namespace qelt::test
