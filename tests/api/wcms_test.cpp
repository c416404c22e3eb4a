// WAP messages through the exported functions. The layouts are read field by
// field here, and the cryptography checked with OpenSSL: the signature over
// the 95-octet signed attribute block, the RSA key transport and 3DES-CBC.
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <ctime>

#include "ident_test_data.h"

namespace qelt::test {
namespace {

uint16_t be16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

// Fields of a SignedContent, read by the table of its layout.
struct SignedContentFields {
    uint8_t version = 0, algorithm = 0, infoType = 0, contentType = 0, present = 0, attrLength = 0, attrType = 0;
    uint16_t encoding = 0xFFFF;
    Bytes signature, cert, content, time;
    bool whole = false;  // every octet accounted for
};

SignedContentFields readSignedContent(const Bytes& m) {
    SignedContentFields f;
    size_t at = 0;
    f.version = m.at(at++);
    f.algorithm = m.at(at++);
    const uint16_t sigLen = be16(m, at);
    at += 2;
    f.signature.assign(m.begin() + at, m.begin() + at + sigLen);
    at += sigLen;
    const uint16_t infosLen = be16(m, at);
    at += 2;
    f.infoType = m.at(at);
    const uint16_t certLen = be16(m, at + 1);
    f.cert.assign(m.begin() + at + 3, m.begin() + at + 3 + certLen);
    EXPECT_EQ(infosLen, 3 + certLen);
    at += infosLen;
    f.contentType = m.at(at++);
    f.encoding = be16(m, at);
    at += 2;
    f.present = m.at(at++);
    const uint16_t contentLen = be16(m, at);
    at += 2;
    f.content.assign(m.begin() + at, m.begin() + at + contentLen);
    at += contentLen;
    f.attrLength = m.at(at++);
    f.attrType = m.at(at++);
    f.time.assign(m.begin() + at, m.begin() + at + 12);
    f.whole = at + 12 == m.size();
    return f;
}

// The signed attribute block as the layout gives it: SET { contentType data,
// signingTime UTCTime, messageDigest SHA-1(content) }.
Bytes signedAttributeBlock(const std::string& utcTime, const Bytes& content) {
    Bytes digest(SHA_DIGEST_LENGTH);
    SHA1(content.data(), content.size(), digest.data());
    const Bytes head = {0x31, 0x5D, 0x30, 0x18, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03,
                        0x31, 0x0B, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01, 0x30, 0x1C,
                        0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x05, 0x31, 0x0F, 0x17, 0x0D};
    const Bytes digestHead = {0x30, 0x23, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7,
                              0x0D, 0x01, 0x09, 0x04, 0x31, 0x16, 0x04, 0x14};
    return concat({head, textBytes(utcTime), digestHead, digest});
}

std::string utcDigits(time_t t) {
    struct tm parts {};
    gmtime_r(&t, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%y%m%d%H%M%S", &parts);
    return text;
}

class WcmsApi : public ApiTest {
protected:
    int makeSigned(const Bytes& cert, const Bytes& key, const Bytes& data, const char* when, Bytes& out) {
        OwnedBinstr c(cert), k(key), d(data), o;
        const int rc = QELT_WCMS_MakeSignedContent(ctx, &c, &k, &d, const_cast<char*>(when), &o);
        out = o.vec();
        return rc;
    }
    int process(const Bytes& msg, Bytes* data = nullptr, Bytes* signer = nullptr, std::string* when = nullptr) {
        OwnedBinstr m(msg), d, s;
        char text[32] = {};
        const int rc = QELT_WCMS_ProcessSignedContent(ctx, &m, &d, &s, text);
        if (data) *data = d.vec();
        if (signer) *signer = s.vec();
        if (when) *when = text;
        return rc;
    }
    int envelop(const Bytes& cert, const Bytes& data, int alg, Bytes& out) {
        OwnedBinstr c(cert), d(data), o;
        const int rc = QELT_WCMS_MakeWapEnvelopedData(ctx, &c, &d, alg, &o);
        out = o.vec();
        return rc;
    }
    int open(const Bytes& cert, const Bytes& key, const Bytes& msg, Bytes& out) {
        OwnedBinstr c(cert), k(key), m(msg), o;
        const int rc = QELT_WCMS_ProcessWapEnvelopedData(ctx, &c, &k, &m, &o);
        out = o.vec();
        return rc;
    }
    bool hasMessage(const char* text) { return errInfo().find(text) != std::string::npos; }

    const Bytes user = identData("user.der"), userKey = identData("user.p8");
    const Bytes biz = identData("biz.der"), bizKey = identData("biz.p8");
    const Bytes content = textBytes("transfer 1,000,000 KRW to account 123-456-789");
};

TEST_F(WcmsApi, SignedContentLayoutTimeAndSignatureCheckedByOpenssl) {
    Bytes msg;
    ASSERT_EQ(makeSigned(user, userKey, content, "20240315123456", msg), 0) << errInfo();
    time_t when = 0;
    ASSERT_EQ(QELT_API_Str2Time(ctx, "20240315123456", &when), 0);  // local time, as the maker reads it

    const SignedContentFields f = readSignedContent(msg);
    EXPECT_TRUE(f.whole);
    EXPECT_EQ(f.version, 1);
    EXPECT_EQ(f.algorithm, 1);
    EXPECT_EQ(f.infoType, 3);
    EXPECT_EQ(f.cert, user);
    EXPECT_EQ(f.contentType, 2);
    EXPECT_EQ(f.encoding, 0);
    EXPECT_EQ(f.present, 1);
    EXPECT_EQ(f.content, content);
    EXPECT_EQ(f.attrLength, 13);
    EXPECT_EQ(f.attrType, 1);
    EXPECT_EQ(f.time, textBytes(utcDigits(when)));
    // The signature covers the 95-octet block carrying the same time, with "Z".
    const Bytes block = signedAttributeBlock(utcDigits(when) + "Z", content);
    ASSERT_EQ(block.size(), 95u);
    EXPECT_TRUE(opensslVerifies(user, EVP_sha1(), block, f.signature));

    Bytes data, signer;
    std::string text;
    ASSERT_EQ(process(msg, &data, &signer, &text), 0) << errInfo();
    EXPECT_EQ(data, content);
    EXPECT_EQ(signer, user);
    EXPECT_EQ(text, "20240315123456");
    OwnedBinstr m(msg), d, s;
    int seconds = 0;
    ASSERT_EQ(QELT_WCMS_ProcessSignedContent2(ctx, &m, &d, &s, &seconds), 0) << errInfo();
    EXPECT_EQ(seconds, static_cast<int>(when));
}

TEST_F(WcmsApi, SignedContentWithoutTimeTakesNowAndEcdsaVerifies) {
    const Bytes ec = identData("ec.der");
    Bytes msg;
    const time_t before = std::time(nullptr);
    ASSERT_EQ(makeSigned(ec, identData("ec.p8"), content, nullptr, msg), 0) << errInfo();
    const time_t after = std::time(nullptr);
    const SignedContentFields f = readSignedContent(msg);
    EXPECT_EQ(f.algorithm, 2);
    EXPECT_EQ(f.signature.size(), 40u);  // r || s, 20 octets each on secp160r1
    Bytes signer;
    OwnedBinstr m(msg), d, s;
    int seconds = 0;
    ASSERT_EQ(QELT_WCMS_ProcessSignedContent2(ctx, &m, &d, &s, &seconds), 0) << errInfo();
    EXPECT_EQ(s.vec(), ec);
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after);
}

TEST_F(WcmsApi, AnyChangedOctetBreaksTheSignedContent) {
    Bytes msg;
    ASSERT_EQ(makeSigned(user, userKey, content, "20240315123456", msg), 0) << errInfo();
    const size_t contentAt = msg.size() - 14 - content.size();
    const size_t timeAt = msg.size() - 1;
    for (size_t at : {size_t{10}, contentAt, contentAt + content.size() - 1, timeAt}) {
        Bytes changed = msg;
        changed[at] ^= 0x01;
        EXPECT_EQ(process(changed), QELT_ERR_VERIFY) << at;
        EXPECT_TRUE(hasMessage("서명값을 검증하는데 실패하였습니다."_cp949)) << errInfo();
    }
    Bytes shortened(msg.begin(), msg.end() - 1);
    EXPECT_EQ(process(shortened), QELT_ERR_WAP_SIGNED_INVALID);
    EXPECT_TRUE(hasMessage("Signed Content length error.")) << errInfo();
    Bytes longer = msg;
    longer.push_back(0);
    EXPECT_EQ(process(longer), QELT_ERR_WAP_SIGNED_INVALID);
}

TEST_F(WcmsApi, OlderSignersSigningContentAndAttributesAreAccepted) {
    // A browser that signs the content followed by the attribute octets.
    Bytes msg;
    ASSERT_EQ(makeSigned(user, userKey, content, "20240315123456", msg), 0) << errInfo();
    const Bytes attributes(msg.end() - 13, msg.end());
    const Bytes sig = opensslSign(userKey, EVP_sha1(), concat({content, attributes}));
    ASSERT_EQ(sig.size(), 256u);
    std::copy(sig.begin(), sig.end(), msg.begin() + 4);
    Bytes data;
    ASSERT_EQ(process(msg, &data), 0) << errInfo();
    EXPECT_EQ(data, content);
}

TEST_F(WcmsApi, UnreadableFieldsAndSignerInfoTypes) {
    Bytes msg;
    ASSERT_EQ(makeSigned(user, userKey, content, "20240315123456", msg), 0) << errInfo();
    Bytes badAlg = msg;
    badAlg[1] = 3;
    EXPECT_EQ(process(badAlg), QELT_ERR_WAP_SIGNED_INVALID);
    EXPECT_TRUE(hasMessage("DataSignatureAlgorithm 오류"_cp949)) << errInfo();
    EXPECT_TRUE(hasMessage("잘못된 서명 메시지(SignedContent)입니다."_cp949)) << errInfo();

    const size_t presentAt = msg.size() - 14 - content.size() - 3;
    Bytes badPresent = msg;
    badPresent[presentAt] = '7';
    EXPECT_EQ(process(badPresent), QELT_ERR_WAP_SIGNED_INVALID);
    EXPECT_TRUE(hasMessage("ucContentPresent(7) is unknown data type.")) << errInfo();
    Bytes badAttr = msg;
    badAttr[msg.size() - 13] = 9;
    EXPECT_EQ(process(badAttr), QELT_ERR_WAP_SIGNED_INVALID);
    EXPECT_TRUE(hasMessage("m_attributeType(9) is unknown type.")) << errInfo();

    // Signer infos of another type: the certificate replaced by the type alone.
    const SignedContentFields f = readSignedContent(msg);
    const size_t infosAt = 4 + f.signature.size();
    auto withInfoType = [&](uint8_t type) {
        Bytes out(msg.begin(), msg.begin() + static_cast<long>(infosAt));
        out.insert(out.end(), {0x00, 0x01, type});
        out.insert(out.end(), msg.begin() + static_cast<long>(infosAt + 2 + 3 + user.size()), msg.end());
        return out;
    };
    EXPECT_EQ(process(withInfoType(0)), QELT_ERR_SIGNER_INFO_TYPE);
    EXPECT_TRUE(hasMessage("서명자 정보 타입 implicit을 지원하지 않습니다."_cp949)) << errInfo();
    EXPECT_EQ(process(withInfoType(5)), QELT_ERR_SIGNER_INFO_TYPE);
    EXPECT_TRUE(hasMessage("서명자 정보 타입 certificate_url을 지원하지 않습니다."_cp949)) << errInfo();
    EXPECT_EQ(process(withInfoType(7)), QELT_ERR_SIGNER_INFO_TYPE);
    EXPECT_TRUE(hasMessage("알수 없는 서명자 정보 티입입니다. (타입 : 7)"_cp949)) << errInfo();
}

TEST_F(WcmsApi, SignedContentMakerRefusals) {
    Bytes msg;
    EXPECT_EQ(makeSigned(identData("kmonly.der"), userKey, content, nullptr, msg), QELT_ERR_NOT_SIGNING_CERT);
    EXPECT_EQ(makeSigned(user, user, content, nullptr, msg), QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_TRUE(hasMessage("복호화된 개인키가 아닙니다."_cp949)) << errInfo();
    // An Ed25519 key: neither RSA nor EC.
    const std::filesystem::path dir = workDir;
    ASSERT_TRUE(openssl(dir, "genpkey -algorithm ED25519 -outform DER -out ed.p8"));
    EXPECT_EQ(makeSigned(user, fileBytes(dir / "ed.p8"), content, nullptr, msg), QELT_ERR_ALGORITHM);
    EXPECT_TRUE(hasMessage("SignedContent에서 지원하지 않는 서명 알고리즘입니다."_cp949)) << errInfo();
    EXPECT_EQ(makeSigned(user, userKey, content, "2024031512", msg), QELT_ERR_TIME_FORMAT);
    EXPECT_EQ(makeSigned(user, userKey, Bytes(65536, 'a'), nullptr, msg), QELT_ERR_WAP_SIGNED_MAKE);
    EXPECT_TRUE(hasMessage("서명 메시지(SignedContent)를 구성하는데 실패하였습니다."_cp949)) << errInfo();
    ASSERT_EQ(makeSigned(user, userKey, Bytes(65535, 'a'), nullptr, msg), 0) << errInfo();
    EXPECT_EQ(process(msg), 0) << errInfo();

    OwnedBinstr c(user), k(userKey), d(content), empty;
    EXPECT_EQ(QELT_WCMS_MakeSignedContent(ctx, &empty, &k, &d, nullptr, &empty), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(hasMessage("서명자의 인증서(pCert)를 지정해 주세요."_cp949));
    EXPECT_EQ(QELT_WCMS_MakeSignedContent(ctx, &c, &k, &d, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(hasMessage("pSignedContent의 포인터가 NULL입니다."_cp949));
    EXPECT_EQ(QELT_WCMS_ProcessSignedContent(ctx, &empty, &d, &d, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(hasMessage("서명 메시지(pSignedData)를 지정해 주세요."_cp949));
    EXPECT_EQ(QELT_WCMS_ProcessSignedContent(ctx, &d, &d, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(hasMessage("pSignerCert의 포인터가 NULL입니다."_cp949));
}

TEST_F(WcmsApi, EnvelopedLayoutOpenedByOpensslAndByTheRecipient) {
    Bytes msg;
    ASSERT_EQ(envelop(biz, content, QELT_SYM_3DES, msg), 0) << errInfo();
    // version, 3DES, IV, RSA, key identifier, the recipient's SKI, the key, the content
    ASSERT_GT(msg.size(), 3u + 8 + 3 + 20 + 1 + 128 + 2);
    EXPECT_EQ(msg[0], 1);
    EXPECT_EQ(msg[1], 1);
    ASSERT_EQ(msg[2], 8);
    const Bytes iv(msg.begin() + 3, msg.begin() + 11);
    EXPECT_EQ(msg[11], 3);
    EXPECT_EQ(msg[12], 1);
    ASSERT_EQ(msg[13], 20);
    const std::string ski = opensslOutputOf("x509 -inform DER -in biz.der -noout -ext subjectKeyIdentifier");
    std::string ridText;
    for (size_t i = 0; i < 20; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", msg[14 + i]);
        ridText += hex;
    }
    EXPECT_NE(ski.find(ridText), std::string::npos) << ski;
    ASSERT_EQ(msg[34], 128);
    const Bytes wrappedKey(msg.begin() + 35, msg.begin() + 35 + 128);
    const uint16_t ctLen = be16(msg, 163);
    ASSERT_EQ(msg.size(), 165u + ctLen);
    const Bytes cipherText(msg.begin() + 165, msg.end());

    // OpenSSL unwraps the key (PKCS#1 v1.5) and decrypts 3DES-CBC.
    const unsigned char* p = bizKey.data();
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> pkey(
        d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(bizKey.size())), EVP_PKEY_free);
    ASSERT_TRUE(pkey);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> kctx(EVP_PKEY_CTX_new(pkey.get(), nullptr),
                                                                     EVP_PKEY_CTX_free);
    Bytes cek(256);
    size_t cekLen = cek.size();
    ASSERT_EQ(EVP_PKEY_decrypt_init(kctx.get()), 1);
    ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(kctx.get(), RSA_PKCS1_PADDING), 1);
    ASSERT_EQ(EVP_PKEY_decrypt(kctx.get(), cek.data(), &cekLen, wrappedKey.data(), wrappedKey.size()), 1);
    cek.resize(cekLen);
    ASSERT_EQ(cek.size(), 24u);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> cctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    Bytes plain(cipherText.size() + 8);
    int n1 = 0, n2 = 0;
    ASSERT_EQ(EVP_DecryptInit_ex(cctx.get(), EVP_des_ede3_cbc(), nullptr, cek.data(), iv.data()), 1);
    ASSERT_EQ(EVP_DecryptUpdate(cctx.get(), plain.data(), &n1, cipherText.data(), static_cast<int>(cipherText.size())),
              1);
    ASSERT_EQ(EVP_DecryptFinal_ex(cctx.get(), plain.data() + n1, &n2), 1);
    plain.resize(static_cast<size_t>(n1 + n2));
    EXPECT_EQ(plain, content);

    Bytes opened;
    ASSERT_EQ(open(biz, bizKey, msg, opened), 0) << errInfo();
    EXPECT_EQ(opened, content);
    // The message's key is now the session key.
    int alg = 0;
    OwnedBinstr key, ivOut;
    ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &key, &ivOut), 0) << errInfo();
    EXPECT_EQ(alg, QELT_SYM_3DES);
    EXPECT_EQ(key.vec(), cek);
    EXPECT_EQ(ivOut.vec(), iv);
}

TEST_F(WcmsApi, EnvelopedRoundTripsWithSeedAndNeat) {
    for (int alg : {QELT_SYM_SEED, QELT_SYM_NEAT}) {
        Bytes msg, opened;
        ASSERT_EQ(envelop(biz, content, alg, msg), 0) << errInfo();
        EXPECT_EQ(msg[1], alg == QELT_SYM_SEED ? 9 : 10);
        EXPECT_EQ(msg[2], 16);
        ASSERT_EQ(open(biz, bizKey, msg, opened), 0) << errInfo();
        EXPECT_EQ(opened, content);
    }
}

TEST_F(WcmsApi, EnvelopedRefusals) {
    Bytes msg, opened;
    ASSERT_EQ(envelop(biz, content, QELT_SYM_3DES, msg), 0) << errInfo();
    // Another certificate is not the recipient; the right certificate with another key cannot unwrap.
    EXPECT_EQ(open(user, userKey, msg, opened), QELT_ERR_CERT_CANNOT_DECRYPT);
    EXPECT_TRUE(hasMessage("해당 인증서로는 데이터를 풀 수 없습니다."_cp949)) << errInfo();
    EXPECT_EQ(open(biz, identData("plain.p8"), msg, opened), QELT_ERR_WAP_ENVELOPED_INVALID);
    // A changed recipient identifier, wrapped key, length or algorithm.
    Bytes rid = msg, wrapped = msg, length = msg, cipher = msg, ecdh = msg;
    rid[20] ^= 0x40;
    EXPECT_EQ(open(biz, bizKey, rid, opened), QELT_ERR_CERT_CANNOT_DECRYPT);
    wrapped[40] ^= 0x01;
    EXPECT_EQ(open(biz, bizKey, wrapped, opened), QELT_ERR_WAP_ENVELOPED_INVALID);
    length[164] ^= 0x01;
    EXPECT_EQ(open(biz, bizKey, length, opened), QELT_ERR_WAP_ENVELOPED_INVALID);
    EXPECT_TRUE(hasMessage("WapEnvelopedData length error.")) << errInfo();
    cipher[1] = 20;
    EXPECT_EQ(open(biz, bizKey, cipher, opened), QELT_ERR_SYM_ALGORITHM);
    ecdh[11] = 2;
    EXPECT_EQ(open(biz, bizKey, ecdh, opened), QELT_ERR_WAP_ENVELOPED_INVALID);

    EXPECT_EQ(envelop(biz, content, QELT_SYM_DES, msg), QELT_ERR_SYM_ALGORITHM);
    EXPECT_TRUE(hasMessage("DES 알고리즘을 지원하지 않습니다."_cp949)) << errInfo();
    EXPECT_EQ(envelop(biz, content, QELT_SYM_ARIA, msg), QELT_ERR_SYM_ALGORITHM);
    EXPECT_TRUE(hasMessage("지원되지 않는 대칭키 알고리즘입니다."_cp949)) << errInfo();
    EXPECT_EQ(envelop(identData("ec.der"), content, QELT_SYM_3DES, msg), QELT_ERR_ALGORITHM);
    EXPECT_TRUE(hasMessage("RSA 알고리즘에 대해서만 지원합니다."_cp949)) << errInfo();
    EXPECT_EQ(envelop(textBytes("no certificate"), content, QELT_SYM_3DES, msg), QELT_ERR_CERT_INVALID);
    // A 2048-bit recipient's wrapped key needs 256 octets, one more than the format holds.
    EXPECT_EQ(envelop(user, content, QELT_SYM_3DES, msg), QELT_ERR_WAP_ENVELOPED_MAKE);
    EXPECT_TRUE(hasMessage("EncryptedKey value's length is more than 255.")) << errInfo();
    // Ciphertexts stop below 65535 octets.
    ASSERT_EQ(envelop(biz, Bytes(65519, 'x'), QELT_SYM_3DES, msg), 0) << errInfo();
    EXPECT_EQ(open(biz, bizKey, msg, opened), 0) << errInfo();
    EXPECT_EQ(envelop(biz, Bytes(65528, 'x'), QELT_SYM_3DES, msg), QELT_ERR_WAP_ENVELOPED_MAKE);
    EXPECT_TRUE(hasMessage("CipherText value's length is more than 0xFFFD.")) << errInfo();
}

}  // namespace
}  // namespace qelt::test
