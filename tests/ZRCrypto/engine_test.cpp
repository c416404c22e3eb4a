// Engine behaviour beyond the vectors: padding rules on both directions,
// staged calls in every split of the input, chaining write-back, and the
// result codes of every refusal.
#include <gtest/gtest.h>

#include <algorithm>

#include "ZRCrypto/algorithm_ids.h"
#include "crypto_test_util.h"

namespace qelt::test {
namespace {

const Bytes kDesKey = hexBytes("0123456789ABCDEF");
const Bytes kSeedKey = hexBytes("000102030405060708090A0B0C0D0E0F");

Bytes sequence(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + 1);
    return b;
}

TEST(EnginePadding, AddedBytesAndRemovalPerType) {
    struct {
        int padding;
        bool removed;
    } const types[] = {{ENGINE_PAD_ZERO, false}, {ENGINE_PAD_80, true},  {ENGINE_PAD_55, false},
                       {ENGINE_PAD_FF, false},   {ENGINE_PAD_PKCS, true}, {ENGINE_PAD_PKCS_ALT, true},
                       {ENGINE_PAD_N_MINUS_1, true}, {ENGINE_PAD_N_MINUS_1_ALT, true}};
    for (const auto& [id, key, bs] : {std::tuple{ENGINE_DES, kDesKey, size_t{8}}, std::tuple{ENGINE_SEED, kSeedKey, size_t{16}}}) {
        for (const auto& t : types) {
            for (size_t len = 0; len <= 2 * bs; ++len) {
                SCOPED_TRACE("id " + std::to_string(id) + " padding " + std::to_string(t.padding) + " len " + std::to_string(len));
                const Bytes in = sequence(len);
                Bytes iv(bs, 0x11), cipher, raw, plain;
                ASSERT_EQ(engineRun(false, id, ENGINE_MODE_CBC, key, iv, in, t.padding, cipher), 0);
                const size_t n = bs - len % bs;  // always at least one byte, a whole block when aligned
                ASSERT_EQ(cipher.size(), len + n);
                iv.assign(bs, 0x11);
                ASSERT_EQ(engineRun(true, id, ENGINE_MODE_CBC, key, iv, cipher, ENGINE_PAD_NONE, raw), 0);
                ASSERT_TRUE(std::equal(in.begin(), in.end(), raw.begin()));
                const Bytes tail(raw.begin() + static_cast<long>(len), raw.end());
                switch (t.padding) {
                    case ENGINE_PAD_ZERO: EXPECT_EQ(tail, Bytes(n, 0)); break;
                    case ENGINE_PAD_55: EXPECT_EQ(tail, Bytes(n, 0x55)); break;
                    case ENGINE_PAD_FF: EXPECT_EQ(tail, Bytes(n, 0xFF)); break;
                    case ENGINE_PAD_PKCS:
                    case ENGINE_PAD_PKCS_ALT: EXPECT_EQ(tail, Bytes(n, static_cast<uint8_t>(n))); break;
                    case ENGINE_PAD_N_MINUS_1:
                    case ENGINE_PAD_N_MINUS_1_ALT: EXPECT_EQ(tail, Bytes(n, static_cast<uint8_t>(n - 1))); break;
                    case ENGINE_PAD_80: {
                        Bytes expect(n, 0);
                        expect[0] = 0x80;
                        EXPECT_EQ(tail, expect);
                        break;
                    }
                }
                iv.assign(bs, 0x11);
                ASSERT_EQ(engineRun(true, id, ENGINE_MODE_CBC, key, iv, cipher, t.padding, plain), 0);
                EXPECT_EQ(plain, t.removed ? in : raw);
            }
        }
    }
}

// Encrypts `lastBlock` as the final plaintext block (no padding) and decrypts
// it with `padding`.
int decryptWithTail(const Bytes& lastBlock, int padding) {
    Bytes iv(8, 0), cipher, plain;
    EXPECT_EQ(engineRun(false, ENGINE_DES, ENGINE_MODE_CBC, kDesKey, iv, lastBlock, ENGINE_PAD_NONE, cipher), 0);
    iv.assign(8, 0);
    return engineRun(true, ENGINE_DES, ENGINE_MODE_CBC, kDesKey, iv, cipher, padding, plain);
}

TEST(EnginePadding, CorruptPaddingIsRefusedInFinal) {
    const int bad = zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_INVALID_ENCRYPTED_DATA);
    EXPECT_EQ(bad, 3114);
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445464700"), ENGINE_PAD_PKCS), bad);      // last byte 0
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445464709"), ENGINE_PAD_PKCS), bad);      // larger than the block
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445030203"), ENGINE_PAD_PKCS), bad);      // inconsistent bytes
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445030303"), ENGINE_PAD_PKCS_ALT), 0);
    EXPECT_EQ(decryptWithTail(hexBytes("0808080808080808"), ENGINE_PAD_PKCS), 0);        // a whole padding block
    EXPECT_EQ(decryptWithTail(hexBytes("0808080808080808"), ENGINE_PAD_N_MINUS_1), bad);  // n must stay below 8
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445020202"), ENGINE_PAD_N_MINUS_1), 0);
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445420202"), ENGINE_PAD_N_MINUS_1_ALT), bad);
    EXPECT_EQ(decryptWithTail(hexBytes("0000000000000000"), ENGINE_PAD_80), bad);         // no 0x80 marker
    EXPECT_EQ(decryptWithTail(hexBytes("4142434480000000"), ENGINE_PAD_80), 0);
    EXPECT_EQ(decryptWithTail(hexBytes("4142434481000000"), ENGINE_PAD_80), bad);
    EXPECT_EQ(decryptWithTail(hexBytes("4142434445464700"), ENGINE_PAD_ZERO), 0);        // never checked

    Bytes iv(8, 0), plain;  // truncated ciphertext and an empty one
    EXPECT_EQ(engineRun(true, ENGINE_DES, ENGINE_MODE_CBC, kDesKey, iv, Bytes(12, 1), ENGINE_PAD_PKCS, plain), bad);
    EXPECT_EQ(engineRun(true, ENGINE_DES, ENGINE_MODE_CBC, kDesKey, iv, Bytes(), ENGINE_PAD_PKCS, plain), bad);
    EXPECT_EQ(engineRun(true, ENGINE_DES, ENGINE_MODE_CBC, kDesKey, iv, Bytes(), ENGINE_PAD_NONE, plain), 0);
    EXPECT_TRUE(plain.empty());
    // Encryption without padding of a partial block is refused in final.
    EXPECT_EQ(engineRun(false, ENGINE_DES, ENGINE_MODE_CBC, kDesKey, iv, Bytes(7, 1), ENGINE_PAD_NONE, plain), 3101);
}

// Staged operation with the input cut at every point (and in three pieces) gives
// the one-shot bytes in both directions.
TEST(EngineStaged, EverySplitMatchesOneShot) {
    for (const auto& [id, key, bs] : {std::tuple{ENGINE_DES, kDesKey, 8}, std::tuple{ENGINE_SEED, kSeedKey, 16},
                                      std::tuple{ENGINE_ARIA128, kSeedKey, 16}}) {
        uint8_t expanded[GENKEY_MAX_LEN];
        int expandedLen = sizeof expanded;
        ASSERT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, id, key.data(), static_cast<int>(key.size())), 0);
        const Bytes in = sequence(53), iv0(static_cast<size_t>(bs), 0x5A);
        Bytes iv = iv0, oneShot, plainOneShot;
        ASSERT_EQ(engineRun(false, id, ENGINE_MODE_CBC, key, iv, in, ENGINE_PAD_PKCS, oneShot), 0);
        for (bool decrypt : {false, true}) {
            const Bytes& src = decrypt ? oneShot : in;
            const Bytes& expect = decrypt ? in : oneShot;
            for (size_t a = 0; a <= src.size(); ++a) {
                for (size_t b : {a, (a + src.size()) / 2, src.size()}) {
                    ZcapContext ctx;
                    ASSERT_EQ(decrypt ? ZCAP_DecryptInit(&ctx, expanded, expandedLen, id, ENGINE_MODE_CBC, iv0.data(), bs)
                                      : ZCAP_EncryptInit(&ctx, expanded, expandedLen, id, ENGINE_MODE_CBC, iv0.data(), bs),
                              0);
                    Bytes out(src.size() + 32);
                    size_t pos = 0;
                    for (auto [from, to] : {std::pair{size_t{0}, a}, std::pair{a, b}, std::pair{b, src.size()}}) {
                        int len = static_cast<int>(out.size() - pos);
                        ASSERT_EQ(decrypt ? ZCAP_DecryptUpdate(&ctx, out.data() + pos, &len, src.data() + from, static_cast<int>(to - from))
                                          : ZCAP_EncryptUpdate(&ctx, out.data() + pos, &len, src.data() + from, static_cast<int>(to - from)),
                                  0);
                        pos += static_cast<size_t>(len);
                    }
                    int len = static_cast<int>(out.size() - pos);
                    ASSERT_EQ(decrypt ? ZCAP_DecryptFinal(&ctx, out.data() + pos, &len, ENGINE_PAD_PKCS)
                                      : ZCAP_EncryptFinal(&ctx, out.data() + pos, &len, ENGINE_PAD_PKCS),
                              0);
                    out.resize(pos + static_cast<size_t>(len));
                    ASSERT_EQ(out, expect) << "id " << id << " split " << a << "/" << b << (decrypt ? " decrypt" : "");
                }
            }
        }
    }
}

// Callers decrypt in place (the file and CMS code do): out == in must give the
// same bytes as separate buffers, for every cipher and mode, over inputs long
// enough to cross the engine's internal runs of blocks.
TEST(EngineStaged, InPlaceMatchesSeparateBuffers) {
    std::mt19937 rng(11);
    for (int id : {ENGINE_DES, ENGINE_3DES, ENGINE_SEED, ENGINE_ARIA128, ENGINE_ARIA256, ENGINE_RC2_128,
                   ENGINE_AES128, ENGINE_RC4}) {
        size_t bs = 0, keyLen = 0, expandedLen = 0;
        ASSERT_TRUE(zcapCipherInfo(id, &bs, &keyLen, &expandedLen)) << id;
        const Bytes key = randomBytes(rng, keyLen == 0 ? 16 : keyLen);  // RC4 takes any length
        uint8_t expanded[GENKEY_MAX_LEN];
        int xLen = sizeof expanded;
        ASSERT_EQ(ZCAP_GenerateKey(expanded, &xLen, id, key.data(), static_cast<int>(key.size())), 0) << id;
        uint8_t work[GENKEY_MAX_LEN];
        int checked = 0;
        for (int mode : {ENGINE_MODE_ECB, ENGINE_MODE_CBC, ENGINE_MODE_CFB, ENGINE_MODE_OFB}) {
            const Bytes iv0 = randomBytes(rng, bs == 0 ? 8 : bs);
            for (size_t n : {bs == 0 ? size_t{8} : bs, size_t{1040}, size_t{4096}}) {
                const Bytes plain = randomBytes(rng, n);
                for (bool decrypt : {false, true}) {
                    Bytes separate(n + 64), inPlace(n + 64);
                    std::copy(plain.begin(), plain.end(), inPlace.begin());
                    Bytes ivA = iv0, ivB = iv0;
                    int lenA = static_cast<int>(separate.size()), lenB = lenA;
                    auto run = [&](uint8_t* out, int* outLen, const uint8_t* in, uint8_t* iv) {
                        // RC4 writes its advanced state back: each run starts from the fresh key
                        std::copy_n(expanded, xLen, work);
                        return decrypt ? ZCAP_DecryptData(work, xLen, id, mode, out, outLen, in, static_cast<int>(n),
                                                          iv, static_cast<int>(iv0.size()), ENGINE_PAD_NONE)
                                       : ZCAP_EncryptData(work, xLen, id, mode, out, outLen, in, static_cast<int>(n),
                                                          iv, static_cast<int>(iv0.size()), ENGINE_PAD_NONE);
                    };
                    const int rc = run(separate.data(), &lenA, plain.data(), ivA.data());
                    if (rc != 0) continue;  // a mode this cipher does not offer
                    ASSERT_EQ(run(inPlace.data(), &lenB, inPlace.data(), ivB.data()), 0);
                    ASSERT_EQ(lenA, lenB);
                    separate.resize(static_cast<size_t>(lenA));
                    inPlace.resize(static_cast<size_t>(lenB));
                    EXPECT_EQ(inPlace, separate) << "id " << id << " mode " << mode << " n " << n
                                                 << (decrypt ? " decrypt" : " encrypt");
                    EXPECT_EQ(ivB, ivA) << "id " << id << " mode " << mode;
                    ++checked;
                }
            }
        }
        EXPECT_GE(checked, 6) << "id " << id;
    }
}

TEST(EngineStaged, ChainingValueContinuesTheMessage) {
    const Bytes a = sequence(32), b = sequence(21);
    Bytes whole = a;
    whole.insert(whole.end(), b.begin(), b.end());
    for (int mode : {ENGINE_MODE_CBC, ENGINE_MODE_CFB, ENGINE_MODE_OFB}) {
        Bytes iv(8, 3), first, second, expect;
        ASSERT_EQ(engineRun(false, ENGINE_DES, mode, kDesKey, iv, whole, ENGINE_PAD_PKCS, expect), 0);
        iv.assign(8, 3);
        ASSERT_EQ(engineRun(false, ENGINE_DES, mode, kDesKey, iv, a, ENGINE_PAD_NONE, first), 0);
        ASSERT_EQ(engineRun(false, ENGINE_DES, mode, kDesKey, iv, b, ENGINE_PAD_PKCS, second), 0);
        first.insert(first.end(), second.begin(), second.end());
        EXPECT_EQ(first, expect) << "mode " << mode;
    }
}

TEST(EngineRefusals, HashResultCodes) {
    uint8_t out[64];
    int len = 19;
    EXPECT_EQ(ZCAP_DigestData(ENGINE_SHA1, out, &len, out, 3), 3103);
    len = 20;
    EXPECT_EQ(ZCAP_DigestData(ENGINE_SHA1, out, &len, out, 3), 0);
    EXPECT_EQ(len, 20);
    len = sizeof out;
    EXPECT_EQ(ZCAP_DigestData(1300, out, &len, out, 3), 1105);
    EXPECT_EQ(ZCAP_DigestData(ENGINE_RANDOM, out, &len, out, 3), 1105);
    EXPECT_EQ(ZCAP_DigestData(ENGINE_SHA256, out, &len, nullptr, 3), 2108);
    EXPECT_EQ(ZCAP_DigestData(ENGINE_SHA256, nullptr, &len, out, 3), 3108);
    // Signature and HMAC identifiers select their hash's descriptor.
    EXPECT_EQ(zcapHashDescriptor(121401)->id, ENGINE_SHA1);
    EXPECT_EQ(zcapHashDescriptor(141802)->id, ENGINE_HAS160);
    EXPECT_EQ(zcapHashDescriptor(13202)->id, ENGINE_SHA256);
    EXPECT_EQ(zcapHashDescriptor(31200)->id, ENGINE_MD5);
    EXPECT_EQ(zcapHashDescriptor(140000), nullptr);
    EXPECT_STREQ(ZCAP_GetResultText(3103), "Final stage; Output buffer is not enough.(3103)");
}

TEST(EngineRefusals, CipherResultCodes) {
    uint8_t expanded[GENKEY_MAX_LEN];
    int expandedLen = sizeof expanded;
    EXPECT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, 42001, kDesKey.data(), 8), ZCAP_INVALID_ALGORITHM);
    EXPECT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, ENGINE_DES, kDesKey.data(), 7), ZCAP_INVALID_KEY);
    EXPECT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, ENGINE_DES, nullptr, 8), ZCAP_INVALID_KEY_POINTER);
    expandedLen = 100;
    EXPECT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, ENGINE_DES, kDesKey.data(), 8), ZCAP_NOT_ENOUGH_BUFFER);
    expandedLen = sizeof expanded;
    ASSERT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, ENGINE_DES, kDesKey.data(), 8), 0);
    EXPECT_EQ(expandedLen, 128);

    const uint8_t iv[16] = {};
    ZcapContext ctx;
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, expanded, expandedLen, 12001, ENGINE_MODE_PUBLIC, iv, 8), ZCAP_INVALID_ALGORITHM);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, nullptr, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, iv, 8), ZCAP_INVALID_KEY_POINTER);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, kDesKey.data(), 8, ENGINE_DES, ENGINE_MODE_CBC, iv, 8), ZCAP_INVALID_KEY);  // raw key
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, expanded, expandedLen, ENGINE_DES, ENGINE_MODE_PUBLIC, iv, 8), ZCAP_INVALID_MODE);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, expanded, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, nullptr, 8), ZCAP_INVALID_INIT_VECTOR);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, expanded, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, iv, 7), ZCAP_INVALID_INIT_VECTOR);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, expanded, expandedLen, ENGINE_DES, ENGINE_MODE_ECB, nullptr, 0), 0);  // ECB needs none

    uint8_t tdes[GENKEY_MAX_LEN];
    int tdesLen = sizeof tdes;
    const Bytes key24 = sequence(24);
    ASSERT_EQ(ZCAP_GenerateKey(tdes, &tdesLen, ENGINE_3DES, key24.data(), 24), 0);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, tdes, tdesLen, ENGINE_3DES, ENGINE_MODE_OFB, iv, 8), ZCAP_INVALID_MODE);
    uint8_t aes[32];
    int aesLen = sizeof aes;
    ASSERT_EQ(ZCAP_GenerateKey(aes, &aesLen, ENGINE_AES128, kSeedKey.data(), 16), 0);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, aes, aesLen, ENGINE_AES128, ENGINE_MODE_CFB, iv, 16), ZCAP_INVALID_MODE);
    EXPECT_EQ(ZCAP_EncryptInit(&ctx, aes, aesLen, ENGINE_AES128, ENGINE_MODE_ECB, nullptr, 0), ZCAP_INVALID_INIT_VECTOR);

    ASSERT_EQ(ZCAP_EncryptInit(&ctx, expanded, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, iv, 8), 0);
    uint8_t in[32] = {}, out[64];
    int outLen = 15;
    EXPECT_EQ(ZCAP_EncryptUpdate(&ctx, out, &outLen, in, 16), ZCAP_NOT_ENOUGH_BUFFER);
    outLen = sizeof out;
    EXPECT_EQ(ZCAP_EncryptUpdate(&ctx, out, &outLen, nullptr, 16), ZCAP_INVALID_DATA_POINTER);
    EXPECT_EQ(ZCAP_EncryptUpdate(&ctx, nullptr, &outLen, in, 16), ZCAP_INVALID_DATA_POINTER);
    outLen = 7;
    EXPECT_EQ(ZCAP_EncryptFinal(&ctx, out, &outLen, ENGINE_PAD_PKCS), ZCAP_NOT_ENOUGH_BUFFER);

    // One-shot calls add the failing stage.
    outLen = sizeof out;
    EXPECT_EQ(ZCAP_EncryptData(expanded, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, out, &outLen, in, 8, nullptr, 0, 8), 1109);
    outLen = 8;
    EXPECT_EQ(ZCAP_EncryptData(expanded, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, out, &outLen, in, 16, nullptr, 8, 8), 1109);
    uint8_t ivCopy[8] = {};
    outLen = 8;
    EXPECT_EQ(ZCAP_EncryptData(expanded, expandedLen, ENGINE_DES, ENGINE_MODE_CBC, out, &outLen, in, 16, ivCopy, 8, 8), 2103);
}

TEST(EngineRefusals, DescriptorFacts) {
    size_t bs = 0, keyLen = 0, expanded = 0;
    ASSERT_TRUE(zcapCipherInfo(ENGINE_RC2_40, &bs, &keyLen, &expanded));
    EXPECT_EQ(keyLen, 5u);
    EXPECT_EQ(bs, 8u);
    ASSERT_TRUE(zcapCipherInfo(ENGINE_ARIA256, &bs, &keyLen, &expanded));
    EXPECT_EQ(keyLen, 32u);
    EXPECT_FALSE(zcapCipherInfo(ENGINE_NEAT, nullptr, nullptr, nullptr));  // the crypto layer's own path
    EXPECT_FALSE(zcapCipherInfo(42004, nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace qelt::test
