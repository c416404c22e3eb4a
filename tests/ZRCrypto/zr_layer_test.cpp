// The crypto layer: ZRHash (iteration, staged use, its error texts) and
// ZREncrypt (one-shot, expanded-key chaining, streaming, NEAT, refusals).
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <regex>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/neat.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"
#include "crypto_test_util.h"

namespace qelt::test {
namespace {

ByteString bs(const Bytes& b) { return ByteString(b.data(), static_cast<int>(b.size())); }
Bytes vec(const ByteString& b) { return Bytes(b.data(), b.data() + b.length()); }

// The error text must be one location record of this class, method, label and code.
void expectRecord(const ErrorHolder& h, const std::string& file, const std::string& method, const std::string& label,
                  int code, const std::string& message) {
    const std::string text = h.errorText();
    const std::regex head("\\[" + file + ":[0-9]+\\]([A-Za-z]+)::([A-Za-z_]+)-(.*?)\\(([0-9]+)\\)(,.*)?");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, head)) << text;
    EXPECT_EQ(m[2].str(), method) << text;
    EXPECT_EQ(m[3].str(), label) << text;
    EXPECT_EQ(std::stoi(m[4].str()), code) << text;
    EXPECT_EQ(m[5].str(), message.empty() ? "" : "," + message) << text;
    EXPECT_EQ(h.errorCode(), code);
}

TEST(ZRHashTest, IterationHashesTheDigestAgain) {
    const ByteString in("iterate me");
    ByteString once, thrice;
    ZRHash h;
    ASSERT_EQ(h.DigestData(ALG_SHA256, in, once, 1), 0);
    ASSERT_EQ(h.DigestData(ALG_SHA256, in, thrice, 3), 0);
    uint8_t d[32];
    unsigned n = 0;
    EVP_Digest(in.data(), static_cast<size_t>(in.length()), d, &n, EVP_sha256(), nullptr);
    EXPECT_EQ(vec(once), Bytes(d, d + 32));
    EVP_Digest(d, 32, d, &n, EVP_sha256(), nullptr);
    EVP_Digest(d, 32, d, &n, EVP_sha256(), nullptr);
    EXPECT_EQ(vec(thrice), Bytes(d, d + 32));
    ByteString zero;
    ASSERT_EQ(h.DigestData(ALG_MD5, in, zero, 0), 0);  // nIter <= 1 is one digest
    EXPECT_EQ(zero.length(), 16);
}

TEST(ZRHashTest, ErrorTexts) {
    ZRHash h;
    ByteString out;
    EXPECT_EQ(h.DigestData_Update(ByteString("x")), 1);
    expectRecord(h, "zr_hash.cpp", "DigestData_Update", "m_pZCAPCtx", 1, "At first, You must init(DigestData_Init).");
    EXPECT_EQ(h.DigestData_Final(out), 1);
    EXPECT_EQ(h.DigestData(99, ByteString("x"), out), 1);
    expectRecord(h, "zr_hash.cpp", "DigestData", "nAlg", 1, "The AlgID(99) does not supported.");
    EXPECT_EQ(h.DigestData_Init(52), 2);  // made by the key classes, no engine identifier
    expectRecord(h, "zr_hash.cpp", "DigestData_Init", "nAlg", 2, "The AlgID(52) does not supported.");
    EXPECT_EQ(h.DigestData(ALG_RANDOM, ByteString("x"), out), 3);  // mapped, but no hash descriptor
    expectRecord(h, "zr_hash.cpp", "DigestData", "ZCAP_DigestData", 3,
                 "Init stage; Invalid algorithm identifier.(1105)");
    // The staged context survives final until the next init.
    ASSERT_EQ(h.DigestData_Init(ALG_HAS160), 0);
    ASSERT_EQ(h.DigestData_Final(out), 0);
    EXPECT_EQ(vec(out), hexBytes("307964EF34151D37C8047ADEC7AB50F4FF89762D"));
}

TEST(ZREncryptTest, RefusalsAndTheirTexts) {
    ZREncrypt e;
    ByteString out;
    const ByteString key(hexBytes("0123456789ABCDEF").data(), 8), iv(hexBytes("1122334455667788").data(), 8);
    EXPECT_EQ(e.EncryptData(99, MODE_CBC, key, iv, ByteString("data"), out, 2), 1);
    expectRecord(e, "zr_encrypt.cpp", "EncryptData", "nAlg", 1, "The AlgID(99) does not supported.");
    EXPECT_EQ(e.EncryptData(ALG_DES, 7, key, iv, ByteString("data"), out, 2), 2);
    expectRecord(e, "zr_encrypt.cpp", "EncryptData", "nMode", 2, "The Mode(7) does not supported.");
    EXPECT_EQ(e.DecryptData(ALG_DES, MODE_CBC, key, iv, ByteString("data"), out, 5), 3);
    expectRecord(e, "zr_encrypt.cpp", "DecryptData", "nPadding", 3, "The PaddingType(5) does not supported.");
    const ByteString neatKey(Bytes(16, 1).data(), 16), neatIv(Bytes(16, 2).data(), 16);
    EXPECT_EQ(e.EncryptData(ALG_NEAT, MODE_ECB, neatKey, neatIv, ByteString("data"), out, 2), 18);
    expectRecord(e, "zr_encrypt.cpp", "EncryptData", "Mode", 18, "The NEAT algorithm only support CBC mode.");
    EXPECT_EQ(e.EncryptData(ALG_NEAT, MODE_CBC, neatKey, neatIv, ByteString("data"), out, 7), 4);
    EXPECT_EQ(e.EncryptData(ALG_DES, MODE_CBC, ByteString("short"), iv, ByteString("data"), out, 2), 25);
    EXPECT_EQ(e.EncryptData(ALG_SEED, MODE_CBC, neatKey, neatIv, ByteString("fifteen bytes!!"), out, 0), 27);
    expectRecord(e, "zr_encrypt.cpp", "EncryptData", "[ZCAP_EncryptData]", 27,
                 "[ZCAP_EncryptData] nAlgID = 11110, nEncMode = 3, nPaddintType = 0, Final stage; Invalid input or "
                 "output data.(3101)");
    // A decryption whose padding is broken fails in final.
    ByteString cipher;
    ASSERT_EQ(e.EncryptData(ALG_DES, MODE_CBC, key, iv, ByteString("12345670"), cipher, 0), 0);
    EXPECT_EQ(e.DecryptData(ALG_DES, MODE_CBC, key, iv, cipher, out, 2), 27);
    expectRecord(e, "zr_encrypt.cpp", "DecryptData", "[ZCAP_DecryptData]", 27,
                 "[ZCAP_DecryptData] nAlgID = 11001, nEncMode = 3, nPaddintType = 8, Final stage; Invalid encrypted "
                 "data.(3114)");
    ByteString longKey;
    longKey.set(Bytes(1201, 0).data(), 1201);
    ByteString ivCopy(iv);
    EXPECT_EQ(e.EncryptData_NoGenKey(ALG_DES, MODE_CBC, longKey, ivCopy, cipher.data(), 8, out, 0), 3);
    expectRecord(e, "zr_encrypt.cpp", "EncryptData_NoGenKey", "expandedKey", 3,
                 "The key(1201) is longer than GENKEY_MAX_LEN(1200).");
    // RSA encryption belongs to the public-key part of the engine, not present here.
    EXPECT_EQ(e.EncryptData(ALG_RSA_ENC_1024, MODE_PUBLIC_KEY, key, iv, ByteString("data"), out, 0), 16);
}

TEST(ZREncryptTest, OneShotLeavesTheCallersIvAndPadsWholeBlocks) {
    ZREncrypt e;
    const ByteString key(hexBytes("0123456789ABCDEF").data(), 8), iv(hexBytes("1122334455667788").data(), 8);
    ByteString out, back;
    ASSERT_EQ(e.EncryptData(ALG_DES, MODE_CBC, key, iv, ByteString("8 bytes!"), out, 2), 0);
    EXPECT_EQ(out.length(), 16);
    EXPECT_EQ(vec(iv), hexBytes("1122334455667788"));
    ASSERT_EQ(e.DecryptData(ALG_DES, MODE_CBC, key, iv, out, back, 2), 0);
    EXPECT_EQ(back.view(), "8 bytes!");
}

// The NEAT slot is AES-128 in CBC: its output matches OpenSSL's AES-128-CBC.
TEST(ZREncryptTest, NeatSlotIsAes128Cbc) {
    std::mt19937 rng(5);
    for (size_t len : {size_t{1}, size_t{15}, size_t{16}, size_t{100}}) {
        const Bytes key = randomBytes(rng, 16), iv = randomBytes(rng, 16), in = randomBytes(rng, len);
        ZREncrypt e;
        ByteString out, back;
        ASSERT_EQ(e.EncryptData(ALG_NEAT, MODE_CBC, bs(key), bs(iv), bs(in), out, 2), 0);
        const Reference ref = openssl("AES-128-CBC", key, iv, in, false, true);
        ASSERT_TRUE(ref.ok);
        EXPECT_EQ(vec(out), ref.out);
        ASSERT_EQ(e.DecryptData(ALG_NEAT, MODE_CBC, bs(key), bs(iv), out, back, 2), 0);
        EXPECT_EQ(vec(back), in);
        ASSERT_EQ(e.DecryptData(ALG_NEAT, MODE_CBC, bs(key), bs(iv), out, back, 3), 6);
        expectRecord(e, "zr_encrypt.cpp", "DecryptData", "NEAT", 6, "Failed ZR_DecryptNeatCBC : ErrCode = 102.");
    }
    uint8_t schedule[NEAT_SCHEDULE_LEN] = {}, out[64];
    const uint8_t key[16] = {1, 2, 3}, iv[16] = {};
    int outLen = sizeof out;
    std::memcpy(schedule, key, 16);  // a raw key is not a schedule
    EXPECT_EQ(ZR_EncryptNeatCBC(schedule, iv, 16, key, 16, out, &outLen, 2), NEAT_NO_KEY_SCHEDULE);
    ZR_NeatKeySchedule(key, schedule);
    EXPECT_EQ(ZR_EncryptNeatCBC(schedule, iv, 8, key, 16, out, &outLen, 2), NEAT_BAD_IV);
    EXPECT_EQ(ZR_EncryptNeatCBC(schedule, iv, 16, key, 15, out, &outLen, 0), NEAT_BAD_LENGTH);
    outLen = 16;
    EXPECT_EQ(ZR_EncryptNeatCBC(schedule, iv, 16, key, 16, out, &outLen, 2), NEAT_BAD_LENGTH);
    outLen = 32;
    EXPECT_EQ(ZR_EncryptNeatCBC(schedule, iv, 16, key, 16, out, &outLen, 2), NEAT_OK);
    EXPECT_EQ(outLen, 32);
}

struct Alg {
    int code;
    int mode;
    size_t keyLen;
    size_t ivLen;
};
constexpr Alg kAlgs[] = {{ALG_DES, MODE_CBC, 8, 8},    {ALG_3DES, MODE_CBC, 24, 8},     {ALG_SEED, MODE_CBC, 16, 16},
                         {ALG_NEAT, MODE_CBC, 16, 16}, {ALG_ARIA128, MODE_CBC, 16, 16}, {ALG_RC2_40, MODE_CBC, 5, 8},
                         {ALG_RC4, MODE_CBC, 16, 0},   {ALG_DES, MODE_OFB, 8, 8},       {ALG_SEED, MODE_CFB, 16, 16},
                         {ALG_3DES, MODE_ECB, 24, 0}};

// Streaming in uneven chunks gives the one-shot bytes, for every cipher and
// the lengths around the 1024-byte threshold, including an empty input.
TEST(ZREncryptTest, StreamingEqualsOneShot) {
    std::mt19937 rng(11);
    for (const Alg& a : kAlgs) {
        for (size_t len :
             {size_t{0}, size_t{1}, size_t{1023}, size_t{1024}, size_t{1025}, size_t{4099}, size_t{20000}}) {
            SCOPED_TRACE("alg " + std::to_string(a.code) + " mode " + std::to_string(a.mode) + " len " +
                         std::to_string(len));
            const ByteString key = bs(randomBytes(rng, a.keyLen)), iv = bs(randomBytes(rng, a.ivLen));
            const Bytes in = randomBytes(rng, len);
            ZREncrypt e;
            ByteString expect, plain;
            ASSERT_EQ(e.EncryptData(a.code, a.mode, key, iv, bs(in), expect, 2), 0) << e.errorText();
            for (bool decrypt : {false, true}) {
                const Bytes src = decrypt ? vec(expect) : in;
                ZREncrypt s;
                ASSERT_EQ(
                    decrypt ? s.DecryptData_Init(a.code, a.mode, key, iv) : s.EncryptData_Init(a.code, a.mode, key, iv),
                    0);
                Bytes got;
                ByteString piece;
                for (size_t pos = 0; pos < src.size();) {
                    const size_t n = std::min(src.size() - pos, static_cast<size_t>(rng() % 3000 + 1));
                    ASSERT_EQ(decrypt ? s.DecryptData_Update(src.data() + pos, static_cast<int>(n), &piece)
                                      : s.EncryptData_Update(src.data() + pos, static_cast<int>(n), &piece),
                              0)
                        << s.errorText();
                    got.insert(got.end(), piece.data(), piece.data() + piece.length());
                    pos += n;
                }
                ASSERT_EQ(decrypt ? s.DecryptData_Final(&piece, 2) : s.EncryptData_Final(&piece, 2), 0)
                    << s.errorText();
                got.insert(got.end(), piece.data(), piece.data() + piece.length());
                EXPECT_EQ(got, decrypt ? in : vec(expect));
            }
        }
    }
}

// The location record without its file and line, for comparing two paths' failures.
std::string recordWithoutPlace(const ErrorHolder& h) {
    const std::string text = h.errorText();
    const auto close = text.find(']');
    return close == std::string::npos ? text : text.substr(close + 1);
}

// Writing into the caller's memory gives the one-shot bytes and the same
// refusals; the memory is asked for once, encryption asks for exactly the
// ciphertext's length (so an output of the same size can be reused), a padded
// CBC or ECB decryption for exactly the plaintext's, and other decryptions for
// no more than the ciphertext's.
TEST(ZREncryptTest, WritingIntoCallersMemoryEqualsOneShot) {
    std::mt19937 rng(5);
    for (const Alg& a : kAlgs) {
        for (int padding : {0, 2}) {
            for (size_t len : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, size_t{1023}, size_t{4099}}) {
                SCOPED_TRACE("alg " + std::to_string(a.code) + " mode " + std::to_string(a.mode) + " padding " +
                             std::to_string(padding) + " len " + std::to_string(len));
                const ByteString key = bs(randomBytes(rng, a.keyLen)), iv = bs(randomBytes(rng, a.ivLen));
                const Bytes in = randomBytes(rng, len);
                ZREncrypt one, to;
                ByteString expect;
                const int rc = one.EncryptData(a.code, a.mode, key, iv, bs(in), expect, padding);
                std::vector<uint8_t> memory;
                int asked = 0;
                const auto allocate = [&](size_t n) {
                    ++asked;
                    memory.assign(n, 0xEE);
                    return memory.data();
                };
                size_t written = 99;
                EXPECT_EQ(to.EncryptDataTo(a.code, a.mode, key, iv, in, allocate, written, padding), rc);
                if (rc != 0) {
                    EXPECT_EQ(recordWithoutPlace(to), recordWithoutPlace(one));
                    continue;
                }
                ASSERT_EQ(asked, 1);
                EXPECT_EQ(std::max<size_t>(written, 1), memory.size());
                EXPECT_EQ(Bytes(memory.begin(), memory.begin() + static_cast<long>(written)), vec(expect));

                for (bool damaged : {false, true}) {
                    Bytes cipher = vec(expect);
                    if (damaged && !cipher.empty()) cipher.back() ^= 0x41;
                    ByteString plain;
                    ZREncrypt back, backTo;
                    const int drc = back.DecryptData(a.code, a.mode, key, iv, bs(cipher), plain, padding);
                    asked = 0;
                    EXPECT_EQ(backTo.DecryptDataTo(a.code, a.mode, key, iv, cipher, allocate, written, padding), drc);
                    if (drc != 0) {
                        EXPECT_EQ(recordWithoutPlace(backTo), recordWithoutPlace(back));
                        continue;
                    }
                    EXPECT_EQ(asked, 1);
                    EXPECT_LE(memory.size(), std::max<size_t>(cipher.size(), 1));
                    // A padded CBC or ECB decryption knows the plaintext's length before it writes.
                    if (padding != 0 && (a.mode == MODE_CBC || a.mode == MODE_ECB) && a.code != ALG_RC4 &&
                        a.code != ALG_NEAT)
                        EXPECT_EQ(memory.size(), std::max<size_t>(written, 1));
                    EXPECT_EQ(Bytes(memory.begin(), memory.begin() + static_cast<long>(written)), vec(plain));
                    if (!damaged) EXPECT_EQ(vec(plain), in);
                }
            }
        }
    }
    // No memory to be had.
    ZREncrypt e;
    size_t written = 0;
    const ByteString key(Bytes(16, 3).data(), 16);
    EXPECT_EQ(e.EncryptDataTo(
                  ALG_SEED, MODE_CBC, key, key, Bytes(40, 1), [](size_t) { return nullptr; }, written, 2),
              ZREncrypt::kNoOutputMemory);
    EXPECT_EQ(e.DecryptDataTo(
                  ALG_NEAT, MODE_CBC, key, key, Bytes(32, 1), [](size_t) { return nullptr; }, written, 2),
              ZREncrypt::kNoOutputMemory);
}

// _NoGenKey writes back the chaining value (and RC4's key state): two calls
// continue one message.
TEST(ZREncryptTest, NoGenKeyContinuesTheChain) {
    std::mt19937 rng(3);
    for (const Alg& a : kAlgs) {
        SCOPED_TRACE("alg " + std::to_string(a.code));
        const ByteString key = bs(randomBytes(rng, a.keyLen)), iv = bs(randomBytes(rng, a.ivLen));
        const Bytes first = randomBytes(rng, 64), second = randomBytes(rng, 37);
        Bytes whole = first;
        whole.insert(whole.end(), second.begin(), second.end());
        ZREncrypt e;
        ByteString expect, expanded, chain(iv), a1, a2;
        ASSERT_EQ(e.EncryptData(a.code, a.mode, key, iv, bs(whole), expect, 2), 0);
        ASSERT_EQ(e.GenerateKey(a.code, key, expanded), 0);
        ASSERT_EQ(e.EncryptData_NoGenKey(a.code, a.mode, expanded, chain, first.data(), 64, a1, 0), 0);
        ASSERT_EQ(e.EncryptData_NoGenKey(a.code, a.mode, expanded, chain, second.data(), 37, a2, 2), 0);
        a1.append(a2);
        EXPECT_EQ(vec(a1), vec(expect));
    }
}

TEST(ZREncryptTest, StreamingUpdateNeedsAnOutput) {
    ZREncrypt s;
    const ByteString key(Bytes(8, 1).data(), 8), iv(Bytes(8, 2).data(), 8);
    ASSERT_EQ(s.EncryptData_Init(ALG_DES, MODE_CBC, key, iv), 0);
    const Bytes big(2048, 7);
    EXPECT_EQ(s.EncryptData_Update(big.data(), 2048, nullptr), 2);
    expectRecord(s, "zr_encrypt.cpp", "EncryptData_Update", "pOutput", 2, "pOutput is NULL");
    ZREncrypt bad;
    ASSERT_EQ(bad.EncryptData_Init(ALG_DES, MODE_CBC, ByteString("short"), iv), 0);
    ByteString out;
    EXPECT_EQ(bad.EncryptData_Update(big.data(), 10, &out), 1);
    EXPECT_EQ(bad.EncryptData_Final(&out, 2), 2);
}

}  // namespace
}  // namespace qelt::test
