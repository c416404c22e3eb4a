// PKCS#11 tokens through the exported functions, against SoftHSM2 with a
// token initialised for each test under its own SOFTHSM2_CONF. Signatures
// made on the token are checked by the openssl command.
#include <openssl/sha.h>

#include <cstdlib>
#include <fstream>

#include "ZRProcess/PPrivateKey.h"
#include "api/pkey_test_keys.h"

namespace qelt::test {
namespace {

const std::filesystem::path kData = std::filesystem::path(QELT_TEST_DATA_DIR) / "pfx";
const char* const kSoftHsm = "/usr/lib/softhsm/libsofthsm2.so";
char kUserPin[] = "123456";
const char* const kTokenLabel = "qelt-test";

std::string hexSha1(const Bytes& b) {
    uint8_t d[SHA_DIGEST_LENGTH];
    SHA1(b.data(), b.size(), d);
    static const char* kHex = "0123456789ABCDEF";
    std::string s;
    for (uint8_t c : d) {
        s += kHex[c >> 4];
        s += kHex[c & 15];
    }
    return s;
}

std::string textOfFile(const std::filesystem::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class HsmTest : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        const auto dir = workDir / "softhsm";
        std::filesystem::create_directories(dir / "tokens");
        std::ofstream(dir / "softhsm2.conf") << "directories.tokendir = " << (dir / "tokens").string()
                                             << "\nobjectstore.backend = file\nlog.level = ERROR\n";
        setenv("SOFTHSM2_CONF", (dir / "softhsm2.conf").c_str(), 1);
        setenv("QELT_TEST_P11_TARGET", kSoftHsm, 1);
        const std::string init = std::string("softhsm2-util --init-token --free --label ") + kTokenLabel +
                                 " --so-pin 87654321 --pin " + kUserPin + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(init.c_str()), 0) << "softhsm2-util could not initialise a token";
        cert = fileBytes(kData / "sign.der");
        key = fileBytes(kData / "sign.key");
    }

    // Loads the module, lists the slots and returns our token's slot.
    unsigned long tokenSlot(const char* module = kSoftHsm) {
        EXPECT_EQ(QELT_STORAGE_Load(ctx, const_cast<char*>(module)), 0) << errInfo();
        unsigned long slots[8];
        int count = 8;
        EXPECT_EQ(QELT_HSM_GetSlotList(ctx, slots, &count), 0) << errInfo();
        for (int i = 0; i < count; ++i) {
            QELT_HSM_TOKEN_INFO info{};
            if (QELT_HSM_GetTokenInfo(ctx, slots[i], &info) == 0 && std::string(info.label) == kTokenLabel)
                return slots[i];
        }
        ADD_FAILURE() << "the initialised token is not in the slot list";
        return 0;
    }
    void logIn(const char* module = kSoftHsm) {
        const unsigned long slot = tokenSlot(module);
        ASSERT_EQ(QELT_HSM_OpenSession(ctx, slot, QELT_HSM_RW_SESSION), 0) << errInfo();
        ASSERT_EQ(QELT_HSM_Login(ctx, kUserPin), 0) << errInfo();
    }
    int write(const Bytes& c, const Bytes& k) {
        OwnedBinstr cb(c), kb(k);
        return QELT_HSM_WriteCertAndPriKey(ctx, &cb, &kb);
    }
    int count() {
        int n = -1;
        EXPECT_EQ(QELT_HSM_GetCertCnt(ctx, &n), 0) << errInfo();
        return n;
    }
    Bytes keyWithRandom(const Bytes& random) {
        ByteString info = bs(key);
        PPrivateKey priKey;
        EXPECT_EQ(priKey.setRandomNumber(info, bs(random)), 0);
        return Bytes(info.data(), info.data() + info.length());
    }

    Bytes cert, key;
};

TEST_F(HsmTest, SlotsTokenInformationLoginAndPinChange) {
    ASSERT_EQ(QELT_STORAGE_Load(ctx, const_cast<char*>(kSoftHsm)), 0);
    EXPECT_EQ(QELT_HSM_OpenSession(ctx, 0, 0), QELT_ERR_HSM_NO_SESSION);
    EXPECT_NE(errInfo().find("슬롯 정보를 먼저 획득해야 합니다."_cp949), std::string::npos);
    unsigned long one[1];
    int room = 1;
    // SoftHSM2 shows the initialised token and a fresh empty one.
    EXPECT_EQ(QELT_HSM_GetSlotList(ctx, one, &room), QELT_ERR_HSM_BASE);
    EXPECT_NE(errInfo().find("slot(2) is more than 1."), std::string::npos) << errInfo();
    QELT_STORAGE_Unload(ctx);

    const unsigned long slot = tokenSlot();
    QELT_HSM_TOKEN_INFO info{};
    ASSERT_EQ(QELT_HSM_GetTokenInfo(ctx, slot, &info), 0);
    EXPECT_STREQ(info.label, kTokenLabel);
    EXPECT_STREQ(info.manufacturerID, "SoftHSM project");
    EXPECT_NE(info.flags & 0x400 /* CKF_TOKEN_INITIALIZED */, 0u);

    EXPECT_EQ(QELT_HSM_Login(ctx, kUserPin), QELT_ERR_HSM_SESSION_CLOSED);
    ASSERT_EQ(QELT_HSM_OpenSession(ctx, slot, QELT_HSM_RW_SESSION), 0);
    char wrong[] = "000000";
    EXPECT_EQ(QELT_HSM_Login(ctx, wrong), QELT_ERR_HSM_BASE + 0xA0);
    EXPECT_NE(errInfo().find("fnc=C_Login, err=CKR_PIN_INCORRECT"), std::string::npos) << errInfo();
    char newPin[] = "654321";
    EXPECT_EQ(QELT_HSM_ChangePIN(ctx, kUserPin, newPin), QELT_ERR_HSM_NOT_LOGGED_IN);
    ASSERT_EQ(QELT_HSM_Login(ctx, kUserPin), 0);
    ASSERT_EQ(QELT_HSM_ChangePIN(ctx, kUserPin, newPin), 0) << errInfo();
    ASSERT_EQ(QELT_HSM_Logout(ctx), 0);
    EXPECT_EQ(QELT_HSM_Login(ctx, kUserPin), QELT_ERR_HSM_BASE + 0xA0);
    EXPECT_EQ(QELT_HSM_Login(ctx, newPin), 0);
    EXPECT_EQ(QELT_HSM_CloseSession(ctx), 0);
    // A closed session must be opened again from a new slot listing.
    EXPECT_EQ(QELT_HSM_Login(ctx, newPin), QELT_ERR_HSM_SESSION_CLOSED);
    EXPECT_EQ(QELT_HSM_OpenSession(ctx, slot, 0), QELT_ERR_HSM_NO_SESSION);
}

TEST_F(HsmTest, CertificatesAndKeysAreWrittenReadCountedAndDeleted) {
    logIn();
    EXPECT_EQ(count(), 0);
    const Bytes random(20, 0x3C);
    ASSERT_EQ(write(cert, keyWithRandom(random)), 0) << errInfo();
    EXPECT_EQ(write(cert, key), QELT_ERR_HSM_BASE);
    EXPECT_NE(errInfo().find("이미 존재하는 KeyID입니다."_cp949), std::string::npos);
    ASSERT_EQ(write(fileBytes(kData / "km.der"), fileBytes(kData / "km.key")), 0) << errInfo();
    EXPECT_EQ(count(), 2);

    const std::string signId = hexSha1(cert);
    bool sawSign = false;
    for (int i = 0; i < 2; ++i) {
        int type = 0;
        OwnedBinstr id, dn;
        ASSERT_EQ(QELT_HSM_GetCertInfo(ctx, i, &type, &id, &dn), 0) << errInfo();
        if (type == QELT_HSM_CERT_SIGN) {
            sawSign = true;
            EXPECT_EQ(id.str(), signId);
            EXPECT_NE(dn.str().find("sign"), std::string::npos) << dn.str();
        } else {
            EXPECT_EQ(type, QELT_HSM_CERT_KM);
            EXPECT_EQ(id.str(), hexSha1(fileBytes(kData / "km.der")));
        }
    }
    EXPECT_TRUE(sawSign);

    OwnedBinstr keyId(signId), readBack, randomBack;
    ASSERT_EQ(QELT_HSM_ReadCert(ctx, &keyId, &readBack), 0) << errInfo();
    EXPECT_EQ(readBack.vec(), cert);
    ASSERT_EQ(QELT_HSM_ReadRandomForVID(ctx, &keyId, &randomBack), 0) << errInfo();
    EXPECT_EQ(randomBack.vec(), random);

    ASSERT_EQ(QELT_HSM_DeleteCertAndPriKey(ctx, &keyId), 0) << errInfo();
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(QELT_HSM_ReadCert(ctx, &keyId, &readBack), QELT_ERR_HSM_BASE);
    EXPECT_NE(errInfo().find("객체가 토큰에 없습니다."_cp949), std::string::npos);
    EXPECT_EQ(QELT_HSM_ReadRandomForVID(ctx, &keyId, &randomBack), QELT_ERR_HSM_BASE);
    // The same pair can be written again once deleted.
    EXPECT_EQ(write(cert, key), 0) << errInfo();
}

TEST_F(HsmTest, SignaturesMadeOnTheTokenVerifyWithOpenssl) {
    logIn();
    ASSERT_EQ(write(cert, key), 0) << errInfo();
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    OwnedBinstr keyId(hexSha1(cert)), data(std::string("signed on the token")), signedData;
    ASSERT_EQ(QELT_HSM_SignData(ctx, &keyId, &data, &signedData), 0) << errInfo();
    putFile(workDir / "sd.der", signedData.vec());
    ASSERT_TRUE(openssl(workDir, "cms -verify -inform DER -in sd.der -noverify -out content.txt"));
    EXPECT_EQ(textOfFile(workDir / "content.txt"), "signed on the token");
    // A changed content does not verify: the signature covers it.
    Bytes tampered = signedData.vec();
    auto at = std::search(tampered.begin(), tampered.end(), data.b.pVal, data.b.pVal + data.b.nLen);
    ASSERT_NE(at, tampered.end());
    *at ^= 0x01;
    putFile(workDir / "bad.der", tampered);
    EXPECT_FALSE(openssl(workDir, "cms -verify -inform DER -in bad.der -noverify -out bad.txt"));

    // The key-management pair has no signing key.
    ASSERT_EQ(write(fileBytes(kData / "km.der"), fileBytes(kData / "km.key")), 0);
    OwnedBinstr kmId(hexSha1(fileBytes(kData / "km.der")));
    EXPECT_EQ(QELT_HSM_SignData(ctx, &kmId, &data, &signedData), QELT_ERR_HSM_BASE);
    EXPECT_NE(errInfo().find("SIGN_PRI_KEY="), std::string::npos);
}

TEST_F(HsmTest, RepeatedSigningFollowsObjectsChangedByAnotherSession) {
    logIn();
    ASSERT_EQ(write(cert, key), 0) << errInfo();
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    OwnedBinstr keyId(hexSha1(cert)), data(std::string("signed twice")), first, second;
    ASSERT_EQ(QELT_HSM_SignData(ctx, &keyId, &data, &first), 0) << errInfo();

    // Another context (its own session on the same token) deletes the pair.
    void* other = nullptr;
    ASSERT_EQ(QELT_API_Init(&other, workDir.c_str()), 0);
    ASSERT_EQ(QELT_STORAGE_Load(other, const_cast<char*>(kSoftHsm)), 0);
    unsigned long slots[8];
    int n = 8;
    ASSERT_EQ(QELT_HSM_GetSlotList(other, slots, &n), 0);
    unsigned long slot = slots[0];
    for (int i = 0; i < n; ++i) {
        QELT_HSM_TOKEN_INFO info{};
        if (QELT_HSM_GetTokenInfo(other, slots[i], &info) == 0 && std::string(info.label) == kTokenLabel)
            slot = slots[i];
    }
    ASSERT_EQ(QELT_HSM_OpenSession(other, slot, QELT_HSM_RW_SESSION), 0);
    ASSERT_EQ(QELT_HSM_Login(other, kUserPin), 0);
    ASSERT_EQ(QELT_HSM_DeleteCertAndPriKey(other, &keyId), 0);

    // The first context's kept key handle is stale: the key is looked up again and is missing.
    EXPECT_EQ(QELT_HSM_SignData(ctx, &keyId, &data, &second), QELT_ERR_HSM_BASE);
    EXPECT_NE(errInfo().find("SIGN_PRI_KEY="), std::string::npos) << errInfo();

    // Written again (new handles) by the other context: the first signs with the new key.
    OwnedBinstr cb(cert), kb(key);
    ASSERT_EQ(QELT_HSM_WriteCertAndPriKey(other, &cb, &kb), 0);
    ASSERT_EQ(QELT_HSM_SignData(ctx, &keyId, &data, &second), 0) << errInfo();
    putFile(workDir / "again.der", second.vec());
    EXPECT_TRUE(openssl(workDir, "cms -verify -inform DER -in again.der -noverify -out again.txt"));
    EXPECT_EQ(textOfFile(workDir / "again.txt"), "signed twice");
    EXPECT_EQ(QELT_API_Finish(&other), 0);
}

TEST_F(HsmTest, CallsOutOfOrderOrWithWrongPairsAreRefused) {
    OwnedBinstr keyId(std::string("00")), out, data(std::string("x"));
    EXPECT_EQ(QELT_HSM_ReadCert(ctx, &keyId, &out), QELT_ERR_DYNLIB_NOT_LOADED);
    const unsigned long slot = tokenSlot();
    EXPECT_EQ(QELT_HSM_ReadCert(ctx, &keyId, &out), QELT_ERR_HSM_SESSION_CLOSED);
    ASSERT_EQ(QELT_HSM_OpenSession(ctx, slot, QELT_HSM_RW_SESSION), 0);
    EXPECT_EQ(write(cert, key), QELT_ERR_HSM_NOT_LOGGED_IN);
    EXPECT_EQ(QELT_HSM_SignData(ctx, &keyId, &data, &out), QELT_ERR_HSM_NOT_LOGGED_IN);
    ASSERT_EQ(QELT_HSM_Login(ctx, kUserPin), 0);
    EXPECT_EQ(write(cert, fileBytes(kData / "km.key")), QELT_ERR_KEYPAIR_MISMATCH);
    EXPECT_EQ(write(fileBytes(kData / "ca.der"), fileBytes(kData / "ca.key")), QELT_ERR_HSM_BASE);
    EXPECT_NE(errInfo().find("not for the signing or the encryption"), std::string::npos);
    EXPECT_EQ(count(), 0);  // nothing half-written
    EXPECT_EQ(QELT_HSM_SignData(ctx, nullptr, &data, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("Input certificate ID (pKeyID)."), std::string::npos);
}

TEST_F(HsmTest, AModuleWithoutSetPinServesEverythingButThePinChange) {
    logIn(QELT_TEST_P11SHIM);
    ASSERT_EQ(write(cert, key), 0) << errInfo();
    EXPECT_EQ(count(), 1);
    OwnedBinstr keyId(hexSha1(cert)), data(std::string("through the shim")), signedData;
    EXPECT_EQ(QELT_HSM_SignData(ctx, &keyId, &data, &signedData), 0) << errInfo();
    char newPin[] = "999999";
    EXPECT_EQ(QELT_HSM_ChangePIN(ctx, kUserPin, newPin), QELT_ERR_DYNLIB_SYMBOL);
    EXPECT_NE(errInfo().find("함수 C_SetPIN()의 포인터 획득 실패"_cp949), std::string::npos);
    EXPECT_EQ(QELT_HSM_Logout(ctx), 0);
}

}  // namespace
}  // namespace qelt::test
