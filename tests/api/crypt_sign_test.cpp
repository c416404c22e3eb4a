// Signatures and public-key encryption through the exported functions, with
// OpenSSL on the other side of every interop check.
#include <gtest/gtest.h>

#include <map>

#include "pkey_test_keys.h"

namespace qelt::test {
namespace {

enum Hash { SHA1 = 1, MD5 = 2, HAS160 = 3, SHA256 = 4 };

class SignApi : public ApiTest {
protected:
    static void SetUpTestSuite() {
        for (int bits : {512, 1024, 1536, 2048})
            keys()["rsa" + std::to_string(bits)] =
                opensslKey("rsa" + std::to_string(bits), "-algorithm RSA -pkeyopt rsa_keygen_bits:" + std::to_string(bits));
        for (const char* curve : {"secp160r1", "sect163k1", "c2pnb163v1"})
            keys()[curve] = opensslKey(curve, std::string("-algorithm EC -pkeyopt ec_paramgen_curve:") + curve +
                                                  " -pkeyopt ec_param_enc:named_curve");
        keys()["kcdsa1024"] = kcdsaKey(141401, keys()["rsa1024"].cert);
    }
    static std::map<std::string, TestKey>& keys() {
        static std::map<std::string, TestKey> k;
        return k;
    }
    static const TestKey& key(const std::string& name) { return keys()[name]; }

    int sign(const TestKey& k, int hash, const Bytes& data, Bytes& sig, bool withCert = true) {
        OwnedBinstr cert(withCert ? k.cert : Bytes()), pri(k.pkcs8), tbs(data), out;
        const int rc = QELT_CRYPT_Sign(ctx, &cert, &pri, hash, &tbs, &out);
        sig = out.vec();
        return rc;
    }
    int verify(const TestKey& k, int hash, const Bytes& data, const Bytes& sig) {
        OwnedBinstr cert(k.cert), d(data), s(sig);
        return QELT_CRYPT_Verify(ctx, &cert, hash, &d, &s);
    }
    const Bytes message = Bytes{'s', 'i', 'g', 'n', ' ', 'm', 'e'};
};

TEST_F(SignApi, RsaSignaturesInteroperateWithOpenssl) {
    const TestKey& k = key("rsa2048");
    putFile(k.dir / "data", message);
    for (auto [hash, name] : std::map<int, std::string>{{SHA1, "sha1"}, {MD5, "md5"}, {SHA256, "sha256"}}) {
        Bytes sig;
        ASSERT_EQ(sign(k, hash, message, sig), 0) << errInfo();
        EXPECT_EQ(sig.size(), 256u);
        putFile(k.dir / "ours.sig", sig);
        EXPECT_TRUE(openssl(k.dir, "dgst -" + name + " -verify pub.pem -signature ours.sig data")) << name;
        ASSERT_TRUE(openssl(k.dir, "dgst -" + name + " -sign key.pem -out theirs.sig data"));
        EXPECT_EQ(verify(k, hash, message, fileBytes(k.dir / "theirs.sig")), 0) << name << errInfo();
        // PKCS#1 v1.5 signatures are deterministic: both sides make the same bytes.
        EXPECT_EQ(fileBytes(k.dir / "theirs.sig"), sig);
        Bytes other = message;
        other.back() ^= 1;
        EXPECT_EQ(verify(k, hash, other, sig), QELT_ERR_VERIFY);
    }
}

TEST_F(SignApi, RsaKeySizesAndHashesFollowTheDescriptorTable) {
    Bytes sig;
    EXPECT_EQ(sign(key("rsa1536"), SHA1, message, sig), QELT_ERR_SIGN);
    EXPECT_NE(errInfo().find("The RSA 1536bit is not supported."), std::string::npos) << errInfo();
    ASSERT_EQ(sign(key("rsa512"), SHA1, message, sig), 0) << errInfo();
    EXPECT_EQ(verify(key("rsa512"), SHA1, message, sig), 0);
    EXPECT_EQ(sign(key("rsa512"), SHA256, message, sig), QELT_ERR_SIGN);
    EXPECT_NE(errInfo().find("The Hash algorithm (6) is not suppoted for RSA signature."), std::string::npos);
    EXPECT_EQ(sign(key("rsa512"), MD5, message, sig), QELT_ERR_SIGN);
    EXPECT_NE(errInfo().find("The AlgID(52) does not supported."), std::string::npos) << errInfo();
    EXPECT_EQ(sign(key("rsa1024"), 7, message, sig), QELT_ERR_HASH_ALGORITHM);
    EXPECT_EQ(sign(key("rsa1024"), HAS160, message, sig), QELT_ERR_SIGN);
}

TEST_F(SignApi, EcdsaOnTheThreeCurvesBothWays) {
    for (const char* curve : {"secp160r1", "sect163k1", "c2pnb163v1"}) {
        const TestKey& k = key(curve);
        putFile(k.dir / "data", message);
        Bytes sig;
        ASSERT_EQ(sign(k, SHA1, message, sig), 0) << curve << errInfo();
        EXPECT_LE(sig.size(), 48u);
        putFile(k.dir / "ours.sig", sig);
        EXPECT_TRUE(openssl(k.dir, "dgst -sha1 -verify pub.pem -signature ours.sig data")) << curve;
        ASSERT_TRUE(openssl(k.dir, "dgst -sha1 -sign key.pem -out theirs.sig data"));
        EXPECT_EQ(verify(k, SHA1, message, fileBytes(k.dir / "theirs.sig")), 0) << curve << errInfo();
        // SHA-256 signs (codes 75-77) and OpenSSL accepts it; the key class verifies SHA-1 only.
        ASSERT_EQ(sign(k, SHA256, message, sig), 0) << curve << errInfo();
        putFile(k.dir / "ours256.sig", sig);
        EXPECT_TRUE(openssl(k.dir, "dgst -sha256 -verify pub.pem -signature ours256.sig data")) << curve;
        EXPECT_EQ(verify(k, SHA256, message, sig), QELT_ERR_VERIFY);
        EXPECT_NE(errInfo().find("The ECDSA algorithm only support SHA1 algorithm."), std::string::npos);
    }
}

TEST_F(SignApi, KcdsaNeedsThePublicKeyAndVerifies) {
    const TestKey& k = key("kcdsa1024");
    Bytes sig;
    EXPECT_EQ(sign(k, SHA1, message, sig, false), QELT_ERR_KCDSA_NEEDS_CERT);
    for (int hash : {SHA1, HAS160}) {
        ASSERT_EQ(sign(k, hash, message, sig), 0) << errInfo();
        EXPECT_EQ(verify(k, hash, message, sig), 0) << errInfo();
        Bytes other = message;
        other[0] ^= 1;
        EXPECT_EQ(verify(k, hash, other, sig), QELT_ERR_VERIFY);
    }
    OwnedBinstr spki(k.spki), pri(k.pkcs8), tbs(message), out, none;
    EXPECT_EQ(QELT_CRYPT_Sign2(ctx, &none, &pri, SHA1, &tbs, &out), QELT_ERR_KCDSA_NEEDS_CERT);
    ASSERT_EQ(QELT_CRYPT_Sign2(ctx, &spki, &pri, HAS160, &tbs, &out), 0) << errInfo();
    EXPECT_EQ(QELT_CRYPT_Verify2(ctx, &spki, HAS160, &tbs, &out), 0) << errInfo();
    EXPECT_EQ(sign(k, MD5, message, sig), QELT_ERR_SIGN);
    EXPECT_NE(errInfo().find("Only support sha1WithKCDSA, has160WithKCDSA."), std::string::npos);
    EXPECT_EQ(sign(k, SHA256, message, sig), QELT_ERR_SIGN);
    EXPECT_NE(errInfo().find("The SHA256 with KCDSA 1024bit is not supported."), std::string::npos);
}

TEST_F(SignApi, Kcdsa2048SignsWithSha256) {
    const TestKey k = kcdsaKey(141502, key("rsa1024").cert);
    Bytes sig;
    ASSERT_EQ(sign(k, SHA256, message, sig), 0) << errInfo();
    EXPECT_EQ(verify(k, SHA256, message, sig), 0) << errInfo();
}

TEST_F(SignApi, FilesSignAndVerifyBothWays) {
    const std::filesystem::path data = workDir / "data.bin", sigPath = workDir / "data.sig";
    Bytes big(20000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    for (const char* name : {"rsa2048", "secp160r1", "kcdsa1024"}) {
        const TestKey& k = key(name);
        for (const Bytes& content : {big, Bytes()}) {
            putFile(data, content);
            OwnedBinstr cert(k.cert), pri(k.pkcs8);
            const int hash = name[0] == 'k' ? HAS160 : SHA1;
            ASSERT_EQ(QELT_CRYPT_Sign_File(ctx, &cert, &pri, hash, data.c_str(), sigPath.c_str()), 0) << name << errInfo();
            EXPECT_EQ(verify(k, hash, content, fileBytes(sigPath)), content.empty() ? QELT_ERR_INVALID_ARGUMENT : 0)
                << name << errInfo();
            EXPECT_EQ(QELT_CRYPT_Verify_File(ctx, &cert, hash, data.c_str(), sigPath.c_str()), 0) << name << errInfo();
            if (content.empty()) continue;
            Bytes sig;
            ASSERT_EQ(sign(k, hash, content, sig), 0);
            putFile(sigPath, sig);
            EXPECT_EQ(QELT_CRYPT_Verify_File(ctx, &cert, hash, data.c_str(), sigPath.c_str()), 0) << name << errInfo();
        }
    }
    // KCDSA SHA-1/1024 in memory uses the second engine form, which the staged file check does not try.
    const TestKey& k = key("kcdsa1024");
    putFile(data, big);
    Bytes sig;
    ASSERT_EQ(sign(k, SHA1, big, sig), 0);
    putFile(sigPath, sig);
    OwnedBinstr cert(k.cert);
    EXPECT_EQ(QELT_CRYPT_Verify_File(ctx, &cert, SHA1, data.c_str(), sigPath.c_str()), QELT_ERR_VERIFY);
    EXPECT_EQ(QELT_CRYPT_Verify_File(ctx, &cert, SHA1, (workDir / "missing").c_str(), sigPath.c_str()),
              QELT_ERR_FILE_READ);
}

TEST_F(SignApi, BadInputsGiveTheirCodes) {
    const TestKey& k = key("rsa1024");
    Bytes sig;
    ASSERT_EQ(sign(k, SHA1, message, sig), 0);
    Bytes truncated(k.cert.begin(), k.cert.begin() + 40);
    OwnedBinstr badCert(truncated), d(message), s(sig), pri(k.pkcs8), out;
    EXPECT_EQ(QELT_CRYPT_Verify(ctx, &badCert, SHA1, &d, &s), QELT_ERR_CERT_NOT_CERT);
    for (size_t cut : {size_t{0}, size_t{1}, sig.size() - 1}) {
        Bytes shortSig(sig.begin(), sig.begin() + static_cast<long>(cut));
        if (shortSig.empty()) continue;
        EXPECT_EQ(verify(k, SHA1, message, shortSig), QELT_ERR_VERIFY);
    }
    // A certificate in place of the private key, and an encrypted-looking blob.
    OwnedBinstr notKey(k.cert), cert(k.cert);
    EXPECT_EQ(QELT_CRYPT_Sign(ctx, &cert, &notKey, SHA1, &d, &out), QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(QELT_CRYPT_Sign(ctx, &cert, &pri, SHA1, &d, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("pSignature의 포인터가 NULL입니다."_cp949), std::string::npos);
    // A malformed ECDSA value.
    const TestKey& ec = key("secp160r1");
    EXPECT_EQ(verify(ec, SHA1, message, Bytes{0x30, 0x06, 0x02, 0x01, 0x01, 0x02, 0x01}), QELT_ERR_VERIFY);
}

TEST_F(SignApi, AsymmetricEncryptionInteroperates) {
    const TestKey& k = key("rsa2048");
    const Bytes secret(32, 0x5A);
    for (int option : {0x02, 0x01}) {
        ASSERT_EQ(QELT_API_SetOption(ctx, option), 0);
        const std::string mode = option == 0x02 ? "oaep" : "pkcs1";
        OwnedBinstr cert(k.cert), data(secret), enc;
        ASSERT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 2, &cert, &data, &enc), 0) << errInfo();
        putFile(k.dir / "ours.enc", enc.vec());
        ASSERT_TRUE(openssl(k.dir, "pkeyutl -decrypt -inkey key.pem -pkeyopt rsa_padding_mode:" + mode +
                                       " -in ours.enc -out ours.dec"));
        EXPECT_EQ(fileBytes(k.dir / "ours.dec"), secret) << mode;
        putFile(k.dir / "plain", secret);
        ASSERT_TRUE(openssl(k.dir, "pkeyutl -encrypt -pubin -inkey pub.pem -pkeyopt rsa_padding_mode:" + mode +
                                       " -in plain -out theirs.enc"));
        OwnedBinstr pri(k.pkcs8), theirs(fileBytes(k.dir / "theirs.enc")), back;
        ASSERT_EQ(QELT_CRYPT_AsymDecrypt(ctx, 1, &pri, &theirs, &back), 0) << mode << errInfo();
        EXPECT_EQ(back.vec(), secret);
        OwnedBinstr spki(k.spki), enc2;
        ASSERT_EQ(QELT_CRYPT_AsymEncrypt2(ctx, 2, &spki, &data, &enc2), 0) << errInfo();
        OwnedBinstr back2;
        ASSERT_EQ(QELT_CRYPT_AsymDecrypt2(ctx, 1, &pri, &enc2, &back2), 0) << errInfo();
        EXPECT_EQ(back2.vec(), secret);
    }
    // With the private key: block type 01, which OpenSSL recovers with the public key.
    OwnedBinstr pri(k.pkcs8), data(secret), enc, cert(k.cert), back;
    ASSERT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 1, &pri, &data, &enc), 0) << errInfo();
    putFile(k.dir / "priv.enc", enc.vec());
    ASSERT_TRUE(openssl(k.dir, "pkeyutl -verifyrecover -pubin -inkey pub.pem -pkeyopt rsa_padding_mode:pkcs1 -in priv.enc -out priv.dec"));
    EXPECT_EQ(fileBytes(k.dir / "priv.dec"), secret);
    ASSERT_EQ(QELT_CRYPT_AsymDecrypt(ctx, 2, &cert, &enc, &back), 0) << errInfo();
    EXPECT_EQ(back.vec(), secret);
}

TEST_F(SignApi, AsymmetricEncryptionRefusals) {
    const TestKey& k = key("rsa1024");
    OwnedBinstr cert(k.cert), pri(k.pkcs8), out;
    OwnedBinstr data(Bytes(16, 1));
    EXPECT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 3, &cert, &data, &out), QELT_ERR_KEY_TYPE);
    EXPECT_EQ(QELT_CRYPT_AsymDecrypt(ctx, 0, &cert, &data, &out), QELT_ERR_KEY_TYPE);
    ASSERT_EQ(QELT_API_SetOption(ctx, 0x01), 0);
    OwnedBinstr tooLong(Bytes(118, 1));
    EXPECT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 2, &cert, &tooLong, &out), QELT_ERR_ENCRYPT);
    OwnedBinstr fits(Bytes(117, 1)), enc;
    ASSERT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 2, &cert, &fits, &enc), 0) << errInfo();
    const TestKey other = opensslKey("rsa1024-other", "-algorithm RSA -pkeyopt rsa_keygen_bits:1024");
    OwnedBinstr wrongKey(other.pkcs8);
    EXPECT_EQ(QELT_CRYPT_AsymDecrypt(ctx, 1, &wrongKey, &enc, &out), QELT_ERR_KEYPAIR_CHECK);
    EXPECT_NE(errInfo().find("키쌍이 맞는지 확인하세요."_cp949), std::string::npos);
    EXPECT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 2, &pri, &data, &out), QELT_ERR_CERT_NOT_CERT);
    EXPECT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 1, &cert, &data, &out), QELT_ERR_PRIKEY_NOT_PRIKEY);
    // OAEP is refused for 512-bit keys.
    ASSERT_EQ(QELT_API_SetOption(ctx, 0x02), 0);
    OwnedBinstr cert512(key("rsa512").cert);
    EXPECT_EQ(QELT_CRYPT_AsymEncrypt(ctx, 2, &cert512, &data, &out), QELT_ERR_ENCRYPT);
    EXPECT_NE(errInfo().find("The RSA_OAEP 512bit does not supported."), std::string::npos);
}

TEST_F(SignApi, KeyPairCheckAndKeyInfo) {
    OwnedBinstr cert(key("rsa1024").cert), pri(key("rsa1024").pkcs8), otherPri(key("rsa2048").pkcs8);
    EXPECT_EQ(QELT_PRIKEY_CheckKeyPair(ctx, &cert, &pri), 0) << errInfo();
    EXPECT_EQ(QELT_PRIKEY_CheckKeyPair(ctx, &cert, &otherPri), QELT_ERR_KEYPAIR_MISMATCH);
    OwnedBinstr kcert(key("kcdsa1024").cert), kpri(key("kcdsa1024").pkcs8);
    EXPECT_EQ(QELT_PRIKEY_CheckKeyPair(ctx, &kcert, &kpri), 0) << errInfo();
    EXPECT_EQ(QELT_PRIKEY_CheckKeyPair(ctx, &kcert, &pri), QELT_ERR_KEYPAIR_MISMATCH);

    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"rsa1024", {"RSA", "1024 Bits"}}, {"rsa1536", {"RSA", "Unknown"}},    {"rsa2048", {"RSA", "2048 Bits"}},
        {"secp160r1", {"ECC", "WTLS 7"}},  {"sect163k1", {"ECC", "WTLS 3"}},   {"c2pnb163v1", {"ECC", "WTLS 5"}},
        {"kcdsa1024", {"KCDSA", "1024 Bits"}}};
    for (const auto& [name, info] : expected) {
        char alg[52], size[50];
        OwnedBinstr p(key(name).pkcs8), s(key(name).spki);
        ASSERT_EQ(QELT_PRIKEY_GetKeyInfo(ctx, &p, alg, size), 0) << name << errInfo();
        EXPECT_EQ(std::pair(std::string(alg), std::string(size)), info) << name;
        ASSERT_EQ(QELT_PUBKEY_GetKeyInfo(ctx, &s, alg, size), 0) << name << errInfo();
        EXPECT_EQ(std::pair(std::string(alg), std::string(size)), info) << name;
    }
    char alg[52], size[50];
    EXPECT_EQ(QELT_PRIKEY_GetKeyInfo(ctx, &cert, alg, size), QELT_ERR_PRIKEY_INVALID);
    EXPECT_EQ(QELT_PUBKEY_GetKeyInfo(ctx, &pri, alg, size), QELT_ERR_PUBLIC_KEY);
}

}  // namespace
}  // namespace qelt::test
