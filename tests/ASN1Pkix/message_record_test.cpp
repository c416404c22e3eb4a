// CMS, PKCS#8, PKCS#12, OCSP and time-stamp records on messages made by the
// openssl command: every level decodes and re-encodes to the same bytes.
#include <gtest/gtest.h>

#include "ASN1Pkix/cms_enveloped_data.h"
#include "ASN1Pkix/ocsp.h"
#include "ASN1Pkix/pkcs12.h"
#include "ASN1Pkix/tsp.h"
#include "pkix_test_support.h"

namespace qelt::test {
namespace {

std::vector<uint8_t> bytesOf(const ByteString& b) { return {b.bytes().begin(), b.bytes().end()}; }

std::string toHex(const ByteString& b) { return b.toHex().c_str(); }

std::vector<uint8_t> fixture(const char* name) { return readFileBytes(opensslFixtures() / name); }

// Unwraps a ContentInfo of the given type; the inner encoding goes to `inner`.
void contentOf(const std::vector<uint8_t>& der, const char* typeOid, std::vector<uint8_t>& inner, bool exact = true) {
    RContentInfo ci;
    if (exact) {
        ASSERT_TRUE(roundTrips(der, ci));
    } else {
        ASSERT_EQ(ci.fromASN1Object(der), 0) << ci.errorText();
    }
    ASSERT_TRUE(ci.getContentType().is(typeOid));
    ASSERT_TRUE(ci.hasContent());
    inner = bytesOf(ci.getContent().getEncoding());
}

template <class Record, class List>
void eachElementRoundTrips(List& list, int expectedCount) {
    EXPECT_EQ(list.getElementCount(), expectedCount);
    for (int i = 0; i < list.getElementCount(); ++i) {
        Record r;
        EXPECT_TRUE(roundTrips(bytesOf(list.getElement(i)), r)) << "element " << i;
    }
}

TEST(CmsRecords, SignedDataWithTwoSignersAndCertificates) {
    std::vector<uint8_t> inner;
    contentOf(fixture("signed.der"), "1 2 840 113549 1 7 2", inner);
    RSignedData sd;
    ASSERT_TRUE(roundTrips(inner, sd));
    EXPECT_EQ(sd.getVersion(), 1);
    EXPECT_TRUE(sd.hasCertificates());
    EXPECT_FALSE(sd.hasCrls());
    ByteString content;
    ASSERT_EQ(sd.getEncapContentInfo().getContentOctets(content), 0);
    EXPECT_STREQ(content.c_str(), "hello, signed world\n");

    RCertificateSet certs = sd.getCertificates();
    eachElementRoundTrips<RCertificateChoices>(certs, 3);
    RSignerInfos signers = sd.getSignerInfos();
    eachElementRoundTrips<RSignerInfo>(signers, 2);

    RSignerInfo si;
    ASSERT_EQ(signers.getElement(0, si), 0);
    EXPECT_TRUE(si.getSid().isIssuerAndSerialNumber());
    ASSERT_TRUE(si.hasSignedAttrs());
    RAttribute digest;
    ASSERT_EQ(si.getSignedAttrs().findAttribute("1 2 840 113549 1 9 4", digest), 0);
    EXPECT_EQ(digest.getAttrValues().getComponentCount(), 1);
    // Signatures are computed over the attributes as a plain SET.
    RAttributes attrs = si.getSignedAttrs();
    EXPECT_EQ(attrs.toASN1Object(1).data()[0], 0x31);
    EXPECT_EQ(attrs.toASN1Object(0).data()[0], 0xA0);
}

TEST(CmsRecords, StreamedBerSignedDataDecodes) {
    const auto der = fixture("signed_stream.der");
    ASSERT_GT(der.size(), 2u);
    ASSERT_EQ(der[1], 0x80) << "expected indefinite-length output from -stream";
    std::vector<uint8_t> inner;
    contentOf(der, "1 2 840 113549 1 7 2", inner, false);
    RSignedData sd;
    ASSERT_EQ(sd.fromASN1Object(inner), 0) << sd.errorText();
    ByteString content;
    ASSERT_EQ(sd.getEncapContentInfo().getContentOctets(content), 0);
    EXPECT_STREQ(content.c_str(), "hello, signed world\n");
    EXPECT_EQ(sd.getSignerInfos().getElementCount(), 1);
    // The definite re-encoding decodes to the same fields.
    RSignedData again;
    ASSERT_EQ(again.fromASN1Object(sd.toASN1Object()), 0) << again.errorText();
    EXPECT_TRUE(roundTrips(bytesOf(sd.toASN1Object()), again));
}

TEST(CmsRecords, EnvelopedAndEncryptedData) {
    for (const char* name : {"enveloped.der", "enveloped_keyid.der"}) {
        std::vector<uint8_t> inner;
        contentOf(fixture(name), "1 2 840 113549 1 7 3", inner);
        REnvelopedData ed;
        ASSERT_TRUE(roundTrips(inner, ed)) << name;
        RRecipientInfos recipients = ed.getRecipientInfos();
        ASSERT_EQ(recipients.getElementCount(), 1);
        RRecipientInfo ri;
        ASSERT_EQ(recipients.getElement(0, ri), 0);
        ASSERT_TRUE(ri.isKtri());
        EXPECT_EQ(ri.getKtri().getRid().isSubjectKeyIdentifier(), std::string(name) == "enveloped_keyid.der");
        EXPECT_EQ(ri.getKtri().getEncryptedKey().getValue().length(), 256);
        EXPECT_TRUE(ed.getEncryptedContentInfo().hasEncryptedContent());
    }
    // Key agreement (EC) next to key transport, a key-encryption key, a password.
    const struct {
        const char* file;
        int count;
        uint8_t kind;
    } kinds[] = {{"enveloped_ec.der", 2, RRecipientInfo::kKariBit},
                 {"enveloped_kek.der", 1, RRecipientInfo::kKekriBit},
                 {"enveloped_pwri.der", 1, RRecipientInfo::kPwriBit}};
    for (const auto& k : kinds) {
        std::vector<uint8_t> inner;
        contentOf(fixture(k.file), "1 2 840 113549 1 7 3", inner);
        REnvelopedData ed;
        ASSERT_TRUE(roundTrips(inner, ed)) << k.file;
        RRecipientInfos recipients = ed.getRecipientInfos();
        ASSERT_EQ(recipients.getElementCount(), k.count) << k.file;
        bool seen = false;
        for (int i = 0; i < k.count; ++i) {
            RRecipientInfo ri;
            ASSERT_TRUE(roundTrips(bytesOf(recipients.getElement(i)), ri)) << k.file;
            if (ri.getBitMask() != k.kind) continue;
            seen = true;
            if (ri.isKari()) {
                EXPECT_TRUE(ri.getKari().getOriginator().isOriginatorKey());
                EXPECT_EQ(ri.getKari().getRecipientEncryptedKeys().getElementCount(), 1);
            }
            if (ri.isKekri()) EXPECT_EQ(toHex(ri.getKekri().getKekid().getKeyIdentifier().getValue()), "0a0b0c0d");
        }
        EXPECT_TRUE(seen) << k.file;
    }
    // Streamed (BER) EnvelopedData: the segmented encrypted content is joined.
    {
        std::vector<uint8_t> inner;
        contentOf(fixture("enveloped_stream.der"), "1 2 840 113549 1 7 3", inner, false);
        REnvelopedData ed;
        ASSERT_EQ(ed.fromASN1Object(inner), 0) << ed.errorText();
        EXPECT_EQ(ed.getEncryptedContentInfo().getEncryptedContent().getValue().length(), 32);
    }

    std::vector<uint8_t> inner;
    contentOf(fixture("encrypted.der"), "1 2 840 113549 1 7 6", inner);
    REncryptedData enc;
    ASSERT_TRUE(roundTrips(inner, enc));
    EXPECT_EQ(enc.getEncryptedContentInfo().getEncryptedContent().getValue().length(), 32);
}

TEST(KeyRecords, Pkcs8PlainAndEncrypted) {
    RPrivateKeyInfo plain;
    ASSERT_TRUE(roundTrips(fixture("rsa.p8"), plain));
    RRSAPrivateKey rsa;
    ASSERT_TRUE(roundTrips(bytesOf(plain.getPrivateKey().getValue()), rsa));
    ByteString modulus;
    EXPECT_EQ(rsa.getModulus().getInteger(modulus, 0), 0);
    EXPECT_EQ(modulus.length(), 256);

    for (const char* name : {"rsa_enc.p8", "ee_enc.p8"}) {
        REncryptedPrivateKeyInfo epki;
        ASSERT_TRUE(roundTrips(fixture(name), epki)) << name;
        ASSERT_TRUE(epki.getEncryptionAlgorithm().getAlgorithm().is("1 2 840 113549 1 5 13"));
        RPBES2_params pbes2;
        ASSERT_TRUE(roundTrips(bytesOf(epki.getEncryptionAlgorithm().getParameters().getEncoding()), pbes2));
        RPBKDF2_params kdf;
        ASSERT_TRUE(roundTrips(bytesOf(pbes2.getKeyDerivationFunc().getParameters().getEncoding()), kdf));
        ByteString salt;
        EXPECT_EQ(kdf.getSpecifiedSalt(salt), 0);
        EXPECT_GE(salt.length(), 8);
        EXPECT_GE(kdf.getIterationCount().getInteger(), 2048);
    }
}

TEST(KeyRecords, Pkcs12Walk) {
    RPFX pfx;
    ASSERT_TRUE(roundTrips(fixture("rsa.p12"), pfx));
    EXPECT_EQ(pfx.getVersion(), 3);
    ASSERT_TRUE(pfx.hasMacData());
    std::vector<uint8_t> safeDer;
    ASSERT_TRUE(pfx.getAuthSafe().getContentType().is("1 2 840 113549 1 7 1"));
    ASN1OctetString safeOctets(pfx.getAuthSafe().getContent().getEncoding());
    ASSERT_EQ(safeOctets.getStatus(), 0);
    RAuthenticatedSafe safe;
    ASSERT_TRUE(roundTrips(bytesOf(safeOctets.getValue()), safe));
    int bags = 0;
    for (int i = 0; i < safe.getElementCount(); ++i) {
        RContentInfo ci;
        ASSERT_EQ(safe.getElement(i, ci), 0);
        if (ci.getContentType().is("1 2 840 113549 1 7 6")) {
            REncryptedData enc;  // the certificates, encrypted with the password
            EXPECT_TRUE(roundTrips(bytesOf(ci.getContent().getEncoding()), enc));
            continue;
        }
        ASN1OctetString data(ci.getContent().getEncoding());
        RSafeContents contents;
        ASSERT_TRUE(roundTrips(bytesOf(data.getValue()), contents));
        for (int b = 0; b < contents.getElementCount(); ++b, ++bags) {
            RSafeBag bag;
            ASSERT_EQ(contents.getElement(b, bag), 0);
            EXPECT_TRUE(bag.hasBagAttributes());
            if (bag.getBagId().is("1 2 840 113549 1 12 10 1 2")) {
                REncryptedPrivateKeyInfo key;
                EXPECT_TRUE(roundTrips(bytesOf(bag.getBagValue().getEncoding()), key));
            }
        }
    }
    EXPECT_EQ(bags, 1);
}

TEST(OcspRecords, RequestsAndResponse) {
    ROCSPRequest req;
    ASSERT_TRUE(roundTrips(fixture("ocsp_req.der"), req));
    EXPECT_EQ(req.getTbsRequest().getVersion(), 0);
    EXPECT_EQ(req.getTbsRequest().getRequestList().getComponentCount(), 2);
    RRequest one(req.getTbsRequest().getRequestList().componentBytes(1));
    ASSERT_EQ(one.errorCode(), 0) << one.errorText();
    EXPECT_EQ(one.getReqCert().getIssuerNameHash().getValue().length(), 20);

    ROCSPRequest withNonce;
    ASSERT_TRUE(roundTrips(fixture("ocsp_req_nonce.der"), withNonce));
    EXPECT_TRUE(withNonce.getTbsRequest().hasRequestExtensions());

    ROCSPResponse resp;
    ASSERT_TRUE(roundTrips(fixture("ocsp_resp.der"), resp));
    EXPECT_EQ(resp.getResponseStatus().getInteger(), 0);
    ASSERT_TRUE(resp.getResponseBytes().getResponseType().is("1.3.6.1.5.5.7.48.1.1"));
    RBasicOCSPResponse basic;
    ASSERT_TRUE(roundTrips(bytesOf(resp.getResponseBytes().getResponse().getValue()), basic));
    const RResponseData& data = basic.getTbsResponseData();
    EXPECT_TRUE(data.getResponderID().isByName());
    ASSERT_EQ(data.getResponses().getComponentCount(), 2);
    // Both certificates were revoked in the CA database.
    for (int i = 0; i < 2; ++i) {
        RSingleResponse single(data.getResponses().componentBytes(i));
        ASSERT_EQ(single.errorCode(), 0) << single.errorText();
        ASSERT_TRUE(single.getCertStatus().isRevoked());
        EXPECT_TRUE(single.getCertStatus().getRevoked().hasRevocationReason());
        EXPECT_GT(single.getThisUpdate().getGMTTime(), 0);
    }
}

TEST(TspRecords, RequestResponseAndToken) {
    RTimeStampReq req;
    ASSERT_TRUE(roundTrips(fixture("ts_req.der"), req));
    EXPECT_EQ(req.getVersion(), 1);
    EXPECT_TRUE(req.hasNonce());
    EXPECT_TRUE(req.getCertReq().getBoolean());
    EXPECT_EQ(req.getMessageImprint().getHashedMessage().getValue().length(), 32);

    RTimeStampResp resp;
    ASSERT_TRUE(roundTrips(fixture("ts_resp.der"), resp));
    EXPECT_EQ(resp.getStatus().getStatus().getInteger(), 0);
    ASSERT_TRUE(resp.hasTimeStampToken());
    RSignedData sd;
    ASSERT_TRUE(roundTrips(bytesOf(resp.getTimeStampToken().getContent().getEncoding()), sd));
    ASSERT_TRUE(sd.getEncapContentInfo().getEContentType().is("1 2 840 113549 1 9 16 1 4"));
    ByteString tst;
    ASSERT_EQ(sd.getEncapContentInfo().getContentOctets(tst), 0);
    RTSTInfo info;
    ASSERT_TRUE(roundTrips(bytesOf(tst), info));
    EXPECT_TRUE(info.getPolicy().is("1.2.3.4.1"));
    ASSERT_TRUE(info.hasAccuracy());
    EXPECT_EQ(info.getAccuracy().getSeconds().getInteger(), 1);
    EXPECT_EQ(info.getAccuracy().getMillis().getInteger(), 500);
    EXPECT_TRUE(info.getOrdering().getBoolean());
    ASSERT_TRUE(info.hasTsa());
    EXPECT_TRUE(info.getTsa().isDirectoryName());
    EXPECT_EQ(info.getNonce().getValue(), req.getNonce().getValue());
    // The signing-certificate attribute of the token's signer.
    RSignerInfo si;
    ASSERT_EQ(sd.getSignerInfos().getElement(0, si), 0);
    RAttribute attr;
    ASSERT_EQ(si.getSignedAttrs().findAttribute("1 2 840 113549 1 9 16 2 47", attr), 0);

    {  // the token alone
        RContentInfo token;
        EXPECT_TRUE(roundTrips(fixture("ts_token.der"), token));
    }
}

}  // namespace
}  // namespace qelt::test

#include <openssl/pem.h>
#include <openssl/pkcs7.h>

#include <memory>

namespace qelt::test {
namespace {

// PKCS #7 SignedAndEnvelopedData has no openssl command; libcrypto makes one.
std::vector<uint8_t> makeSignedAndEnveloped() {
    const auto dir = opensslFixtures();
    std::unique_ptr<BIO, decltype(&BIO_free)> certFile(BIO_new_file((dir / "rsa.pem").c_str(), "r"), BIO_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> keyFile(BIO_new_file((dir / "rsa.key").c_str(), "r"), BIO_free);
    if (!certFile || !keyFile) return {};
    std::unique_ptr<X509, decltype(&X509_free)> cert(PEM_read_bio_X509(certFile.get(), nullptr, nullptr, nullptr),
                                                     X509_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(keyFile.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
    std::unique_ptr<PKCS7, decltype(&PKCS7_free)> p7(PKCS7_new(), PKCS7_free);
    if (!cert || !key || !p7 || !PKCS7_set_type(p7.get(), NID_pkcs7_signedAndEnveloped) ||
        !PKCS7_add_signature(p7.get(), cert.get(), key.get(), EVP_sha256()) ||
        !PKCS7_add_certificate(p7.get(), cert.get()) || !PKCS7_add_recipient(p7.get(), cert.get()) ||
        !PKCS7_set_cipher(p7.get(), EVP_aes_128_cbc()))
        return {};
    BIO* data = PKCS7_dataInit(p7.get(), nullptr);
    if (data == nullptr) return {};
    const char text[] = "signed and enveloped";
    const bool written = BIO_write(data, text, sizeof text - 1) == sizeof text - 1 && BIO_flush(data) == 1 &&
                         PKCS7_dataFinal(p7.get(), data) == 1;
    BIO_free_all(data);
    unsigned char* der = nullptr;
    const int len = written ? i2d_PKCS7(p7.get(), &der) : 0;
    std::vector<uint8_t> out(der, der + (len > 0 ? len : 0));
    OPENSSL_free(der);
    return out;
}

TEST(CmsRecords, Pkcs7SignedAndEnvelopedData) {
    const auto der = makeSignedAndEnveloped();
    ASSERT_FALSE(der.empty());
    std::vector<uint8_t> inner;
    contentOf(der, "1 2 840 113549 1 7 4", inner);
    RSignedAndEnvelopedData sed;
    ASSERT_TRUE(roundTrips(inner, sed));
    EXPECT_EQ(sed.getVersion(), 1);
    EXPECT_EQ(sed.getRecipientInfos().getElementCount(), 1);
    ASSERT_TRUE(sed.hasCertificates());
    RExtendedCertificateOrCertificate cert;
    ASSERT_EQ(sed.getCertificates().getElement(0, cert), 0);
    EXPECT_TRUE(cert.isCertificate());
    RSignerInfo signer;
    ASSERT_EQ(sed.getSignerInfos().getElement(0, signer), 0);
    EXPECT_TRUE(signer.getDigestAlgorithm().getAlgorithm().is("2 16 840 1 101 3 4 2 1"));
}

}  // namespace
}  // namespace qelt::test
