// SignedData making and processing through the exported functions, with the
// openssl command on the other side: what we make OpenSSL verifies, what
// OpenSSL makes we verify.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/cms_signed_data.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PPrivateKey.h"
#include "openssl_pki.h"

namespace qelt::test {
namespace {

struct Signer {
    Bytes cert, key;
};

// A test CA and signer certificates made once by the openssl command.
class CmsSigned : public ApiTest {
protected:
    static std::filesystem::path& dir() {
        static std::filesystem::path d;
        return d;
    }
    static void SetUpTestSuite() {
        dir() = scratchDir("cms-signed-pki-" + std::to_string(::getpid()));
        // s1 is certified with SHA-256, s2 with SHA-1, enc has no digitalSignature.
        const std::string sign = "keyUsage=critical,digitalSignature,nonRepudiation\nsubjectKeyIdentifier=hash\n";
        ASSERT_TRUE(opensslPki(
            dir(), "CMS-Test-CA",
            {{"s1", sign, 11}, {"s2", sign, 12, "sha1"}, {"enc", "keyUsage=critical,keyEncipherment\n", 13}}));
    }
    static Signer signer(const std::string& n) {
        return {fileBytes(dir() / (n + ".der")), fileBytes(dir() / (n + ".p8"))};
    }

    int make(const Signer& s, const Bytes& content, Bytes& out, const char* time = nullptr) {
        OwnedBinstr cert(s.cert), key(s.key), tbs(content), sd;
        const int rc = QELT_CMS_MakeSignedData(ctx, &cert, &key, &tbs, const_cast<char*>(time), &sd);
        out = sd.vec();
        return rc;
    }
    int addSigner(const Signer& s, const Bytes& in, Bytes& out) {
        OwnedBinstr cert(s.cert), key(s.key), sdIn(in), sdOut;
        const int rc = QELT_CMS_MakeSignedDataWithAddSigner(ctx, &cert, &key, &sdIn, nullptr, &sdOut);
        out = sdOut.vec();
        return rc;
    }
    // Processes with an empty pData; the content and the signer count come back.
    int process(const Bytes& sd, Bytes& content, int& count, const Bytes& external = {}) {
        OwnedBinstr in(sd), data(external);
        count = -1;
        const int rc = QELT_CMS_ProcessSignedData2(ctx, &in, &data, &count);
        content = data.vec();
        return rc;
    }
    // openssl cms -verify of a message we made (bare ones get a ContentInfo first).
    bool opensslVerifies(Bytes sd, const Bytes& content) {
        if (sd[2] == 0x02 || (sd[1] & 0x80 && sd[2 + (sd[1] & 0x7F)] == 0x02)) sd = wrapSignedData(sd);
        putFile(dir() / "ours.der", sd);
        std::filesystem::remove(dir() / "ours.out");
        return openssl(dir(), "cms -verify -binary -inform DER -in ours.der -CAfile ca.pem -out ours.out") &&
               fileBytes(dir() / "ours.out") == content;
    }
    static RSignedData decodeSigned(const Bytes& sd) {
        RSignedData rec;
        EXPECT_EQ(rec.fromASN1Object(sd), 0) << rec.errorText();
        return rec;
    }
    const Bytes content = textBytes("signed content \x01\x02 with binary bytes\r\n");
};

TEST_F(CmsSigned, OursVerifyWithOpensslInBothFormsAndHashes) {
    for (const char* name : {"s1", "s2"}) {
        Bytes bare, wrapped;
        ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_BARE), 0);
        ASSERT_EQ(make(signer(name), content, bare, "20250102030405Z"), 0) << errInfo();
        // A bare SignedData of version 1.
        ASSERT_GT(bare.size(), 10u);
        EXPECT_EQ(bare[0], 0x30);
        EXPECT_TRUE(opensslVerifies(bare, content)) << name;

        // The hash follows the certificate's own signature: SHA-256 for s1, SHA-1 for s2.
        RSignerInfo si;
        ASSERT_EQ(decodeSigned(bare).getSignerInfos().getElement(0, si), 0);
        EXPECT_EQ(decodeSigned(bare).getVersion(), 1);
        EXPECT_TRUE(si.getDigestAlgorithm().getAlgorithm().is(std::string(name) == "s1" ? "2 16 840 1 101 3 4 2 1"
                                                                                        : "1 3 14 3 2 26"));
        EXPECT_TRUE(si.getSignatureAlgorithm().getAlgorithm().is("1 2 840 113549 1 1 1"));
        // contentType, signingTime, messageDigest in DER order.
        RAttribute first;
        ASSERT_EQ(si.getSignedAttrs().getElement(0, first), 0);
        EXPECT_TRUE(first.getAttrType().is("1 2 840 113549 1 9 3"));
        EXPECT_EQ(si.getSignedAttrs().getElementCount(), 3);

        ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
        ASSERT_EQ(make(signer(name), content, wrapped), 0) << errInfo();
        RContentInfo info;
        ASSERT_EQ(info.fromASN1Object(wrapped), 0);
        EXPECT_TRUE(info.getContentType().is("1 2 840 113549 1 7 2"));
        EXPECT_TRUE(opensslVerifies(wrapped, content)) << name;
        putFile(dir() / "p7.der", wrapped);
        EXPECT_TRUE(openssl(dir(), "smime -verify -inform DER -in p7.der -CAfile ca.pem -out p7.out")) << name;
        EXPECT_EQ(fileBytes(dir() / "p7.out"), content);
    }
}

TEST_F(CmsSigned, ContextHashOverridesTheCertificates) {
    ASSERT_EQ(QELT_API_SetHashAlgo(ctx, QELT_HASH_SHA256), 0);
    Bytes sd;
    ASSERT_EQ(make(signer("s2"), content, sd), 0) << errInfo();
    RSignerInfo si;
    ASSERT_EQ(decodeSigned(sd).getSignerInfos().getElement(0, si), 0);
    EXPECT_TRUE(si.getDigestAlgorithm().getAlgorithm().is("2 16 840 1 101 3 4 2 1"));
    EXPECT_TRUE(opensslVerifies(sd, content));
}

TEST_F(CmsSigned, AddedSignersAndCaCertificates) {
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    Bytes one, two, three;
    ASSERT_EQ(make(signer("s1"), content, one), 0) << errInfo();
    ASSERT_EQ(addSigner(signer("s2"), one, two), 0) << errInfo();
    ASSERT_EQ(addSigner(signer("s2"), two, three), 0) << errInfo();
    EXPECT_TRUE(opensslVerifies(two, content));
    EXPECT_TRUE(opensslVerifies(three, content));
    RContentInfo info;
    ASSERT_EQ(info.fromASN1Object(three), 0);
    const RSignedData sd = decodeSigned(bytes(info.getContent().getEncoding()));
    EXPECT_EQ(sd.getSignerInfos().getElementCount(), 3);
    EXPECT_EQ(sd.getDigestAlgorithms().getElementCount(), 2);  // SHA-256 and SHA-1, once each

    Bytes got;
    int count = 0;
    ASSERT_EQ(process(two, got, count), 0) << errInfo();
    EXPECT_EQ(count, 2);
    EXPECT_EQ(got, content);
    OwnedBinstr cert;
    ASSERT_EQ(QELT_CMS_GetSigner(ctx, 1, &cert, nullptr), 0) << errInfo();
    EXPECT_EQ(cert.vec(), signer("s2").cert);
    OwnedBinstr none;
    EXPECT_EQ(QELT_CMS_GetSigner(ctx, 2, &none, nullptr), QELT_ERR_CERT_INDEX_RANGE);
    // Only the signers' certificates are in the message.
    OwnedBinstr caPubs;
    EXPECT_EQ(QELT_CMS_GetSignerCaPubs(ctx, &caPubs), QELT_ERR_NO_SIGNER_CAPUBS);

    // Option 0x400 adds the CA certificate from the context's bundle.
    const Bytes ca = fileBytes(dir() / "ca.der");
    Bytes bundle = {0x30};
    appendDerLength(bundle, ca.size());
    bundle.insert(bundle.end(), ca.begin(), ca.end());
    OwnedBinstr bundleIn(bundle);
    ASSERT_EQ(QELT_API_SetCaPubs(ctx, &bundleIn), 0);
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_BARE), 0);
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_ADD_CACERTS), 0);
    Bytes withCa;
    ASSERT_EQ(make(signer("s1"), content, withCa), 0) << errInfo();
    EXPECT_EQ(decodeSigned(withCa).getCertificates().getElementCount(), 2);
    EXPECT_TRUE(opensslVerifies(withCa, content));
    ASSERT_EQ(process(withCa, got, count), 0) << errInfo();
    OwnedBinstr caBack;
    ASSERT_EQ(QELT_CMS_GetSignerCaPubs(ctx, &caBack), 0) << errInfo();
    EXPECT_EQ(caBack.vec(), bundle);
    // A signer added with the option brings the CA certificate into the existing message.
    Bytes twoWithCa;
    ASSERT_EQ(addSigner(signer("s1"), two, twoWithCa), 0) << errInfo();
    ASSERT_EQ(process(twoWithCa, got, count), 0) << errInfo();
    EXPECT_EQ(count, 3);
    OwnedBinstr caAgain;
    ASSERT_EQ(QELT_CMS_GetSignerCaPubs(ctx, &caAgain), 0) << errInfo();
    EXPECT_EQ(caAgain.vec(), bundle);
}

TEST_F(CmsSigned, OpensslMessagesVerify) {
    putFile(dir() / "content.bin", content);
    const std::string base = "cms -sign -binary -in content.bin -outform DER -signer s1.pem -inkey s1.key ";
    const struct {
        const char* what;
        std::string args;
        int signers;
        bool hasTime;
    } cases[] = {
        {"attributes", base + "-nodetach -md sha256", 1, true},
        {"two signers", base + "-nodetach -signer s2.pem -inkey s2.key -md sha1", 2, true},
        {"indefinite lengths", base + "-nodetach -stream", 1, true},
        {"no attributes", base + "-nodetach -noattr", 1, false},
        {"key identifier", base + "-nodetach -keyid", 1, true},
        {"PKCS#7 smime", "smime -sign -binary -nodetach -in content.bin -outform DER -signer s2.pem -inkey s2.key", 1,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(openssl(dir(), c.args + " -out theirs.der"));
        const Bytes sd = fileBytes(dir() / "theirs.der");
        if (std::string(c.what) == "indefinite lengths") {
            ASSERT_EQ(sd[1], 0x80);
        }
        OwnedBinstr in(sd), data, cert;
        char timeText[32] = "unset";
        ASSERT_EQ(QELT_CMS_ProcessSignedData(ctx, &in, &data, &cert, timeText), 0) << errInfo();
        EXPECT_EQ(data.vec(), content);
        EXPECT_EQ(cert.vec(), c.args.find("smime") == 0 ? signer("s2").cert : signer("s1").cert);
        OwnedBinstr again;
        int seconds = -1;
        ASSERT_EQ(QELT_CMS_GetSigner2(ctx, 0, &again, &seconds), 0) << errInfo();
        if (c.hasTime) {
            EXPECT_EQ(std::strlen(timeText), 14u);
            EXPECT_LT(std::abs(static_cast<long>(std::time(nullptr)) - seconds), 600);
        } else {
            EXPECT_STREQ(timeText, "");
            EXPECT_EQ(seconds, 0);
        }
        Bytes got;
        int count = 0;
        ASSERT_EQ(process(sd, got, count), 0) << errInfo();
        EXPECT_EQ(count, c.signers);
    }
}

TEST_F(CmsSigned, DetachedAndMissingCertificates) {
    putFile(dir() / "content.bin", content);
    ASSERT_TRUE(
        openssl(dir(), "cms -sign -binary -in content.bin -outform DER -signer s1.pem -inkey s1.key -out det.der"));
    Bytes got;
    int count = 0;
    EXPECT_EQ(process(fileBytes(dir() / "det.der"), got, count), QELT_ERR_SIGNED_INVALID);
    ASSERT_EQ(process(fileBytes(dir() / "det.der"), got, count, content), 0) << errInfo();
    EXPECT_EQ(got, content);  // left as given

    ASSERT_TRUE(openssl(dir(),
                        "cms -sign -binary -nodetach -nocerts -in content.bin -outform DER -signer s1.pem "
                        "-inkey s1.key -out nocert.der"));
    EXPECT_EQ(process(fileBytes(dir() / "nocert.der"), got, count), QELT_ERR_SIGNED_INVALID);
    EXPECT_NE(errInfo().find("there is not signer certificate"), std::string::npos) << errInfo();
}

TEST_F(CmsSigned, TamperedAndMalformedMessagesAreRefused) {
    Bytes sd;
    ASSERT_EQ(make(signer("s1"), content, sd), 0) << errInfo();
    Bytes got;
    int count = 0;
    ASSERT_EQ(process(sd, got, count), 0) << errInfo();
    OwnedBinstr before;
    ASSERT_EQ(QELT_CMS_GetSigner(ctx, 0, &before, nullptr), 0);

    // One content byte changed: the digest no longer matches, and the signer is named.
    Bytes changed = sd;
    const auto at = std::search(changed.begin(), changed.end(), content.begin(), content.end());
    ASSERT_NE(at, changed.end());
    *at ^= 0x01;
    EXPECT_EQ(process(changed, got, count), QELT_ERR_SIGNED_INVALID);
    EXPECT_NE(errInfo().find("s1's content Hash value is not same."), std::string::npos) << errInfo();
    EXPECT_NE(errInfo().find("content Hash value is not same."), std::string::npos) << errInfo();
    // A failed call leaves the previous signer list in place.
    OwnedBinstr after;
    EXPECT_EQ(QELT_CMS_GetSigner(ctx, 0, &after, nullptr), 0);

    // The last byte is the signature's.
    Bytes badSig = sd;
    badSig.back() ^= 0x01;
    EXPECT_EQ(process(badSig, got, count), QELT_ERR_SIGNED_INVALID);

    Bytes retagged = sd;
    retagged[0] = 0x31;
    EXPECT_EQ(process(retagged, got, count), QELT_ERR_NOT_SIGNED);
    for (size_t cut : {size_t{1}, size_t{10}, sd.size() / 2, sd.size() - 1}) {
        Bytes truncated(sd.begin(), sd.begin() + static_cast<long>(cut));
        const int rc = process(truncated, got, count);
        EXPECT_TRUE(rc == QELT_ERR_NOT_SIGNED || rc == QELT_ERR_SIGNED_INVALID) << cut << " " << rc;
    }
    // A ContentInfo of another type.
    Bytes data = wrapSignedData(sd);
    data[data[1] & 0x80 ? 2 + (data[1] & 0x7F) + 2 + 8 : 12] = 0x01;  // ...7 2 -> ...7 1
    EXPECT_EQ(process(data, got, count), QELT_ERR_NOT_SIGNED);
}

TEST_F(CmsSigned, ArgumentAndCertificateChecks) {
    Bytes sd;
    EXPECT_EQ(make(signer("enc"), content, sd), QELT_ERR_NOT_SIGNING_CERT);
    EXPECT_EQ(make(signer("s1"), Bytes{}, sd), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(make({signer("s1").cert, Bytes{1, 2, 3}}, content, sd), QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(make({Bytes{0x30, 0x03, 0x02, 0x01, 0x01}, signer("s1").key}, content, sd), QELT_ERR_CERT_NOT_CERT);
    EXPECT_EQ(make(signer("s1"), content, sd, "2025-13"), QELT_ERR_TIME_FORMAT);
    OwnedBinstr cert;
    EXPECT_EQ(QELT_CMS_GetSigner(ctx, 0, &cert, nullptr), QELT_ERR_NO_SIGNER_CERT);
    EXPECT_EQ(QELT_CMS_GetSignerCaPubs(ctx, nullptr), QELT_ERR_INVALID_ARGUMENT);
    OwnedBinstr in(content), data;
    EXPECT_EQ(QELT_CMS_ProcessSignedData(ctx, &in, &data, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);

    // The given signing time is what the getters report back.
    ASSERT_EQ(make(signer("s1"), content, sd, "20250102030405Z"), 0) << errInfo();
    Bytes got;
    int count = 0;
    ASSERT_EQ(process(sd, got, count), 0) << errInfo();
    int seconds = 0;
    ASSERT_EQ(QELT_CMS_GetSigner2(ctx, 0, &cert, &seconds), 0);
    EXPECT_EQ(seconds, 1735787045);

    // The signer certificate's decoding kept from the call before never
    // answers for another certificate: the encryption certificate is still
    // refused right after s1 signed, and s2's message carries s2.
    EXPECT_EQ(make(signer("enc"), content, sd), QELT_ERR_NOT_SIGNING_CERT);
    ASSERT_EQ(make(signer("s2"), content, sd), 0) << errInfo();
    ASSERT_EQ(process(sd, got, count), 0) << errInfo();
    OwnedBinstr s2;
    ASSERT_EQ(QELT_CMS_GetSigner(ctx, 0, &s2, nullptr), 0) << errInfo();
    EXPECT_EQ(s2.vec(), signer("s2").cert);
}

// A countersignature by s2 over s1's signature, built from the records: it is
// checked when its certificate is in the message and skipped when it is not.
TEST_F(CmsSigned, CounterSignatures) {
    Bytes plain;
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_BARE), 0);
    ASSERT_EQ(make(signer("s1"), content, plain), 0) << errInfo();
    auto countersigned = [&](bool goodDigest, bool withCert) {
        RSignedData sd = decodeSigned(plain);
        RSignerInfo parent;
        EXPECT_EQ(sd.getSignerInfos().getElement(0, parent), 0);
        const Signer s2 = signer("s2");
        RCertificate cert;
        EXPECT_EQ(cert.fromASN1Object(s2.cert), 0);
        ZRHash sha256;
        ByteString digest;
        EXPECT_EQ(sha256.DigestData(ALG_SHA256, parent.getSignature().getValue(), digest), 0);
        if (!goodDigest) digest.setByteAt(0, static_cast<uint8_t>(digest.data()[0] ^ 1));

        RSignerInfo counter;
        counter.setVersion(1);
        RIssuerAndSerialNumber ias;
        ias.setIssuer(cert.getTbsCertificate().getIssuer());
        ias.setSerialNumber(cert.getTbsCertificate().getSerialNumber());
        RSignerIdentifier sid;
        sid.setIssuerAndSerialNumber(ias);
        counter.setSid(sid);
        PAlgorithmUtil algs;
        RAlgorithmIdentifier digestAlg, sigAlg;
        EXPECT_EQ(algs.makeAlgorithmID(ALG_SHA256, digestAlg), 0);
        EXPECT_EQ(algs.makeDigestEncAlgID("1 2 840 113549 1 1 1", ALG_SHA256, sigAlg), 0);
        counter.setDigestAlgorithm(digestAlg);
        counter.setSignatureAlgorithm(sigAlg);
        ASN1OctetString md;
        md.setValue(digest);
        RAttribute mdAttr;
        mdAttr.setAttrType(ASN1ObjectIdentifier("1 2 840 113549 1 9 4"));
        ASN1Set values;
        values.addComponent(md.toASN1Object());
        mdAttr.setAttrValues(values);
        RAttributes attrs;
        attrs.addElement(mdAttr);
        counter.setSignedAttrs(attrs);
        ByteString tbs(attrs.toASN1Object(0));
        tbs.setByteAt(0, 0x31);
        PPrivateKey key;
        ByteString signature;
        const ByteString certBytes = bs(s2.cert);
        EXPECT_EQ(key.setPrivateKeyInfo(bs(s2.key)), 0);
        EXPECT_EQ(key.genSignature(ALG_SHA256, tbs, signature, &certBytes, true), 0);
        ASN1OctetString sigValue;
        sigValue.setValue(signature);
        counter.setSignature(sigValue);

        RAttribute csAttr;
        csAttr.setAttrType(ASN1ObjectIdentifier("1 2 840 113549 1 9 6"));
        ASN1Set csValues;
        csValues.addComponent(counter.toASN1Object());
        csAttr.setAttrValues(csValues);
        RAttributes unsignedAttrs;
        unsignedAttrs.addElement(csAttr);
        parent.setUnsignedAttrs(unsignedAttrs);
        RSignerInfos infos;
        infos.addElement(parent);
        sd.setSignerInfos(infos);
        if (withCert) {
            RCertificateSet certs(sd.getCertificates());
            certs.addElement(certBytes);
            sd.setCertificates(certs);
        }
        return bytes(sd.toASN1Object());
    };
    Bytes got;
    int count = 0;
    EXPECT_EQ(process(countersigned(true, true), got, count), 0) << errInfo();
    EXPECT_EQ(count, 1);
    EXPECT_EQ(process(countersigned(false, true), got, count), QELT_ERR_SIGNED_INVALID);
    EXPECT_NE(errInfo().find("Content Hash value is not same."), std::string::npos) << errInfo();
    EXPECT_EQ(process(countersigned(false, false), got, count), 0) << errInfo();
}

TEST(PSignedDataAttributes, AtMostEightSignedAttributes) {
    auto attempt = [](int extra) {
        PSignedData sd;
        sd.setOption(PSignedData::kPkcs7);
        sd.setContent(ByteString("x"), nullptr);
        sd.setSigningTime(nullptr);
        for (int i = 0; i < extra; ++i) {
            RAttribute a;
            a.setAttrType(ASN1ObjectIdentifier(("1 2 3 " + std::to_string(i)).c_str()));
            ASN1Set values;
            ASN1Null null;
            values.addComponent(null.toASN1Object());
            a.setAttrValues(values);
            EXPECT_EQ(sd.addSignedAttribute(a), 0);
        }
        RAttributes attrs;
        return sd.makeSignedAttrs(ByteString("digest"), attrs);
    };
    EXPECT_EQ(attempt(5), 0);  // 3 standard + 5
    EXPECT_NE(attempt(6), 0);
}

}  // namespace
}  // namespace qelt::test
