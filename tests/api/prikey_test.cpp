// QELT_PRIKEY_Encrypt / Decrypt / ChangePasswd and QELT_VID_GetRandomFromPriKey,
// with OpenSSL as the other side: what it writes we read, and the PBES2 3DES
// and DES keys we write it reads.
#include <openssl/evp.h>
#include <unistd.h>

#include <fstream>

#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/pkix_test_support.h"
#include "ZRProcess/PPrivateKey.h"
#include "test_support.h"

namespace qelt::test {
namespace {

constexpr const char* kLegacy = " -provider legacy -provider default";

class PriKeyTest : public ApiTest {
protected:
    static void SetUpTestSuite() {
        dir = new std::filesystem::path(scratchDir("PriKey-" + std::to_string(getpid())));
        ASSERT_TRUE(
            runIn(*dir, "openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out rsa.pem 2>/dev/null"));
        ASSERT_TRUE(runIn(*dir, "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out ec.pem"));
        for (const char* k : {"rsa", "ec"})
            ASSERT_TRUE(runIn(
                *dir, std::string("openssl pkcs8 -topk8 -nocrypt -in ") + k + ".pem -outform DER -out " + k + ".p8"));
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        std::filesystem::remove_all(*dir, ignored);
        delete dir;
    }

    static std::vector<uint8_t> file(const std::string& name) { return readFileBytes(*dir / name); }
    static void write(const std::string& name, const std::vector<uint8_t>& data) {
        std::ofstream(*dir / name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    }
    // OpenSSL's encryption of `key` ("rsa" or "ec") with the given options.
    static std::vector<uint8_t> sslEncrypted(const std::string& key, const std::string& options) {
        EXPECT_TRUE(runIn(*dir, "openssl pkcs8 -topk8" + std::string(kLegacy) + " -in " + key + ".pem " + options +
                                    " -passout pass:secret -outform DER -out ssl_enc.der"))
            << options;
        return file("ssl_enc.der");
    }
    std::vector<uint8_t> decrypt(const char* pw, const std::vector<uint8_t>& enc, int* rc) {
        OwnedBinstr in(enc), out;
        *rc = QELT_PRIKEY_Decrypt(ctx, const_cast<char*>(pw), &in, &out);
        return out.vec();
    }
    std::vector<uint8_t> encrypt(int alg, const char* pw, const std::vector<uint8_t>& key, int* rc) {
        OwnedBinstr in(key), out;
        *rc = QELT_PRIKEY_Encrypt(ctx, alg, const_cast<char*>(pw), &in, &out);
        return out.vec();
    }
    static std::filesystem::path* dir;
};
std::filesystem::path* PriKeyTest::dir = nullptr;

TEST_F(PriKeyTest, ReadsWhatOpenSslWrites) {
    const char* schemes[] = {"-v2 des3 -v2prf hmacWithSHA1",
                             "-v2 des-cbc -v2prf hmacWithSHA1",
                             "-v2 rc2-40-cbc -v2prf hmacWithSHA1",
                             "-v2 seed-cbc -v2prf hmacWithSHA1 -iter 1",
                             "-v1 PBE-MD5-DES",
                             "-v1 PBE-SHA1-DES",
                             "-v1 PBE-SHA1-3DES"};
    for (const char* key : {"rsa", "ec"}) {
        for (const char* scheme : schemes) {
            int rc = -1;
            const auto plain = decrypt("secret", sslEncrypted(key, scheme), &rc);
            ASSERT_EQ(rc, 0) << key << " " << scheme << ": " << errInfo();
            EXPECT_EQ(plain, file(std::string(key) + ".p8")) << key << " " << scheme;
        }
    }
    // PKCS#5's RC2 schemes use 64-bit RC2 where these schemes fix a 5-byte key:
    // such keys read as a wrong password.
    int rc = -1;
    decrypt("secret", sslEncrypted("rsa", "-v1 PBE-SHA1-RC2-64"), &rc);
    EXPECT_EQ(rc, QELT_ERR_PRIKEY_PASSWORD);
    // OpenSSL's default PRF is HMAC-SHA-256, which is refused.
    decrypt("secret", sslEncrypted("rsa", "-v2 des3"), &rc);
    EXPECT_EQ(rc, QELT_ERR_ENCPRIKEY_INVALID);
    EXPECT_NE(errInfo().find("Only support HMAC-SHA-1 Pseudorandom function."), std::string::npos) << errInfo();
    decrypt("secret", sslEncrypted("rsa", "-v2 aes-128-cbc -v2prf hmacWithSHA1"), &rc);
    EXPECT_EQ(rc, QELT_ERR_ENCPRIKEY_INVALID);
    EXPECT_NE(errInfo().find("bsOID(2 16 840 1 101 3 4 1 2) is unknown OID."), std::string::npos) << errInfo();
}

TEST_F(PriKeyTest, OpenSslReadsOurDesAndTripleDesKeys) {
    for (int alg : {QELT_SYM_3DES, QELT_SYM_DES}) {
        int rc = -1;
        const auto enc = encrypt(alg, "our-secret", file("ec.p8"), &rc);
        ASSERT_EQ(rc, 0) << errInfo();
        write("ours.der", enc);
        ASSERT_TRUE(runIn(*dir, "openssl pkcs8" + std::string(kLegacy) +
                                    " -inform DER -in ours.der -passin pass:our-secret | openssl pkcs8 -topk8 -nocrypt "
                                    "-outform DER -out back.der"));
        EXPECT_EQ(file("back.der"), file("ec.p8")) << alg;
    }
}

TEST_F(PriKeyTest, WrittenFormats) {
    int rc = -1;
    const auto seed = encrypt(QELT_SYM_SEED, "pw", file("rsa.p8"), &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(encrypt(QELT_SYM_SEED, "pw", file("rsa.p8"), &rc), seed);  // same key, same password, same bytes
    EXPECT_NE(encrypt(QELT_SYM_SEED, "pw2", file("rsa.p8"), &rc), seed);

    REncryptedPrivateKeyInfo info(seed);
    ASSERT_EQ(info.errorCode(), 0);
    EXPECT_TRUE(info.getEncryptionAlgorithm().getAlgorithm().is("1 2 840 113549 1 5 13"));
    RPBES2_params pbes2(info.getEncryptionAlgorithm().getParameters().getEncoding());
    ASSERT_EQ(pbes2.errorCode(), 0);
    RPBKDF2_params kdf(pbes2.getKeyDerivationFunc().getParameters().getEncoding());
    ASSERT_EQ(kdf.errorCode(), 0);
    ByteString salt;
    ASSERT_EQ(kdf.getSpecifiedSalt(salt), 0);
    EXPECT_EQ(salt.length(), 8);
    EXPECT_EQ(kdf.getIterationCount().getInteger(), 1024);
    EXPECT_FALSE(kdf.hasKeyLength());
    EXPECT_FALSE(kdf.hasPrf());
    EXPECT_TRUE(pbes2.getEncryptionScheme().getAlgorithm().is("1 2 410 200004 1 4"));
    // The IV is the derived bytes 16..31.
    uint8_t dk[32];
    ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1("pw", 2, salt.data(), 8, 1024, sizeof dk, dk), 1);
    ASN1OctetString iv(pbes2.getEncryptionScheme().getParameters().getEncoding());
    EXPECT_EQ(std::vector<uint8_t>(iv.getValue().data(), iv.getValue().data() + iv.getValue().length()),
              std::vector<uint8_t>(dk + 16, dk + 32));

    REncryptedPrivateKeyInfo neat(encrypt(QELT_SYM_NEAT, "pw", file("rsa.p8"), &rc));
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(neat.getEncryptionAlgorithm().getAlgorithm().is("1 2 410 100001 1 7"));
    RPBEParameter pbe(neat.getEncryptionAlgorithm().getParameters().getEncoding());
    ASSERT_EQ(pbe.errorCode(), 0);
    EXPECT_EQ(pbe.getSalt().getValue().length(), 8);
    EXPECT_EQ(pbe.getIterationCount().getInteger(), 1024);

    for (int alg : {QELT_SYM_NEAT, QELT_SYM_ARIA}) {
        const auto enc = encrypt(alg, "pw", file("ec.p8"), &rc);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(decrypt("pw", enc, &rc), file("ec.p8"));
        EXPECT_EQ(rc, 0);
    }
}

TEST_F(PriKeyTest, RefusalsCarryTheirCodesAndMessages) {
    int rc = -1;
    const auto enc = encrypt(QELT_SYM_3DES, "right", file("rsa.p8"), &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(decrypt("wrong", enc, &rc).empty());
    EXPECT_EQ(rc, QELT_ERR_PRIKEY_PASSWORD);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_Decrypt] 비밀번호를 확인하세요."_cp949);
    decrypt("right", file("rsa.p8"), &rc);
    EXPECT_EQ(rc, QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_Decrypt] 암호화된 개인키가 아닙니다."_cp949);
    encrypt(QELT_SYM_SEED, "pw", enc, &rc);
    EXPECT_EQ(rc, QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_Encrypt] 복호화된 개인키가 아닙니다."_cp949);
    for (int alg : {0, 17, 96}) {
        encrypt(alg, "pw", file("rsa.p8"), &rc);
        EXPECT_EQ(rc, QELT_ERR_SYM_ALGORITHM);
    }
    encrypt(QELT_SYM_SEED, "", file("rsa.p8"), &rc);
    EXPECT_EQ(rc, QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_Encrypt] 개인키 비밀번호 정보가 없습니다."_cp949);
    OwnedBinstr in(file("rsa.p8"));
    EXPECT_EQ(QELT_PRIKEY_Encrypt(ctx, QELT_SYM_SEED, const_cast<char*>("pw"), &in, nullptr),
              QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_Encrypt] pEncPriKey의 포인터가 NULL 입니다."_cp949);
    EXPECT_EQ(QELT_PRIKEY_Decrypt(ctx, const_cast<char*>("pw"), nullptr, &in), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_Decrypt] 복호화할 개인키(pEncPriKey)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_PRIKEY_Decrypt(nullptr, const_cast<char*>("pw"), &in, &in), QELT_ERR_NOT_INITIALIZED);

    // Every truncation of an encrypted key is refused without output.
    for (size_t n = 1; n < enc.size(); n += 7) {
        const auto out = decrypt("right", std::vector<uint8_t>(enc.begin(), enc.begin() + n), &rc);
        EXPECT_TRUE(rc == QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY || rc == QELT_ERR_ENCPRIKEY_INVALID ||
                    rc == QELT_ERR_PRIKEY_PASSWORD)
            << n << ": " << rc;
        EXPECT_TRUE(out.empty());
    }
}

TEST_F(PriKeyTest, ChangePasswordKeepsTheScheme) {
    int rc = -1;
    for (int alg : {QELT_SYM_ARIA, QELT_SYM_NEAT}) {
        OwnedBinstr old(encrypt(alg, "old-pw", file("rsa.p8"), &rc)), renewed;
        ASSERT_EQ(rc, 0);
        ASSERT_EQ(
            QELT_PRIKEY_ChangePasswd(ctx, const_cast<char*>("old-pw"), const_cast<char*>("new-pw"), &old, &renewed), 0)
            << errInfo();
        EXPECT_EQ(decrypt("new-pw", renewed.vec(), &rc), file("rsa.p8"));
        decrypt("old-pw", renewed.vec(), &rc);
        EXPECT_EQ(rc, QELT_ERR_PRIKEY_PASSWORD);
        REncryptedPrivateKeyInfo a(old.vec()), b(renewed.vec());
        ASSERT_EQ(b.errorCode(), 0);
        ByteString oa(a.getEncryptionAlgorithm().getAlgorithm().getValue()),
            ob(b.getEncryptionAlgorithm().getAlgorithm().getValue());
        EXPECT_TRUE(oa == ob);
        if (alg == QELT_SYM_ARIA) {  // the PBES2 IV comes along, only the salt changes
            RPBES2_params pa(a.getEncryptionAlgorithm().getParameters().getEncoding()),
                pb(b.getEncryptionAlgorithm().getParameters().getEncoding());
            EXPECT_TRUE(pa.getEncryptionScheme().getParameters().getEncoding() ==
                        pb.getEncryptionScheme().getParameters().getEncoding());
        }
        EXPECT_EQ(QELT_PRIKEY_ChangePasswd(ctx, const_cast<char*>("bad"), const_cast<char*>("x"), &old, &renewed),
                  QELT_ERR_PRIKEY_PASSWORD);
    }
    OwnedBinstr plain(file("rsa.p8")), out;
    EXPECT_EQ(QELT_PRIKEY_ChangePasswd(ctx, const_cast<char*>("a"), const_cast<char*>("b"), &plain, &out),
              QELT_ERR_ENCPRIKEY_INVALID);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_ChangePasswd] 잘못된 암호화된 개인키입니다."_cp949);
    EXPECT_EQ(QELT_PRIKEY_ChangePasswd(ctx, const_cast<char*>("a"), const_cast<char*>(""), &plain, &out),
              QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_PRIKEY_ChangePasswd] 새 개인키 비밀번호 정보가 없습니다."_cp949);
}

TEST_F(PriKeyTest, RandomNumberAttribute) {
    ByteString key(file("ec.p8").data(), static_cast<int>(file("ec.p8").size()));
    OwnedBinstr bare(file("ec.p8")), random;
    EXPECT_EQ(QELT_VID_GetRandomFromPriKey(ctx, &bare, &random), QELT_ERR_VID_NO_RANDOM);
    EXPECT_EQ(errInfo(), "[QELT_VID_GetRandomFromPriKey] 개인키에 랜덤정보가 없습니다."_cp949);
    PPrivateKey r;
    ASSERT_EQ(r.setRandomNumber(key, ByteString("R-value-0123456789", 18)), 0);
    OwnedBinstr withRandom(std::vector<uint8_t>(key.data(), key.data() + key.length()));
    ASSERT_EQ(QELT_VID_GetRandomFromPriKey(ctx, &withRandom, &random), 0) << errInfo();
    EXPECT_EQ(random.str(), "R-value-0123456789");
    // Setting again replaces; reading without keeping removes the attribute set with its only member.
    ASSERT_EQ(r.setRandomNumber(key, ByteString("second", 6)), 0);
    ByteString value;
    ASSERT_EQ(r.getRandomNumber(key, value, false), 0);
    EXPECT_TRUE(value == ByteString("second", 6));
    EXPECT_EQ(std::vector<uint8_t>(key.data(), key.data() + key.length()), file("ec.p8"));
    // The attribute travels inside the encrypted key.
    int rc = -1;
    const auto enc = encrypt(QELT_SYM_SEED, "pw", withRandom.vec(), &rc);
    EXPECT_EQ(decrypt("pw", enc, &rc), withRandom.vec());
    OwnedBinstr encrypted(enc);
    EXPECT_EQ(QELT_VID_GetRandomFromPriKey(ctx, &encrypted, &random), QELT_ERR_PRIKEY_NOT_PRIKEY);
}

}  // namespace
}  // namespace qelt::test
