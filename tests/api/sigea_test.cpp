// Challenge-response authentication through the exported functions; the
// messages are taken apart and the signatures checked with OpenSSL.
#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include "ident_test_data.h"

namespace qelt::test {
namespace {

using AnySeq = std::unique_ptr<STACK_OF(ASN1_TYPE), void (*)(STACK_OF(ASN1_TYPE)*)>;

AnySeq parseSequence(const Bytes& der) {
    const unsigned char* p = der.data();
    STACK_OF(ASN1_TYPE)* s = d2i_ASN1_SEQUENCE_ANY(nullptr, &p, static_cast<long>(der.size()));
    if (s != nullptr && p != der.data() + der.size()) {
        sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free);
        s = nullptr;
    }
    return AnySeq(s, [](STACK_OF(ASN1_TYPE) * x) { sk_ASN1_TYPE_pop_free(x, ASN1_TYPE_free); });
}

// Rewrites the two-octet length of a SEQUENCE "30 82 hi lo ..." after its content changed.
void reframe(Bytes& seq) {
    const size_t body = seq.size() - 4;
    seq[2] = static_cast<uint8_t>(body >> 8);
    seq[3] = static_cast<uint8_t>(body);
}

Bytes stringBytes(const ASN1_STRING* s) {
    return Bytes(ASN1_STRING_get0_data(s), ASN1_STRING_get0_data(s) + ASN1_STRING_length(s));
}

class SigeaApi : public ApiTest {
protected:
    Bytes challenge() {
        OwnedBinstr c;
        EXPECT_EQ(QELT_SIGEA_MakeChallenge(ctx, &c), 0) << errInfo();
        return c.vec();
    }
    int respond(const Bytes& challengeDer, const Bytes& cert, const Bytes& key, Bytes& response) {
        OwnedBinstr c(challengeDer), crt(cert), k(key), out;
        const int rc = QELT_SIGEA_MakeResponse(ctx, &c, &crt, &k, &out);
        response = out.vec();
        return rc;
    }
    int verify(const Bytes& response, const Bytes& challengeDer, Bytes* certOut = nullptr) {
        OwnedBinstr r(response), c(challengeDer), out;
        const int rc = QELT_SIGEA_VerifyResponse(ctx, &r, &c, &out);
        if (certOut != nullptr) *certOut = out.vec();
        return rc;
    }
    const Bytes user = identData("user.der"), userKey = identData("user.p8");
};

TEST_F(SigeaApi, ChallengesAreFreshSixteenBytesInTheSameFraming) {
    const Bytes a = challenge(), b = challenge();
    ASSERT_EQ(a.size(), 20u);
    ASSERT_EQ(b.size(), 20u);
    const Bytes framing{0x30, 0x12, 0x04, 0x10};
    EXPECT_TRUE(std::equal(framing.begin(), framing.end(), a.begin()));
    EXPECT_TRUE(std::equal(framing.begin(), framing.end(), b.begin()));
    EXPECT_NE(a, b);
}

TEST_F(SigeaApi, ResponseLayoutAndSignatureCheckedByOpenssl) {
    const Bytes ch = challenge();
    // The context's hash setting does not apply: responses are signed with SHA-1.
    ASSERT_EQ(QELT_API_SetHashAlgo(ctx, 4), 0);
    Bytes response, returned;
    ASSERT_EQ(respond(ch, user, userKey, response), 0) << errInfo();

    AnySeq parts = parseSequence(response);
    ASSERT_TRUE(parts);
    ASSERT_EQ(sk_ASN1_TYPE_num(parts.get()), 5);
    const ASN1_TYPE* random = sk_ASN1_TYPE_value(parts.get(), 0);
    const ASN1_TYPE* role = sk_ASN1_TYPE_value(parts.get(), 1);
    const ASN1_TYPE* alg = sk_ASN1_TYPE_value(parts.get(), 2);
    const ASN1_TYPE* sig = sk_ASN1_TYPE_value(parts.get(), 3);
    const ASN1_TYPE* cert = sk_ASN1_TYPE_value(parts.get(), 4);
    ASSERT_EQ(ASN1_TYPE_get(random), V_ASN1_OCTET_STRING);
    ASSERT_EQ(ASN1_TYPE_get(role), V_ASN1_OCTET_STRING);
    ASSERT_EQ(ASN1_TYPE_get(alg), V_ASN1_SEQUENCE);
    ASSERT_EQ(ASN1_TYPE_get(sig), V_ASN1_BIT_STRING);
    ASSERT_EQ(ASN1_TYPE_get(cert), V_ASN1_SEQUENCE);
    const Bytes clientRandom = stringBytes(random->value.octet_string);
    EXPECT_EQ(clientRandom.size(), 16u);
    EXPECT_EQ(stringBytes(role->value.octet_string), textBytes("client"));
    EXPECT_EQ(stringBytes(cert->value.sequence), user);  // the certificate's own bytes
    const Bytes algDer = stringBytes(alg->value.sequence);
    const unsigned char* p = algDer.data();
    std::unique_ptr<X509_ALGOR, decltype(&X509_ALGOR_free)> algor(
        d2i_X509_ALGOR(nullptr, &p, static_cast<long>(algDer.size())), X509_ALGOR_free);
    ASSERT_TRUE(algor);
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algor.get());
    EXPECT_EQ(OBJ_obj2nid(oid), NID_sha1WithRSAEncryption);
    EXPECT_EQ(sig->value.bit_string->flags & 0x07, 0);

    // The signature covers clientRandom || serverChallenge || "client".
    const Bytes serverChallenge(ch.begin() + 4, ch.end());
    const Bytes signedData = concat({clientRandom, serverChallenge, textBytes("client")});
    EXPECT_TRUE(opensslVerifies(user, EVP_sha1(), signedData, stringBytes(sig->value.bit_string)));

    ASSERT_EQ(verify(response, ch, &returned), 0) << errInfo();
    EXPECT_EQ(returned, user);
}

TEST_F(SigeaApi, EcdsaResponsesVerify) {
    const Bytes ch = challenge(), ec = identData("ec.der");
    Bytes response, returned;
    ASSERT_EQ(respond(ch, ec, identData("ec.p8"), response), 0) << errInfo();
    ASSERT_EQ(verify(response, ch, &returned), 0) << errInfo();
    EXPECT_EQ(returned, ec);
}

TEST_F(SigeaApi, ResponseIsBoundToItsChallengeAndKey) {
    const Bytes first = challenge(), second = challenge();
    Bytes response;
    ASSERT_EQ(respond(first, user, userKey, response), 0) << errInfo();
    // Another challenge, or the same response replayed to a later challenge.
    EXPECT_EQ(verify(response, second), QELT_ERR_VERIFY);
    EXPECT_NE(errInfo().find("서명값을 검증하는데 실패하였습니다."_cp949), std::string::npos) << errInfo();

    // Signed by another key than the certificate's.
    Bytes forged;
    ASSERT_EQ(respond(first, user, identData("plain.p8"), forged), 0) << errInfo();
    EXPECT_EQ(verify(forged, first), QELT_ERR_VERIFY);

    // A genuine response whose certificate was swapped for another one.
    const Bytes plain = identData("plain.der");
    Bytes swapped(response.begin(), response.end() - static_cast<long>(user.size()));
    swapped.insert(swapped.end(), plain.begin(), plain.end());
    reframe(swapped);
    EXPECT_EQ(verify(swapped, first), QELT_ERR_VERIFY);
}

TEST_F(SigeaApi, CertificateValidityIsTheCallersBusiness) {
    // An expired certificate still answers and verifies: the server validates
    // the returned certificate itself.
    const Bytes ch = challenge(), expired = identData("expired.der");
    Bytes response, returned;
    ASSERT_EQ(respond(ch, expired, identData("expired.p8"), response), 0) << errInfo();
    ASSERT_EQ(verify(response, ch, &returned), 0) << errInfo();
    EXPECT_EQ(returned, expired);
}

TEST_F(SigeaApi, MalformedChallengesAre4000ForBothSides) {
    const Bytes ch = challenge();
    Bytes response;
    ASSERT_EQ(respond(ch, user, userKey, response), 0) << errInfo();
    const Bytes twoComponents{0x30, 0x06, 0x04, 0x01, 0xAA, 0x04, 0x01, 0xBB};
    const Bytes notOctets{0x30, 0x03, 0x02, 0x01, 0x05};
    const Bytes notSequence{0x04, 0x02, 0xAA, 0xBB};
    for (const Bytes& bad : {twoComponents, notOctets, notSequence}) {
        Bytes out{1, 2, 3};
        EXPECT_EQ(respond(bad, user, userKey, out), QELT_ERR_SIGEA_BAD_CHALLENGE);
        EXPECT_NE(errInfo().find("잘못된 형식의 도전값입니다."_cp949), std::string::npos) << errInfo();
        EXPECT_EQ(verify(response, bad), QELT_ERR_SIGEA_BAD_CHALLENGE);
    }
}

TEST_F(SigeaApi, MalformedResponsesAre4002) {
    const Bytes ch = challenge();
    Bytes response;
    ASSERT_EQ(respond(ch, user, userKey, response), 0) << errInfo();
    // The role octets follow 30 82 hi lo 04 10 <16 octets> 04 06.
    const size_t roleAt = 4 + 18 + 2;
    ASSERT_EQ(Bytes(response.begin() + roleAt, response.begin() + roleAt + 6), textBytes("client"));
    for (const char* role : {"Client", "server"}) {
        Bytes changed = response;
        std::copy(role, role + 6, changed.begin() + roleAt);
        EXPECT_EQ(verify(changed, ch), QELT_ERR_SIGEA_BAD_RESPONSE) << role;
        EXPECT_NE(errInfo().find("잘못된 응답 메시지입니다."_cp949), std::string::npos) << errInfo();
    }
    // A sixth component, a truncated message, a challenge in place of a response.
    Bytes sixth = response;
    sixth.insert(sixth.end(), {0x05, 0x00});
    reframe(sixth);
    EXPECT_EQ(verify(sixth, ch), QELT_ERR_SIGEA_BAD_RESPONSE);
    EXPECT_EQ(verify(Bytes(response.begin(), response.end() - 1), ch), QELT_ERR_SIGEA_BAD_RESPONSE);
    EXPECT_EQ(verify(ch, ch), QELT_ERR_SIGEA_BAD_RESPONSE);
}

TEST_F(SigeaApi, KeyAndCertificateRefusals) {
    const Bytes ch = challenge();
    // An encrypted private key: 1305, and the output record is left as it was.
    OwnedBinstr plainKey(userKey), encrypted;
    ASSERT_EQ(QELT_PRIKEY_Encrypt(ctx, QELT_SYM_SEED, const_cast<char*>("pw"), &plainKey, &encrypted), 0);
    OwnedBinstr c(ch), cert(user), out(std::string("untouched"));
    EXPECT_EQ(QELT_SIGEA_MakeResponse(ctx, &c, &cert, &encrypted, &out), QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(out.str(), "untouched");
    EXPECT_NE(errInfo().find("복호화된 개인키가 아닙니다."_cp949), std::string::npos);

    Bytes response;
    EXPECT_EQ(respond(ch, identData("kmonly.der"), userKey, response), QELT_ERR_NOT_SIGNING_CERT);
    EXPECT_NE(errInfo().find("서명용 인증서가 아닙니다."_cp949), std::string::npos);
    EXPECT_EQ(respond(ch, ch, userKey, response), QELT_ERR_CERT_NOT_CERT);  // a SEQUENCE, not a certificate
    EXPECT_EQ(respond(ch, textBytes("not DER"), userKey, response), QELT_ERR_CERT_INVALID);
}

TEST_F(SigeaApi, ArgumentsAreCheckedInOrder) {
    const Bytes ch = challenge();
    OwnedBinstr c(ch), cert(user), key(userKey), empty, out;
    auto expect = [&](int rc, const char* message) {
        EXPECT_EQ(rc, QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find(message), std::string::npos) << errInfo();
    };
    expect(QELT_SIGEA_MakeChallenge(ctx, nullptr), "pChallenge의 포인터가 NULL입니다."_cp949);
    expect(QELT_SIGEA_MakeResponse(ctx, &empty, nullptr, nullptr, nullptr),
           "서버로부터 받은 도전값(pChallenge)을 지정하세요."_cp949);
    expect(QELT_SIGEA_MakeResponse(ctx, &c, &empty, nullptr, nullptr), "서명용 인증서(pCert)를 지정하세요."_cp949);
    expect(QELT_SIGEA_MakeResponse(ctx, &c, &cert, &empty, nullptr), "서명용 개인키(pPriKey)를 지정하세요."_cp949);
    expect(QELT_SIGEA_MakeResponse(ctx, &c, &cert, &key, nullptr), "pResponse의 포인터가 NULL입니다."_cp949);
    expect(QELT_SIGEA_VerifyResponse(ctx, nullptr, &c, &out),
           "클라이언트로 부터 받은 응답 메시지(pResponse)를 지정하세요."_cp949);
    expect(QELT_SIGEA_VerifyResponse(ctx, &c, &empty, &out), "도전값(pChallenge)를 지정하세요."_cp949);
    expect(QELT_SIGEA_VerifyResponse(ctx, &c, &c, nullptr), "pCert의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_SIGEA_MakeChallenge(nullptr, &out), QELT_ERR_NOT_INITIALIZED);
}

}  // namespace
}  // namespace qelt::test
