// SignedAndEnvelopedData through the exported functions. The openssl command
// has no verb for this message type, so the peer checks are: asn1parse reads
// what we write, libcrypto's PKCS #7 decoder recovers the content from it, and
// the decrypted encryptedDigest verifies with libcrypto as a PKCS #1 signature
// over the content.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "../../fuzz/fuzz_cms_recipient_key.h"
#include "ASN1Pkix/cms_enveloped_data.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "openssl_pki.h"

namespace qelt::test {
namespace {

struct Party {
    Bytes cert, key;
};

const std::string kText = "Signed and enveloped content.\nSecond line, a little longer than one block.";

// A CA with a signer (digitalSignature), two encryption certificates
// (keyEncipherment) and an unrestricted one, made once per process.
class CmsSignedEnveloped : public ApiTest {
protected:
    static std::filesystem::path& dir() {
        static std::filesystem::path d;
        return d;
    }
    static void SetUpTestSuite() {
        dir() = scratchDir("cms-sed-pki-" + std::to_string(::getpid()));
        const std::string enc = "keyUsage=critical,keyEncipherment\n";
        ASSERT_TRUE(opensslPki(dir(), "SED-Test-CA",
                               {{"signer", "keyUsage=critical,digitalSignature,nonRepudiation\n", 21},
                                {"recip", enc, 22},
                                {"other", enc, 23},
                                {"both", "basicConstraints=CA:FALSE\n", 24}}));
    }
    static Party party(const std::string& n) {
        Party p{fileBytes(dir() / (n + ".der")), fileBytes(dir() / (n + ".p8"))};
        EXPECT_FALSE(p.cert.empty() || p.key.empty()) << "fixture " << n << " missing";
        return p;
    }

    int make(const Party& from, const Bytes& toCert, int alg, Bytes& out, const std::string& content = kText) {
        OwnedBinstr cert(from.cert), key(from.key), rec(toCert), data(content), msg;
        const int rc = QELT_CMS_MakeSignedAndEnvData(ctx, &cert, &key, &rec, &data, alg, &msg);
        out = msg.vec();
        return rc;
    }
    // The content, or "" with the code in lastRc; the signer certificate in lastSigner.
    std::string open(const Party& as, const Bytes& msg) {
        OwnedBinstr cert(as.cert), key(as.key), in(msg), data, signer;
        lastRc = QELT_CMS_ProcessSignedAndEnvData(ctx, &cert, &key, &in, &data, &signer);
        lastSigner = signer.vec();
        return data.str();
    }
    // The bare structure of a message made with or without the ContentInfo wrapper.
    static RSignedAndEnvelopedData bare(const Bytes& msg) {
        RContentInfo ci;
        if (ci.fromASN1Object(bs(msg)) == 0) return RSignedAndEnvelopedData(ci.getContent().getEncoding());
        return RSignedAndEnvelopedData(bs(msg));
    }
    int lastRc = 0;
    Bytes lastSigner;
};

// libcrypto's PKCS #7 decoder recovers the content of our message.
std::string opensslContent(const Bytes& msg, const std::filesystem::path& keyPem,
                           const std::filesystem::path& certPem) {
    std::unique_ptr<BIO, decltype(&BIO_free)> kf(BIO_new_file(keyPem.c_str(), "r"), BIO_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> cf(BIO_new_file(certPem.c_str(), "r"), BIO_free);
    if (!kf || !cf) return "";
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        PEM_read_bio_PrivateKey(kf.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
    std::unique_ptr<X509, decltype(&X509_free)> cert(PEM_read_bio_X509(cf.get(), nullptr, nullptr, nullptr), X509_free);
    const unsigned char* p = msg.data();
    std::unique_ptr<PKCS7, decltype(&PKCS7_free)> p7(d2i_PKCS7(nullptr, &p, static_cast<long>(msg.size())), PKCS7_free);
    if (!key || !cert || !p7 || OBJ_obj2nid(p7->type) != NID_pkcs7_signedAndEnveloped) return "";
    BIO* in = PKCS7_dataDecode(p7.get(), key.get(), nullptr, cert.get());
    if (in == nullptr) return "";
    std::string out;
    char buf[256];
    for (int n; (n = BIO_read(in, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    BIO_free_all(in);
    return out;
}

// True when `signature` is a PKCS #1 v1.5 signature with `md` over `content` by the certificate's key.
bool opensslVerifies(const Bytes& certDer, const EVP_MD* md, const std::string& content, const ByteString& signature) {
    const unsigned char* p = certDer.data();
    std::unique_ptr<X509, decltype(&X509_free)> cert(d2i_X509(nullptr, &p, static_cast<long>(certDer.size())),
                                                     X509_free);
    if (!cert) return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> mctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    return EVP_DigestVerifyInit(mctx.get(), nullptr, md, nullptr, X509_get0_pubkey(cert.get())) == 1 &&
           EVP_DigestVerify(mctx.get(), signature.data(), static_cast<size_t>(signature.length()),
                            reinterpret_cast<const unsigned char*>(content.data()), content.size()) == 1;
}

TEST_F(CmsSignedEnveloped, EveryCipherRoundTripsBareAndWrapped) {
    const Party signer = party("signer"), recip = party("recip");
    const struct {
        int api, engine;
        const char* oid;
        int keyLen, ivLen;
    } ciphers[] = {{QELT_SYM_DES, ALG_DES, "1 3 14 3 2 7", 8, 8},
                   {QELT_SYM_3DES, ALG_3DES, "1 2 840 113549 3 7", 24, 8},
                   {QELT_SYM_SEED, ALG_SEED, "1 2 410 200004 1 4", 16, 16},
                   {QELT_SYM_NEAT, ALG_NEAT, "1 2 410 100001 1 3", 16, 16},
                   {QELT_SYM_ARIA, ALG_ARIA128, "1 2 410 100001 1 20", 16, 16}};
    for (const bool wrapped : {false, true}) {
        if (wrapped) ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
        for (const auto& c : ciphers) {
            SCOPED_TRACE(std::string(c.oid) + (wrapped ? " wrapped" : " bare"));
            Bytes msg;
            ASSERT_EQ(make(signer, recip.cert, c.api, msg), 0) << errInfo();
            // The message's key is the context's session key.
            int alg = 0;
            OwnedBinstr cek, iv;
            ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &cek, &iv), 0);
            EXPECT_EQ(alg, c.api);
            EXPECT_EQ(cek.b.nLen, c.keyLen);
            ASSERT_EQ(iv.b.nLen, c.ivLen);
            if (c.api == QELT_SYM_NEAT) EXPECT_EQ(iv.vec(), Bytes(16, 0));

            // ContentInfo only when asked for: bare messages start with the version.
            ASSERT_GT(msg.size(), 8u);
            const std::string head(msg.begin(), msg.begin() + 16);
            EXPECT_EQ(head.find(std::string("\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x07\x04", 11)) != std::string::npos,
                      wrapped);

            RSignedAndEnvelopedData sed = bare(msg);
            ASSERT_EQ(sed.errorCode(), 0);
            EXPECT_EQ(sed.getVersion(), 1);
            ASSERT_EQ(sed.getRecipientInfos().getElementCount(), 1);
            RRecipientInfo ri;
            ASSERT_EQ(sed.getRecipientInfos().getElement(0, ri), 0);
            ASSERT_TRUE(ri.isKtri());
            EXPECT_EQ(ri.getKtri().getVersion(), 0);
            EXPECT_TRUE(ri.getKtri().getRid().isIssuerAndSerialNumber());
            const REncryptedContentInfo& eci = sed.getEncryptedContentInfo();
            EXPECT_TRUE(eci.getContentType().is("1 2 840 113549 1 7 1"));
            EXPECT_TRUE(eci.getContentEncryptionAlgorithm().getAlgorithm().is(c.oid));
            RAlgorithmIdentifier digestAlg;
            ASSERT_EQ(sed.getDigestAlgorithms().getElement(0, digestAlg), 0);
            EXPECT_TRUE(digestAlg.getAlgorithm().is("2 16 840 1 101 3 4 2 1"));  // the certificate's SHA-256
            ASSERT_TRUE(sed.hasCertificates());
            RSignerInfo si;
            ASSERT_EQ(sed.getSignerInfos().getElement(0, si), 0);
            EXPECT_EQ(si.getVersion(), 1);
            EXPECT_FALSE(si.hasSignedAttrs());
            EXPECT_TRUE(si.getSignatureAlgorithm().getAlgorithm().is("1 2 840 113549 1 1 1"));

            // encryptedDigest is the signer's signature over the content under the CEK.
            ZREncrypt dec;
            ByteString signature;
            ASSERT_EQ(dec.DecryptData(c.engine, MODE_CBC, bs(cek.vec()), bs(iv.vec()), si.getSignature().getValue(),
                                      signature, 2),
                      0);
            EXPECT_TRUE(opensslVerifies(signer.cert, EVP_sha256(), kText, signature));

            EXPECT_EQ(open(recip, msg), kText) << errInfo();
            EXPECT_EQ(lastRc, 0);
            EXPECT_EQ(lastSigner, signer.cert);
        }
    }
}

TEST_F(CmsSignedEnveloped, OpensslReadsTheStructureAndTheContent) {
    const Party signer = party("signer"), recip = party("recip");
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_RSA_PKCS1), 0);  // the PKCS #7 decoder knows rsaEncryption only
    ASSERT_EQ(QELT_API_SetHashAlgo(ctx, QELT_HASH_SHA1), 0);
    Bytes msg;
    ASSERT_EQ(make(signer, recip.cert, QELT_SYM_3DES, msg), 0) << errInfo();
    putFile(dir() / "sed.der", msg);
    ASSERT_TRUE(openssl(dir(), "asn1parse -inform DER -in sed.der -out /dev/null"));
    EXPECT_EQ(opensslContent(msg, dir() / "recip.key", dir() / "recip.pem"), kText);

    RSignedAndEnvelopedData sed = bare(msg);
    RAlgorithmIdentifier digestAlg;
    ASSERT_EQ(sed.getDigestAlgorithms().getElement(0, digestAlg), 0);
    EXPECT_TRUE(digestAlg.getAlgorithm().is("1 3 14 3 2 26"));  // the context's hash wins
    RRecipientInfo ri;
    ASSERT_EQ(sed.getRecipientInfos().getElement(0, ri), 0);
    EXPECT_TRUE(ri.getKtri().getKeyEncryptionAlgorithm().getAlgorithm().is("1 2 840 113549 1 1 1"));
    EXPECT_EQ(open(recip, msg), kText) << errInfo();

    // With OAEP (the default option) the key transport names RSAES-OAEP, and opens alike.
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_RSA_OAEP), 0);
    ASSERT_EQ(make(signer, recip.cert, QELT_SYM_SEED, msg), 0) << errInfo();
    ASSERT_EQ(bare(msg).getRecipientInfos().getElement(0, ri), 0);
    EXPECT_TRUE(ri.getKtri().getKeyEncryptionAlgorithm().getAlgorithm().is("1 2 840 113549 1 1 7"));
    EXPECT_EQ(open(recip, msg), kText) << errInfo();
}

TEST_F(CmsSignedEnveloped, MakingRefusesBadArgumentsAndCertificates) {
    const Party signer = party("signer"), recip = party("recip"), both = party("both");
    OwnedBinstr cert(signer.cert), key(signer.key), rec(recip.cert), data(kText), empty, out;
    const struct {
        BINSTR *c, *k, *r, *d, *o;
        const char* message;
    } args[] = {
        {&empty, &key, &rec, &data, &out, "서명자의 인증서(pCert)를 지정해 주세요."_cp949},
        {&cert, &empty, &rec, &data, &out, "서명자의 개인키(pPriKey)를 지정해 주세요."_cp949},
        {&cert, &key, &empty, &data, &out, "수신자의 인증서(pRecCert)를 지정해 주세요."_cp949},
        {&cert, &key, &rec, &empty, &out, "서명 및 암호화할 데이터(pData)를 지정해 주세요."_cp949},
        {&cert, &key, &rec, &data, nullptr, "pSignedAndEnvlopedData의 포인터가 NULL입니다."_cp949},
    };
    for (const auto& a : args) {
        EXPECT_EQ(QELT_CMS_MakeSignedAndEnvData(ctx, a.c, a.k, a.r, a.d, QELT_SYM_3DES, a.o),
                  QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find(a.message), std::string::npos) << errInfo();
    }
    Bytes msg;
    EXPECT_EQ(make(signer, recip.cert, 0x60, msg), QELT_ERR_SYM_ALGORITHM);
    EXPECT_NE(errInfo().find("지원되지 않는 대칭키 알고리즘입니다."_cp949), std::string::npos);
    // Key usage: the signer must sign, the recipient must take keys.
    EXPECT_EQ(make(party("recip"), recip.cert, QELT_SYM_3DES, msg), QELT_ERR_NOT_SIGNING_CERT);
    EXPECT_EQ(make(signer, signer.cert, QELT_SYM_3DES, msg), QELT_ERR_NOT_ENCRYPTION_CERT);
    EXPECT_EQ(make(signer, signer.key, QELT_SYM_3DES, msg), QELT_ERR_CERT_NOT_CERT);  // a SEQUENCE, not a certificate
    // A key that is not a decrypted PrivateKeyInfo.
    EXPECT_EQ(make(Party{signer.cert, Bytes(40, 0x30)}, recip.cert, QELT_SYM_3DES, msg), QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_NE(errInfo().find("복호화된 개인키가 아닙니다."_cp949), std::string::npos);
    // A certificate without keyUsage may do both; the same party signs to itself.
    ASSERT_EQ(make(both, both.cert, QELT_SYM_ARIA, msg), 0) << errInfo();
    EXPECT_EQ(open(both, msg), kText) << errInfo();
    EXPECT_EQ(lastSigner, both.cert);
}

TEST_F(CmsSignedEnveloped, ProcessingRefusesWrongPartiesAndDamagedMessages) {
    const Party signer = party("signer"), recip = party("recip"), other = party("other");
    Bytes msg;
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    ASSERT_EQ(make(signer, recip.cert, QELT_SYM_3DES, msg), 0) << errInfo();

    // Arguments.
    {
        OwnedBinstr cert(recip.cert), key(recip.key), in(msg), empty, data, sc;
        EXPECT_EQ(QELT_CMS_ProcessSignedAndEnvData(ctx, &empty, &key, &in, &data, &sc), QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find("수신자의 인증서(pCert)를 지정해 주세요."_cp949), std::string::npos);
        EXPECT_EQ(QELT_CMS_ProcessSignedAndEnvData(ctx, &cert, &empty, &in, &data, &sc), QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find("수신자의 개인키(pPriKey)를 지정해 주세요."_cp949), std::string::npos);
        EXPECT_EQ(QELT_CMS_ProcessSignedAndEnvData(ctx, &cert, &key, &empty, &data, &sc), QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find("서명 및 암호 메시지(pSignedAndEnvlopedData)를 지정해 주세요."_cp949),
                  std::string::npos);
        EXPECT_EQ(QELT_CMS_ProcessSignedAndEnvData(ctx, &cert, &key, &in, nullptr, &sc), QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find("pData의 포인터가 NULL입니다."_cp949), std::string::npos);
        EXPECT_EQ(QELT_CMS_ProcessSignedAndEnvData(ctx, &cert, &key, &in, &data, nullptr), QELT_ERR_INVALID_ARGUMENT);
        EXPECT_NE(errInfo().find("pSignerCert의 포인터가 NULL입니다."_cp949), std::string::npos);
    }
    // Not the recipient; the recipient's certificate with another key; not a certificate; not a key.
    EXPECT_EQ(open(other, msg), "");
    EXPECT_EQ(lastRc, QELT_ERR_SIGNENV_INVALID);
    EXPECT_NE(errInfo().find("Your information does not exist in RecipientInfos"), std::string::npos) << errInfo();
    EXPECT_EQ(open(Party{recip.cert, other.key}, msg), "");
    EXPECT_EQ(lastRc, QELT_ERR_KEYPAIR_CHECK);
    EXPECT_NE(errInfo().find("키쌍이 맞는지 확인하세요."_cp949), std::string::npos);
    EXPECT_EQ(open(Party{recip.key, recip.key}, msg), "");
    EXPECT_EQ(lastRc, QELT_ERR_CERT_NOT_CERT);
    EXPECT_EQ(open(Party{recip.cert, Bytes(40, 0x30)}, msg), "");
    EXPECT_EQ(lastRc, QELT_ERR_PRIKEY_NOT_PRIKEY);

    // Truncated, re-tagged, another content type, not DER at all.
    Bytes truncated(msg.begin(), msg.end() - 10);
    EXPECT_EQ(open(recip, truncated), "");
    EXPECT_EQ(lastRc, QELT_ERR_NOT_SIGNENV);
    EXPECT_NE(errInfo().find("서명 및 암호 메시지(SignedAndEnvelopedData)가 아닙니다."_cp949), std::string::npos);
    Bytes retagged(msg);
    retagged[0] = 0x31;
    EXPECT_EQ(open(recip, retagged), "");
    EXPECT_EQ(lastRc, QELT_ERR_NOT_SIGNENV);
    const Bytes sedOid{0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x04};
    const auto at = std::search(msg.begin(), msg.end(), sedOid.begin(), sedOid.end()) - msg.begin();
    ASSERT_LT(static_cast<size_t>(at), msg.size());
    Bytes signedType(msg);
    signedType[static_cast<size_t>(at) + 10] = 0x02;  // signedData
    EXPECT_EQ(open(recip, signedType), "");
    EXPECT_EQ(lastRc, QELT_ERR_NOT_SIGNENV);
    Bytes badOid(msg);
    badOid[static_cast<size_t>(at) + 10] = 0x80;  // an arc that does not end
    EXPECT_EQ(open(recip, badOid), "");
    EXPECT_EQ(lastRc, QELT_ERR_SIGNENV_INVALID);
    EXPECT_EQ(open(recip, Bytes(kText.begin(), kText.end())), "");
    EXPECT_EQ(lastRc, QELT_ERR_NOT_SIGNENV);
}

TEST_F(CmsSignedEnveloped, ProcessingChecksVersionsSignaturesAndSigners) {
    const Party signer = party("signer"), recip = party("recip");
    Bytes msg;
    ASSERT_EQ(make(signer, recip.cert, QELT_SYM_SEED, msg), 0) << errInfo();
    const RSignedAndEnvelopedData good = bare(msg);
    auto reencode = [](RSignedAndEnvelopedData sed) { return bytes(sed.toASN1Object()); };
    auto expectBad = [&](const Bytes& m, const char* detail) {
        EXPECT_EQ(open(recip, m), "");
        EXPECT_EQ(lastRc, QELT_ERR_SIGNENV_INVALID) << detail;
        EXPECT_NE(errInfo().find(detail), std::string::npos) << errInfo();
    };
    {  // the bare message as made opens
        EXPECT_EQ(open(recip, reencode(good)), kText) << errInfo();
    }
    {
        RSignedAndEnvelopedData sed(good);
        sed.setVersion(2);
        expectBad(reencode(sed), "Does not supported version(2).");
    }
    {  // content changed under the CEK: the signature no longer covers it
        RSignedAndEnvelopedData sed(good);
        REncryptedContentInfo eci(sed.getEncryptedContentInfo());
        ByteString cipher(eci.getEncryptedContent().getValue());
        cipher.setByteAt(3, static_cast<uint8_t>(cipher.data()[3] ^ 0x01));
        ASN1OctetString octets;
        (void)octets.setValue(cipher);
        eci.setEncryptedContent(octets);
        sed.setEncryptedContentInfo(eci);
        expectBad(reencode(sed), "parseSignedAndEnvelopedData-signature");
    }
    RSignerInfo si;
    ASSERT_EQ(good.getSignerInfos().getElement(0, si), 0);
    auto withSigner = [&](const RSignerInfo& changed) {
        RSignedAndEnvelopedData sed(good);
        RSignerInfos list;
        RSignerInfo copy(changed);
        EXPECT_EQ(list.addElement(copy), 0);
        sed.setSignerInfos(list);
        return reencode(sed);
    };
    {  // encryptedDigest damaged in its first block
        RSignerInfo changed(si);
        ByteString digest(si.getSignature().getValue());
        digest.setByteAt(0, static_cast<uint8_t>(digest.data()[0] ^ 0x80));
        ASN1OctetString octets;
        (void)octets.setValue(digest);
        changed.setSignature(octets);
        expectBad(withSigner(changed), "parseSignedAndEnvelopedData-signature");
    }
    {
        RSignerInfo changed(si);
        changed.setVersion(3);
        expectBad(withSigner(changed), "Does not supported SignerInfo version(3).");
    }
    {  // the signer's certificate left out of the message
        RSignedAndEnvelopedData sed;
        sed.setVersion(1);
        sed.setRecipientInfos(good.getRecipientInfos());
        sed.setDigestAlgorithms(good.getDigestAlgorithms());
        sed.setEncryptedContentInfo(good.getEncryptedContentInfo());
        sed.setSignerInfos(good.getSignerInfos());
        expectBad(reencode(sed), "Signer Certificate does not exist. so, You can't verify signature.");
    }
    {  // no signer at all
        RSignedAndEnvelopedData sed(good);
        sed.setSignerInfos(RSignerInfos());
        EXPECT_EQ(open(recip, reencode(sed)), "");
        EXPECT_EQ(lastRc, QELT_ERR_NO_SIGNER_CERT);
        EXPECT_NE(errInfo().find("서명한 사람의 인증서가 없습니다."_cp949), std::string::npos);
    }
}

// The fuzz target's seeds are real messages for its fixed recipient (which
// also signed them): each one opens and names that signer.
TEST_F(CmsSignedEnveloped, FuzzSeedsOpenWithTheFuzzRecipient) {
    const Party fuzz{Bytes(std::begin(fuzz::kRecipientCert), std::end(fuzz::kRecipientCert)),
                     Bytes(std::begin(fuzz::kRecipientKey), std::end(fuzz::kRecipientKey))};
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QELT_SOURCE_DIR) / "fuzz" /
                                                                 "corpus" / "fuzz_cms_process_signed_enveloped")) {
        SCOPED_TRACE(entry.path().string());
        EXPECT_FALSE(open(fuzz, fileBytes(entry.path())).empty()) << errInfo();
        EXPECT_EQ(lastSigner, fuzz.cert);
        ++seeds;
    }
    EXPECT_GE(seeds, 5);
}

}  // namespace
}  // namespace qelt::test
