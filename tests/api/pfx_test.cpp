// PFX import and export against the openssl command: files it made import to
// the keys and certificates it was given, files we make open in it with the
// same contents, and damaged, foreign or hostile files are refused with the
// PFX codes (never hang on a huge iteration count).
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ASN1/asn1_sequence.h"
#include "ASN1Pkix/PPKCS12.h"
#include "api/pkey_test_keys.h"
#include "tools/cli_run.h"

namespace qelt::test {
namespace {

const std::filesystem::path kData = std::filesystem::path(QELT_TEST_DATA_DIR) / "pfx";
char kPass[] = "pfx-test-pass";

Bytes data(const char* name) { return fileBytes(kData / name); }

// Every certificate of a PEM file, as DER, in file order.
std::vector<Bytes> pemCertificates(const std::filesystem::path& path) {
    std::vector<Bytes> out;
    BIO* bio = BIO_new_file(path.c_str(), "r");
    while (X509* x = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr) {
        unsigned char* der = nullptr;
        const int len = i2d_X509(x, &der);
        if (len > 0) out.emplace_back(der, der + len);
        OPENSSL_free(der);
        X509_free(x);
    }
    BIO_free(bio);
    return out;
}

// Every private key of a PEM file, as DER PrivateKeyInfo, in file order.
std::vector<Bytes> pemKeys(const std::filesystem::path& path) {
    std::vector<Bytes> out;
    BIO* bio = BIO_new_file(path.c_str(), "r");
    while (EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr) {
        PKCS8_PRIV_KEY_INFO* info = EVP_PKEY2PKCS8(key);
        unsigned char* der = nullptr;
        const int len = info ? i2d_PKCS8_PRIV_KEY_INFO(info, &der) : 0;
        if (len > 0) out.emplace_back(der, der + len);
        OPENSSL_clear_free(der, static_cast<size_t>(len > 0 ? len : 0));
        PKCS8_PRIV_KEY_INFO_free(info);
        EVP_PKEY_free(key);
    }
    BIO_free(bio);
    return out;
}

class PfxTest : public ApiTest {
protected:
    struct Imported {
        int rc = 0;
        Bytes signCert, signKey, kmCert, kmKey;
    };
    Imported import(const Bytes& pfx, char* pass = kPass) {
        OwnedBinstr in(pfx), sc, sk, kc, kk;
        Imported r;
        r.rc = QELT_PFX_Import(ctx, pass, &in, &sc, &sk, &kc, &kk);
        r.signCert = sc.vec();
        r.signKey = sk.vec();
        r.kmCert = kc.vec();
        r.kmKey = kk.vec();
        return r;
    }
    // Export of the given pairs (empty vectors stand for an absent pair).
    int exportPfx(const Bytes& signCert, const Bytes& signKey, const Bytes& kmCert, const Bytes& kmKey, Bytes& pfx) {
        OwnedBinstr sc(signCert), sk(signKey), kc(kmCert), kk(kmKey), out;
        const int rc = QELT_PFX_Export(ctx, kPass, signCert.empty() ? nullptr : &sc, signKey.empty() ? nullptr : &sk,
                                       kmCert.empty() ? nullptr : &kc, kmKey.empty() ? nullptr : &kk, &out);
        pfx = out.vec();
        return rc;
    }
};

TEST_F(PfxTest, FilesMadeByOpensslImportToTheirKeysAndCertificates) {
    for (const char* name : {"legacy.p12", "rc4.p12", "nomac.p12"}) {
        SCOPED_TRACE(name);
        const Imported r = import(data(name));
        ASSERT_EQ(r.rc, 0) << errInfo();
        EXPECT_EQ(r.signCert, data("sign.der"));
        EXPECT_EQ(r.signKey, data("sign.key"));
        EXPECT_TRUE(r.kmCert.empty());
        EXPECT_TRUE(r.kmKey.empty());
    }
    // A keyEncipherment pair goes to the key-distribution outputs; the CA
    // certificate without a local key id pairs with nothing.
    const Imported km = import(data("chain.p12"));
    ASSERT_EQ(km.rc, 0) << errInfo();
    EXPECT_TRUE(km.signCert.empty());
    EXPECT_EQ(km.kmCert, data("km.der"));
    EXPECT_EQ(km.kmKey, data("km.key"));
}

TEST_F(PfxTest, WrongPasswordAndAlteredFilesGiveThePasswordCode) {
    char wrong[] = "not-the-password";
    EXPECT_EQ(import(data("legacy.p12"), wrong).rc, QELT_ERR_PRIKEY_PASSWORD);
    EXPECT_NE(errInfo().find("비밀번호를 확인하세요."_cp949), std::string::npos);
    // Without a MAC the password is still checked, by the key decryption.
    EXPECT_EQ(import(data("nomac.p12"), wrong).rc, QELT_ERR_PRIKEY_PASSWORD);

    // One changed byte of the encrypted contents, then of the MAC value itself.
    Bytes pfx = data("legacy.p12");
    pfx[pfx.size() / 2] ^= 0x01;
    EXPECT_EQ(import(pfx).rc, QELT_ERR_PRIKEY_PASSWORD);
    pfx = data("legacy.p12");
    const Bytes macTag = {0x04, 0x14};  // the 20-byte HMAC-SHA-1 value, first OCTET STRING of that size from the end
    auto it = std::find_end(pfx.begin(), pfx.end() - 30, macTag.begin(), macTag.end());
    ASSERT_NE(it, pfx.end() - 30);
    it[5] ^= 0x80;
    EXPECT_EQ(import(pfx).rc, QELT_ERR_PRIKEY_PASSWORD);
}

TEST_F(PfxTest, ExportedFilesOpenInOpensslWithTheSameContents) {
    Bytes pfx;
    ASSERT_EQ(exportPfx(data("sign.der"), data("sign.key"), data("km.der"), data("km.key"), pfx), 0) << errInfo();
    const auto dir = workDir;
    putFile(dir / "ours.p12", pfx);
    const std::string p12 = "openssl pkcs12 -legacy -in '" + (dir / "ours.p12").string() + "' -passin pass:" + kPass;
    // Certificates with their local key ids, the ids being the slot numbers 1 and 2.
    const std::string info = runCommand(p12 + " -nokeys 2>/dev/null").out;
    EXPECT_NE(info.find("localKeyID: 01 00 00 00"), std::string::npos) << info;
    EXPECT_NE(info.find("localKeyID: 02 00 00 00"), std::string::npos) << info;
    ASSERT_TRUE(
        openssl(dir, "pkcs12 -legacy -in ours.p12 -passin pass:" + std::string(kPass) + " -nokeys -out certs.pem"));
    ASSERT_TRUE(openssl(
        dir, "pkcs12 -legacy -in ours.p12 -passin pass:" + std::string(kPass) + " -nocerts -nodes -out keys.pem"));
    const std::vector<Bytes> certs = pemCertificates(dir / "certs.pem"), keys = pemKeys(dir / "keys.pem");
    ASSERT_EQ(certs.size(), 2u);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(certs[0], data("sign.der"));  // OpenSSL lists the bags in file order
    EXPECT_EQ(certs[1], data("km.der"));
    EXPECT_EQ(keys[0], data("sign.key"));
    EXPECT_EQ(keys[1], data("km.key"));
    // OpenSSL's own check of the MAC.
    EXPECT_TRUE(openssl(dir, "pkcs12 -legacy -in ours.p12 -passin pass:" + std::string(kPass) + " -info -noout"));
    EXPECT_FALSE(openssl(dir, "pkcs12 -legacy -in ours.p12 -passin pass:wrong -info -noout"));
}

TEST_F(PfxTest, ExportThenImportKeepsThePairsInTheirSlotsAndIsDeterministic) {
    Bytes first, second;
    ASSERT_EQ(exportPfx(data("sign.der"), data("sign.key"), data("km.der"), data("km.key"), first), 0) << errInfo();
    ASSERT_EQ(exportPfx(data("sign.der"), data("sign.key"), data("km.der"), data("km.key"), second), 0);
    EXPECT_EQ(first, second);  // every salt follows from the data
    const Imported r = import(first);
    ASSERT_EQ(r.rc, 0) << errInfo();
    EXPECT_EQ(r.signCert, data("sign.der"));
    EXPECT_EQ(r.signKey, data("sign.key"));
    EXPECT_EQ(r.kmCert, data("km.der"));
    EXPECT_EQ(r.kmKey, data("km.key"));

    // A key-distribution pair alone leaves the signing outputs as they were.
    Bytes kmOnly;
    ASSERT_EQ(exportPfx({}, {}, data("km.der"), data("km.key"), kmOnly), 0);
    const Imported k = import(kmOnly);
    ASSERT_EQ(k.rc, 0);
    EXPECT_TRUE(k.signCert.empty());
    EXPECT_EQ(k.kmKey, data("km.key"));
}

TEST_F(PfxTest, PairsThatFitNoSlotAreRefused) {
    const Imported ca = import(data("ca-only.p12"));
    EXPECT_EQ(ca.rc, QELT_ERR_PFX_PROCESS);
    EXPECT_NE(errInfo().find("서명용 또는 키분배용이 아닌 인증서가 포함되어있습니다."_cp949), std::string::npos);
    EXPECT_TRUE(ca.signCert.empty());

    // Three pairs are more than the two slots; an eleventh cannot even be set.
    PPKCS12 pkcs12;
    pkcs12.setPassword(kPass);
    for (const char* n : {"sign", "km", "sign"})
        ASSERT_EQ(pkcs12.setKeyAndCert(bs(data((std::string(n) + ".key").c_str())),
                                       bs(data((std::string(n) + ".der").c_str()))),
                  0);
    ByteString three;
    ASSERT_EQ(pkcs12.makePKCS12Data(three), 0) << pkcs12.errorText();
    EXPECT_EQ(import(Bytes(three.data(), three.data() + three.length())).rc, QELT_ERR_PFX_PROCESS);
    EXPECT_NE(errInfo().find("2개를 초과하는"_cp949), std::string::npos);
    for (int i = 3; i < PPKCS12::kMaxPairs; ++i)
        ASSERT_EQ(pkcs12.setKeyAndCert(bs(data("km.key")), bs(data("km.der"))), 0);
    EXPECT_NE(pkcs12.setKeyAndCert(bs(data("km.key")), bs(data("km.der"))), 0);
    EXPECT_NE(std::string(pkcs12.errorText()).find("You can only set 10 certificates and keys."), std::string::npos);
}

TEST_F(PfxTest, ForeignDamagedAndHostileFilesAreRefusedQuickly) {
    // OpenSSL 3's default PFX (PBES2/AES, SHA-256 MAC) is not one of ours.
    EXPECT_EQ(import(data("modern.p12")).rc, QELT_ERR_PFX_PROCESS);
    EXPECT_NE(errInfo().find("is not supported"), std::string::npos) << errInfo();

    const Bytes good = data("legacy.p12");
    for (size_t cut : {size_t{0}, size_t{1}, size_t{40}, good.size() / 2, good.size() - 1}) {
        Bytes truncated(good.begin(), good.begin() + static_cast<long>(cut));
        if (truncated.empty()) truncated.push_back(0x30);
        EXPECT_EQ(import(truncated).rc, QELT_ERR_PFX_PROCESS) << cut;
    }
    EXPECT_EQ(import(Bytes(500, 0xA5)).rc, QELT_ERR_PFX_PROCESS);

    // Iteration counts of 8388607 in the MAC and in the PBE parameters: a
    // file we write with 65536 (encoded 02 03 01 00 00) patched in place.
    PPKCS12 writer;
    writer.setPassword(kPass);
    writer.setIterations(65536, 65536);
    ASSERT_EQ(writer.setKeyAndCert(bs(data("sign.key")), bs(data("sign.der"))), 0);
    ByteString made;
    ASSERT_EQ(writer.makePKCS12Data(made), 0);
    Bytes huge(made.data(), made.data() + made.length());
    const Bytes from = {0x02, 0x03, 0x01, 0x00, 0x00}, to = {0x02, 0x03, 0x7F, 0xFF, 0xFF};
    int patched = 0;
    for (auto it = huge.begin(); (it = std::search(it, huge.end(), from.begin(), from.end())) != huge.end(); ++patched)
        std::copy(to.begin(), to.end(), it);
    ASSERT_EQ(patched, 3);  // key PBE, certificate PBE, MAC
    // The same file without its MacData reaches the PBE parameters.
    ASN1Sequence outer(ByteString(huge.data(), static_cast<int>(huge.size())));
    ASSERT_EQ(outer.getComponentCount(), 3);
    ByteString content(outer.componentBytes(0));
    content.append(ByteString(outer.componentBytes(1)));
    ByteString noMac;
    noMac.append(static_cast<uint8_t>(0x30));
    appendLengthOctets(noMac, static_cast<size_t>(content.length()));
    noMac.append(content);
    const auto start = std::chrono::steady_clock::now();
    for (const Bytes& pfx : {huge, Bytes(noMac.data(), noMac.data() + noMac.length())}) {
        EXPECT_EQ(import(pfx).rc, QELT_ERR_PFX_PROCESS);
        EXPECT_NE(errInfo().find("iteration count(8388607)"), std::string::npos) << errInfo();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(PfxTest, ArgumentsAreCheckedInOrder) {
    OwnedBinstr cert(data("sign.der")), key(data("sign.key")), out;
    char empty[] = "";
    EXPECT_EQ(QELT_PFX_Export(ctx, empty, &cert, &key, nullptr, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("비밀번호를 지정해 주세요"_cp949), std::string::npos);
    EXPECT_EQ(QELT_PFX_Export(ctx, kPass, &cert, nullptr, nullptr, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("서명용 인증서와 개인키 모두를 설정해야 합니다."_cp949), std::string::npos);
    EXPECT_EQ(QELT_PFX_Export(ctx, kPass, nullptr, nullptr, nullptr, &key, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("키분배용 인증서와 개인키 모두를 설정해야 합니다."_cp949), std::string::npos);
    EXPECT_EQ(QELT_PFX_Export(ctx, kPass, nullptr, nullptr, nullptr, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    OwnedBinstr emptyKey;
    EXPECT_EQ(QELT_PFX_Export(ctx, kPass, &cert, &emptyKey, nullptr, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("서명용 개인키가 비어있습니다."_cp949), std::string::npos);
    // A certificate where the key should be.
    EXPECT_EQ(QELT_PFX_Export(ctx, kPass, &cert, &cert, nullptr, nullptr, &out), QELT_ERR_PRIKEY_INVALID);
    EXPECT_NE(errInfo().find("<zorinlib>"), std::string::npos);
    EXPECT_EQ(out.b.pVal, nullptr);

    OwnedBinstr pfx(data("legacy.p12")), a, b, c;
    EXPECT_EQ(QELT_PFX_Import(ctx, kPass, nullptr, &a, &b, &c, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("PFX 데이터를 지정해 주세요."_cp949), std::string::npos);
    EXPECT_EQ(QELT_PFX_Import(ctx, kPass, &pfx, &a, &b, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("pKmCert의 포인터가 NULL 입니다."_cp949), std::string::npos);
}

}  // namespace
}  // namespace qelt::test
