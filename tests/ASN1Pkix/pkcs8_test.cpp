// PPKCS8 and its derivations: known answers for the three KDFs, every scheme
// code round-tripped, the national schemes checked against OpenSSL's ciphers
// with independently derived keys, and the identifier table.
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <unistd.h>

#include "ASN1Pkix/PPKCS8.h"
#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/pkix_test_support.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/kat_reader.h"
#include "ZRCrypto/password_kdf.h"
#include "test_support.h"

namespace qelt::test {
namespace {

ByteString bs(const Bytes& b) { return ByteString(b.data(), static_cast<int>(b.size())); }
Bytes vecOf(const ByteString& b) { return Bytes(b.data(), b.data() + b.length()); }

// A PrivateKeyInfo made by OpenSSL, once per program.
const ByteString& rsaKey() {
    static const ByteString key = [] {
        const auto dir = scratchDir("Pkcs8Core-" + std::to_string(getpid()));
        EXPECT_TRUE(runIn(dir,
                          "openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 2>/dev/null | "
                          "openssl pkcs8 -topk8 -nocrypt -outform DER -out k.der"));
        const ByteString der = bs(readFileBytes(dir / "k.der"));
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        return der;
    }();
    return key;
}

std::string tail(const ErrorHolder& h) {
    const std::string t = h.errorText();
    return t.substr(t.rfind(']') + 1);
}

TEST(Pkcs8Kdf, KnownAnswers) {
    int seen = 0;
    for (const KatVector& v : readVec("pbe_kdf.vec")) {
        PasswordKdf kdf;
        ByteString out;
        const int iter = std::stoi(v.fields.at("Iterations"));
        if (v.section == "PBKDF1") {
            const int hash = v.fields.at("Hash") == "md5" ? ALG_MD5 : ALG_SHA1;
            ASSERT_EQ(kdf.pbkdf1(hash, bs(v.bytes("Password")), bs(v.bytes("Salt")), iter, out), 0);
        } else if (v.section == "PKCS12") {
            ASSERT_EQ(kdf.pkcs12Sha1(widenPassword(bs(v.bytes("Password"))), bs(v.bytes("Salt")),
                                     std::stoi(v.fields.at("Id")), iter, std::stoi(v.fields.at("Len")), out),
                      0);
        } else {
            ASSERT_EQ(kdf.pbkdf2Sha1(bs(v.bytes("Password")), bs(v.bytes("Salt")), iter,
                                     static_cast<int>(v.bytes("Out").size()), out),
                      0);
        }
        EXPECT_EQ(vecOf(out), v.bytes("Out")) << v.section << " #" << seen;
        ++seen;
    }
    EXPECT_EQ(seen, 12);
    // The PKCS#12 derivation also agrees with OpenSSL's on a long password.
    const std::string pw = "a password longer than one sixty-four byte block of the derivation";
    const Bytes salt = {9, 8, 7, 6, 5, 4, 3, 2};
    uint8_t ref[40];
    ASSERT_EQ(PKCS12_key_gen_asc(pw.c_str(), static_cast<int>(pw.size()), const_cast<uint8_t*>(salt.data()), 8, 1, 5,
                                 sizeof ref, ref, EVP_sha1()),
              1);
    PasswordKdf kdf;
    ByteString out;
    ASSERT_EQ(kdf.pkcs12Sha1(widenPassword(ByteString(pw.c_str())), bs(salt), 1, 5, sizeof ref, out), 0);
    EXPECT_EQ(vecOf(out), Bytes(ref, ref + sizeof ref));
}

TEST(Pkcs8Core, EverySchemeRoundTripsAndRefusesAWrongPassword) {
    for (int code : {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 24, 25, 26}) {
        PPKCS8 enc;
        enc.setAlgorithm(code);
        enc.setPassword("p@ss-word");
        ASSERT_EQ(enc.setPrivateKeyInfo(rsaKey()), 0);
        ByteString encrypted, again;
        ASSERT_EQ(enc.getPKCS8Data(encrypted), 0) << code << enc.errorText();
        ASSERT_EQ(enc.getPKCS8Data(again), 0);
        EXPECT_TRUE(encrypted == again) << code;  // the salt follows from password and key

        PPKCS8 dec;
        dec.setPassword("p@ss-word");
        ByteString plain;
        ASSERT_EQ(dec.getPrivateKeyInfo(encrypted, plain), 0) << code << dec.errorText();
        EXPECT_TRUE(plain == rsaKey()) << code;
        EXPECT_EQ(dec.getScheme(), code);

        PPKCS8 wrong;
        wrong.setPassword("p@ss-wore");
        EXPECT_EQ(wrong.getPrivateKeyInfo(encrypted, plain), PPKCS8::kDecryptFailed) << code;
    }
}

// Decrypts `in` with an OpenSSL cipher (PKCS padding); empty on failure.
Bytes sslDecrypt(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, const ByteString& in) {
    Bytes out(static_cast<size_t>(in.length()) + 32);
    EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
    int n = 0, m = 0;
    const bool ok = EVP_DecryptInit_ex(c, cipher, nullptr, key.data(), iv.data()) == 1 &&
                    EVP_DecryptUpdate(c, out.data(), &n, in.data(), in.length()) == 1 &&
                    EVP_DecryptFinal_ex(c, out.data() + n, &m) == 1;
    EVP_CIPHER_CTX_free(c);
    out.resize(ok ? static_cast<size_t>(n + m) : 0);
    return out;
}

Bytes sha1(const Bytes& in) {
    Bytes out(20);
    EVP_Digest(in.data(), in.size(), out.data(), nullptr, EVP_sha1(), nullptr);
    return out;
}

TEST(Pkcs8Core, NationalSchemesMatchAnIndependentDerivation) {
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER* deflt = OSSL_PROVIDER_load(nullptr, "default");
    EVP_CIPHER* seed = EVP_CIPHER_fetch(nullptr, "SEED-CBC", nullptr);
    const std::string pw = "national";
    // NEAT runs on the AES-128 core, so OpenSSL's AES-128-CBC reads it.
    const struct {
        int code;
        const EVP_CIPHER* cipher;
    } cases[] = {{7, seed}, {8, seed}, {9, EVP_aes_128_cbc()}, {11, EVP_aria_128_cbc()}};
    for (const auto& c : cases) {
        ASSERT_NE(c.cipher, nullptr) << "SEED needs OpenSSL's legacy provider";
        PPKCS8 enc;
        enc.setAlgorithm(c.code);
        enc.setPassword(pw.c_str());
        ASSERT_EQ(enc.setPrivateKeyInfo(rsaKey()), 0);
        ByteString der;
        ASSERT_EQ(enc.getPKCS8Data(der), 0);
        REncryptedPrivateKeyInfo info(der);
        ASSERT_EQ(info.errorCode(), 0);
        RPBEParameter pbe(info.getEncryptionAlgorithm().getParameters().getEncoding());
        ASSERT_EQ(pbe.errorCode(), 0);
        const Bytes salt = vecOf(pbe.getSalt().getValue());
        ASSERT_EQ(salt.size(), 8u);
        EXPECT_EQ(pbe.getIterationCount().getInteger(), 1024);
        Bytes salted(pw.begin(), pw.end());
        salted.insert(salted.end(), rsaKey().data(), rsaKey().data() + rsaKey().length());
        const Bytes saltHash = sha1(salted);
        EXPECT_EQ(salt, Bytes(saltHash.begin(), saltHash.begin() + 8)) << c.code;

        Bytes key(16), iv(16);
        if (c.code == 9) {
            PKCS12_key_gen_asc(pw.c_str(), static_cast<int>(pw.size()), const_cast<uint8_t*>(salt.data()), 8, 1, 1024,
                               16, key.data(), EVP_sha1());
            PKCS12_key_gen_asc(pw.c_str(), static_cast<int>(pw.size()), const_cast<uint8_t*>(salt.data()), 8, 2, 1024,
                               16, iv.data(), EVP_sha1());
        } else {
            Bytes t(pw.begin(), pw.end());
            t.insert(t.end(), salt.begin(), salt.end());
            for (int i = 0; i < 1024; ++i) t = sha1(t);
            key.assign(t.begin(), t.begin() + 16);
            const Bytes h = sha1(Bytes(t.begin() + 16, t.end()));
            iv = c.code == 8 ? Bytes({'4', '7', '1', '5', '0', '9', '2', '3', '8', '6', '1', '5', '0', '2', '7', '4'})
                             : Bytes(h.begin(), h.begin() + 16);
        }
        EXPECT_EQ(sslDecrypt(c.cipher, key, iv, info.getEncryptedData().getValue()), vecOf(rsaKey())) << c.code;
    }
    EVP_CIPHER_free(seed);
    if (legacy) OSSL_PROVIDER_unload(legacy);
    if (deflt) OSSL_PROVIDER_unload(deflt);
}

// Wraps cipher text under a PBES1-shaped identifier.
ByteString pbes1Key(const char* oid, const Bytes& salt, int iter, const Bytes& cipherText) {
    RPBEParameter pbe;
    EXPECT_EQ(pbe.editSalt().setValue(salt.data(), static_cast<int>(salt.size())), 0);
    pbe.editIterationCount().setInteger(iter);
    RAlgorithmIdentifier alg;
    EXPECT_EQ(alg.editAlgorithm().setOID(oid), 0);
    alg.editParameters().set(pbe.toASN1Object());
    alg.setParameters(alg.getParameters());
    REncryptedPrivateKeyInfo info;
    info.setEncryptionAlgorithm(alg);
    EXPECT_EQ(info.editEncryptedData().setValue(cipherText.data(), static_cast<int>(cipherText.size())), 0);
    return ByteString(info.toASN1Object());
}

TEST(Pkcs8Core, NeatKeysWrittenWithPbkdf1AreReadOnTheSecondAttempt) {
    const std::string pw = "second";
    const Bytes salt = {1, 1, 2, 3, 5, 8, 13, 21};
    Bytes t(pw.begin(), pw.end());
    t.insert(t.end(), salt.begin(), salt.end());
    for (int i = 0; i < 100; ++i) t = sha1(t);
    const Bytes key(t.begin(), t.begin() + 16), h = sha1(Bytes(t.begin() + 16, t.end())), iv(h.begin(), h.begin() + 16);
    Bytes cipherText(static_cast<size_t>(rsaKey().length()) + 16);
    EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
    int n = 0, m = 0;
    EVP_EncryptInit_ex(c, EVP_aes_128_cbc(), nullptr, key.data(), iv.data());
    EVP_EncryptUpdate(c, cipherText.data(), &n, rsaKey().data(), rsaKey().length());
    EVP_EncryptFinal_ex(c, cipherText.data() + n, &m);
    EVP_CIPHER_CTX_free(c);
    cipherText.resize(static_cast<size_t>(n + m));

    PPKCS8 dec;
    dec.setPassword(pw.c_str());
    ByteString plain;
    ASSERT_EQ(dec.getPrivateKeyInfo(pbes1Key("1 2 410 100001 1 7", salt, 100, cipherText), plain), 0)
        << dec.errorText();
    EXPECT_TRUE(plain == rsaKey());
    // Any other scheme gets a single attempt.
    EXPECT_EQ(dec.getPrivateKeyInfo(pbes1Key("1 2 410 100001 1 8", salt, 100, cipherText), plain),
              PPKCS8::kDecryptFailed);
}

TEST(Pkcs8Core, IdentifierTable) {
    const struct {
        const char* oid;
        int rc, code;
        const char* message;
    } cases[] = {
        {"1 2 840 113549 1 5 1", 1, 0, "GetAlgorithm-bsOID(1),The MD2 or DES algorithm does not supported."},
        {"1 2 840 113549 1 5 11", 0, 6, nullptr},
        {"1 2 410 200004 1 4", 0, 8, nullptr},  // outside PBES2: the fixed-IV SEED scheme
        {"1 2 410 200004 5 100 2 1", 0, 26, nullptr},
        {"1 2 410 100001 1 16", 18, 0, "GetAlgorithm-bsOID(18),The NES algorithm does not supported."},
        {"1 2 840 113549 3 2", 24, 0, "GetAlgorithm-RC2(24),Key information does not enough."},
        {"1 2 3 4", 32, 0, "GetAlgorithm-bsOID(32),bsOID(1 2 3 4) is unknown OID."},
    };
    for (const auto& c : cases) {
        PPKCS8 p;
        int code = 0;
        EXPECT_EQ(p.GetAlgorithm(c.oid, code), c.rc) << c.oid;
        if (c.rc == 0) EXPECT_EQ(code, c.code) << c.oid;
        if (c.message) EXPECT_EQ(tail(p), std::string("PPKCS8::") + c.message);
    }
}

}  // namespace
}  // namespace qelt::test
