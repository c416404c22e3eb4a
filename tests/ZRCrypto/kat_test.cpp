// Known-answer vectors of the published standards, read from tests/data/crypto,
// through the engine's descriptors (one-shot and staged).
#include <gtest/gtest.h>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/block_ciphers.h"
#include "ZRCrypto/engine/zcap_engine.h"
#include "ZRCrypto/zr_hash.h"
#include "kat_reader.h"

namespace qelt::test {
namespace {

Bytes digest(int id, const Bytes& in) {
    uint8_t out[64];
    int len = sizeof out;
    EXPECT_EQ(ZCAP_DigestData(id, out, &len, in.data(), static_cast<int>(in.size())), ZCAP_OK);
    return Bytes(out, out + len);
}

// The staged digest through ZRHash, the input fed in three uneven pieces.
Bytes stagedDigest(int algCode, const Bytes& in) {
    ZRHash h;
    ByteString out;
    EXPECT_EQ(h.DigestData_Init(algCode), 0);
    const size_t a = in.size() / 3, b = in.size() * 2 / 3 + 1 > in.size() ? in.size() : in.size() * 2 / 3 + 1;
    EXPECT_EQ(h.DigestData_Update(in.data(), static_cast<int>(a)), 0);
    EXPECT_EQ(h.DigestData_Update(in.data() + a, static_cast<int>(b - a)), 0);
    EXPECT_EQ(h.DigestData_Update(in.data() + b, static_cast<int>(in.size() - b)), 0);
    EXPECT_EQ(h.DigestData_Final(out), 0);
    return Bytes(out.data(), out.data() + out.length());
}

TEST(HashKat, VecFilesOneShotAndStaged) {
    struct {
        const char* file;
        const char* section;
        int id;
        int alg;
    } const files[] = {{"md5.vec", "MD5", ENGINE_MD5, ALG_MD5},
                       {"sha1.vec", "SHA-1", ENGINE_SHA1, ALG_SHA1},
                       {"sha2_32.vec", "SHA-256", ENGINE_SHA256, ALG_SHA256},
                       {"has160.vec", "HAS-160", ENGINE_HAS160, ALG_HAS160}};
    for (const auto& f : files) {
        int count = 0;
        for (const KatVector& v : readVec(f.file)) {
            if (v.section != f.section) continue;
            SCOPED_TRACE(std::string(f.file) + " In=" + v.fields.at("In").substr(0, 40));
            EXPECT_EQ(digest(f.id, v.bytes("In")), v.bytes("Out"));
            EXPECT_EQ(stagedDigest(f.alg, v.bytes("In")), v.bytes("Out"));
            ++count;
        }
        EXPECT_GT(count, 5) << f.file;
    }
}

TEST(HashKat, Has160TtaTableIncludingMillionA) {
    int count = 0;
    for (const auto& c : readJsonCases("has160.json")) {
        Bytes msg = c.count("msg_hex") ? hexBytes(c.at("msg_hex")) : Bytes(std::stoul(c.at("count")), static_cast<uint8_t>(c.at("char")[0]));
        SCOPED_TRACE(c.at("md"));
        EXPECT_EQ(digest(ENGINE_HAS160, msg), hexBytes(c.at("md")));
        ++count;
    }
    EXPECT_EQ(count, 8);
}

// ECB through the engine: expanded key, one-shot encrypt and decrypt without padding.
void checkEcb(int id, Bytes key, const Bytes& in, const Bytes& out) {
    uint8_t expanded[GENKEY_MAX_LEN];
    int expandedLen = sizeof expanded;
    ASSERT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, id, key.data(), static_cast<int>(key.size())), ZCAP_OK);
    Bytes buf(in.size() + 32);
    int len = static_cast<int>(buf.size());
    ASSERT_EQ(ZCAP_EncryptData(expanded, expandedLen, id, ENGINE_MODE_ECB, buf.data(), &len, in.data(),
                               static_cast<int>(in.size()), nullptr, 0, ENGINE_PAD_NONE),
              ZCAP_OK);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + len), out);
    if (id == ENGINE_RC4) ZCAP_GenerateKey(expanded, &expandedLen, id, key.data(), static_cast<int>(key.size()));
    len = static_cast<int>(buf.size());
    ASSERT_EQ(ZCAP_DecryptData(expanded, expandedLen, id, ENGINE_MODE_ECB, buf.data(), &len, out.data(),
                               static_cast<int>(out.size()), nullptr, 0, ENGINE_PAD_NONE),
              ZCAP_OK);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + len), in);
}

// Two-key 3DES vectors run as K1 K2 K1.
Bytes threeKeys(Bytes key) {
    if (key.size() == 16) key.insert(key.end(), key.begin(), key.begin() + 8);
    return key;
}

TEST(CipherKat, DesAndTripleDes) {
    int des = 0, tdes = 0;
    for (const KatVector& v : readVec("des.vec")) {
        SCOPED_TRACE(v.section + " Key=" + v.fields.at("Key"));
        if (v.section == "DES") {
            checkEcb(ENGINE_DES, v.bytes("Key"), v.bytes("In"), v.bytes("Out"));
            ++des;
        } else if (v.section == "TripleDES") {
            checkEcb(ENGINE_3DES, threeKeys(v.bytes("Key")), v.bytes("In"), v.bytes("Out"));
            ++tdes;
        }
    }
    EXPECT_GT(des, 200);
    EXPECT_GT(tdes, 10);
}

TEST(CipherKat, Seed) {
    int count = 0;
    for (const KatVector& v : readVec("seed.vec")) {
        checkEcb(ENGINE_SEED, v.bytes("Key"), v.bytes("In"), v.bytes("Out"));
        ++count;
    }
    for (const auto& c : readJsonCases("seed128_ecb.json")) {
        SCOPED_TRACE(c.at("key") + " " + c.at("plain"));
        checkEcb(ENGINE_SEED, hexBytes(c.at("key")), hexBytes(c.at("plain")), hexBytes(c.at("cipher")));
        ++count;
    }
    EXPECT_GT(count, 250);
}

int ariaId(const std::string& name) {
    if (name == "ARIA-128") return ENGINE_ARIA128;
    if (name == "ARIA-192") return ENGINE_ARIA192;
    return ENGINE_ARIA256;
}

TEST(CipherKat, AriaAllKeySizes) {
    int count = 0;
    for (const KatVector& v : readVec("aria.vec")) {
        checkEcb(ariaId(v.section), v.bytes("Key"), v.bytes("In"), v.bytes("Out"));
        ++count;
    }
    for (const char* file : {"aria128_ecb.json", "aria192_ecb.json", "aria256_ecb.json"})
        for (const auto& c : readJsonCases(file)) {
            checkEcb(ariaId(c.at("alg")), hexBytes(c.at("key")), hexBytes(c.at("plain")), hexBytes(c.at("cipher")));
            ++count;
        }
    EXPECT_GT(count, 1000);
}

TEST(CipherKat, Rc2AnyKeyLengthAndEngineIdentifiers) {
    struct {
        size_t keyLen;
        int id;
    } const ids[] = {{5, ENGINE_RC2_40}, {8, ENGINE_RC2_64}, {16, ENGINE_RC2_128}, {24, ENGINE_RC2_192}, {32, ENGINE_RC2_256}};
    int count = 0, viaEngine = 0;
    for (const KatVector& v : readVec("rc2.vec")) {
        const Bytes key = v.bytes("Key"), in = v.bytes("In"), out = v.bytes("Out");
        SCOPED_TRACE("Key=" + v.fields.at("Key"));
        Rc2 rc2;
        rc2.setKey(key.data(), key.size(), 8 * key.size());
        uint8_t block[8], back[8];
        rc2.encryptBlock(in.data(), block);
        EXPECT_EQ(Bytes(block, block + 8), out);
        rc2.decryptBlock(block, back);
        EXPECT_EQ(Bytes(back, back + 8), in);
        for (const auto& e : ids)
            if (e.keyLen == key.size()) {
                checkEcb(e.id, key, in, out);
                ++viaEngine;
            }
        ++count;
    }
    EXPECT_GT(count, 20);
    EXPECT_GT(viaEngine, 3);
}

TEST(CipherKat, Rc4) {
    int count = 0;
    for (const KatVector& v : readVec("rc4.vec")) {
        if (v.section != "RC4") continue;
        const Bytes out = v.bytes("Out");
        const Bytes in = v.has("In") ? v.bytes("In") : Bytes(out.size(), 0);
        checkEcb(ENGINE_RC4, v.bytes("Key"), in, out);
        ++count;
    }
    EXPECT_GT(count, 30);
}

// CBC vectors with and without padding; OneAndZeros is the engine's padding 4.
TEST(CipherKat, CbcWithPaddings) {
    struct {
        const char* section;
        int id;
        int padding;
    } const sections[] = {
        {"DES/CBC/NoPadding", ENGINE_DES, ENGINE_PAD_NONE},      {"DES/CBC/PKCS7", ENGINE_DES, ENGINE_PAD_PKCS},
        {"DES/CBC/OneAndZeros", ENGINE_DES, ENGINE_PAD_80},      {"TripleDES/CBC/NoPadding", ENGINE_3DES, ENGINE_PAD_NONE},
        {"TripleDES/CBC/PKCS7", ENGINE_3DES, ENGINE_PAD_PKCS},   {"AES-128/CBC/PKCS7", ENGINE_AES128, ENGINE_PAD_PKCS},
        {"AES-128/CBC/NoPadding", ENGINE_AES128, ENGINE_PAD_NONE}, {"AES-192/CBC/NoPadding", ENGINE_AES192, ENGINE_PAD_NONE},
        {"AES-256/CBC/NoPadding", ENGINE_AES256, ENGINE_PAD_NONE}, {"ARIA-256/CBC/NoPadding", ENGINE_ARIA256, ENGINE_PAD_NONE},
    };
    int count = 0;
    for (const KatVector& v : readVec("cbc.vec")) {
        for (const auto& s : sections) {
            if (v.section != s.section) continue;
            SCOPED_TRACE(v.section + " In=" + v.fields.at("In").substr(0, 32));
            Bytes key = s.id == ENGINE_3DES ? threeKeys(v.bytes("Key")) : v.bytes("Key");
            const Bytes in = v.bytes("In"), expect = v.bytes("Out");
            uint8_t expanded[GENKEY_MAX_LEN];
            int expandedLen = sizeof expanded;
            ASSERT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, s.id, key.data(), static_cast<int>(key.size())), 0);
            Bytes iv = v.bytes("Nonce"), buf(in.size() + 64);
            int len = static_cast<int>(buf.size());
            ASSERT_EQ(ZCAP_EncryptData(expanded, expandedLen, s.id, ENGINE_MODE_CBC, buf.data(), &len, in.data(),
                                       static_cast<int>(in.size()), iv.data(), static_cast<int>(iv.size()), s.padding),
                      0);
            EXPECT_EQ(Bytes(buf.begin(), buf.begin() + len), expect);
            iv = v.bytes("Nonce");
            len = static_cast<int>(buf.size());
            ASSERT_EQ(ZCAP_DecryptData(expanded, expandedLen, s.id, ENGINE_MODE_CBC, buf.data(), &len, expect.data(),
                                       static_cast<int>(expect.size()), iv.data(), static_cast<int>(iv.size()), s.padding),
                      0);
            EXPECT_EQ(Bytes(buf.begin(), buf.begin() + len), in);
            ++count;
        }
    }
    EXPECT_GT(count, 140);
}

}  // namespace
}  // namespace qelt::test
