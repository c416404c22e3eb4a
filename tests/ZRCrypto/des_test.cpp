// DES and 3DES block methods against OpenSSL: every block count that crosses
// the four-block interleave, both directions, in place and not, the chaining
// value left behind, and the engine's staged calls fed in uneven pieces.
// The key schedule is checked against the FIPS worked example bit for bit.
#include <gtest/gtest.h>

#include <cstring>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/block_ciphers.h"
#include "crypto_test_util.h"

namespace qelt::test {
namespace {

// The sixteen subkeys of key 133457799BBCDFF1, as six-bit groups 1..8.
constexpr const char* kWorkedSubkeys[16] = {
    "000110 110000 001011 101111 111111 000111 000001 110010", "011110 011010 111011 011001 110110 111100 100111 100101",
    "010101 011111 110010 001010 010000 101100 111110 011001", "011100 101010 110111 010110 110110 110011 010100 011101",
    "011111 001110 110000 000111 111010 110101 001110 101000", "011000 111010 010100 111110 010100 000111 101100 101111",
    "111011 001000 010010 110111 111101 100001 100010 111100", "111101 111000 101000 111010 110000 010011 101111 111011",
    "111000 001101 101111 101011 111011 011110 011110 000001", "101100 011111 001101 000111 101110 100100 011001 001111",
    "001000 010101 111111 010011 110111 101101 001110 000110", "011101 010111 000111 110101 100101 000110 011111 101001",
    "100101 111100 010111 010001 111110 101011 101001 000001", "010111 110100 001110 110111 111100 101110 011100 111010",
    "101111 111001 000110 001101 001111 010011 111100 001010", "110010 110011 110110 001011 000011 100001 011111 110101",
};

TEST(DesKeySchedule, FipsWorkedExample) {
    const Bytes key = hexBytes("133457799BBCDFF1");
    Des des;
    des.setKey(key.data());
    uint32_t words[32];
    static_assert(sizeof words == Des::kScheduleSize);
    des.saveSchedule(reinterpret_cast<uint8_t*>(words));
    // Each round is two words of four bytes: groups 1, 3, 5, 7 then 2, 4, 6, 8,
    // six bits in each byte, the first group in the most significant byte.
    for (int r = 0; r < 16; ++r) {
        std::string groups;
        for (int g = 0; g < 8; ++g) {
            const uint32_t v = (words[2 * r + g % 2] >> (24 - 8 * (g / 2))) & 0xFF;
            ASSERT_LT(v, 64u) << "round " << r + 1 << " group " << g + 1;
            if (g != 0) groups += ' ';
            for (int b = 5; b >= 0; --b) groups += static_cast<char>('0' + ((v >> b) & 1));
        }
        EXPECT_EQ(groups, kWorkedSubkeys[r]) << "K" << r + 1;
    }
    const Bytes plain = hexBytes("0123456789ABCDEF");
    uint8_t out[8], back[8];
    des.encryptBlock(plain.data(), out);
    EXPECT_EQ(Bytes(out, out + 8), hexBytes("85E813540F0AB405"));
    des.decryptBlock(out, back);
    EXPECT_EQ(Bytes(back, back + 8), plain);

    // A schedule written out and read back is the same key.
    uint8_t saved[Des::kScheduleSize];
    des.saveSchedule(saved);
    Des loaded;
    loaded.loadSchedule(saved);
    loaded.encryptBlock(plain.data(), out);
    EXPECT_EQ(Bytes(out, out + 8), hexBytes("85E813540F0AB405"));
}

// Runs the class's ECB or CBC method on `in`, into a separate buffer or in
// place; for CBC iv is updated as the method leaves it.
template <class Cipher>
Bytes runBlocks(const Cipher& c, bool cbc, bool decrypt, bool inPlace, const Bytes& in, Bytes& iv) {
    Bytes buf = in, out(in.size());
    const uint8_t* src = buf.data();
    uint8_t* dst = inPlace ? buf.data() : out.data();
    const size_t blocks = in.size() / 8;
    if (cbc)
        decrypt ? c.cbcDecrypt(src, dst, blocks, iv.data()) : c.cbcEncrypt(src, dst, blocks, iv.data());
    else
        decrypt ? c.decryptBlocks(src, dst, blocks) : c.encryptBlocks(src, dst, blocks);
    if (!inPlace) EXPECT_EQ(buf, in) << "the input was modified";
    return inPlace ? buf : out;
}

struct Variant {
    const char* name;  // OpenSSL's name
    bool cbc;
    bool legacy;
};

template <class Cipher>
void compareBlockMethods(const Variant& v, std::mt19937& rng) {
    if (v.legacy && !loadLegacyProvider()) GTEST_SKIP() << "OpenSSL legacy provider not available";
    for (size_t blocks = 1; blocks <= 19; ++blocks) {
        const Bytes key = randomBytes(rng, Cipher::kKeySize), in = randomBytes(rng, 8 * blocks);
        const Bytes iv0 = v.cbc ? randomBytes(rng, 8) : Bytes();
        Cipher c;
        c.setKey(key.data());
        for (const bool decrypt : {false, true}) {
            const Reference ref = openssl(v.name, key, iv0, in, decrypt, false);
            ASSERT_TRUE(ref.ok) << v.name;
            for (const bool inPlace : {false, true}) {
                SCOPED_TRACE(std::string(v.name) + " blocks " + std::to_string(blocks) +
                             (decrypt ? " decrypt" : " encrypt") + (inPlace ? " in place" : ""));
                Bytes iv = v.cbc ? iv0 : Bytes(8);
                ASSERT_EQ(runBlocks(c, v.cbc, decrypt, inPlace, in, iv), ref.out);
                // The chaining value is the last ciphertext block either way.
                if (v.cbc) EXPECT_EQ(iv, Bytes((decrypt ? in : ref.out).end() - 8, (decrypt ? in : ref.out).end()));
            }
        }
        // The single-block calls agree with OpenSSL's ECB block by block.
        if (v.cbc) continue;
        const Reference ecb = openssl(v.name, key, {}, in, false, false);
        ASSERT_TRUE(ecb.ok);
        for (size_t b = 0; b < blocks; ++b) {
            uint8_t one[8];
            c.encryptBlock(in.data() + 8 * b, one);
            EXPECT_EQ(0, std::memcmp(one, ecb.out.data() + 8 * b, 8)) << "block " << b;
            c.decryptBlock(one, one);
            EXPECT_EQ(0, std::memcmp(one, in.data() + 8 * b, 8)) << "block " << b;
        }
    }
}

TEST(DesBlocks, EveryCountAgainstOpenssl) {
    std::mt19937 rng(3141);
    compareBlockMethods<Des>({"DES-ECB", false, true}, rng);
    compareBlockMethods<Des>({"DES-CBC", true, true}, rng);
    compareBlockMethods<TripleDes>({"DES-EDE3-ECB", false, false}, rng);
    compareBlockMethods<TripleDes>({"DES-EDE3-CBC", true, false}, rng);
}

// The engine's staged calls with the input cut at random points, so that
// staged partial blocks and runs of every length reach the block methods,
// PKCS padding on; the ciphertext must match OpenSSL and decrypt back the same
// way. Chaining carries across the calls.
Bytes staged(bool decrypt, int id, int mode, const Bytes& key, const Bytes& iv, const Bytes& in, std::mt19937& rng) {
    uint8_t expanded[GENKEY_MAX_LEN];
    int expandedLen = sizeof expanded;
    EXPECT_EQ(ZCAP_GenerateKey(expanded, &expandedLen, id, key.data(), static_cast<int>(key.size())), ZCAP_OK);
    ZcapContext ctx;
    const uint8_t* ivp = iv.empty() ? nullptr : iv.data();
    EXPECT_EQ(decrypt ? ZCAP_DecryptInit(&ctx, expanded, expandedLen, id, mode, ivp, static_cast<int>(iv.size()))
                      : ZCAP_EncryptInit(&ctx, expanded, expandedLen, id, mode, ivp, static_cast<int>(iv.size())),
              ZCAP_OK);
    Bytes out(in.size() + 16);
    size_t done = 0, pos = 0;
    while (pos < in.size()) {
        const size_t piece = std::min(in.size() - pos, static_cast<size_t>(rng() % 45));
        int len = static_cast<int>(out.size() - done);
        const int rc = decrypt ? ZCAP_DecryptUpdate(&ctx, out.data() + done, &len, in.data() + pos, static_cast<int>(piece))
                               : ZCAP_EncryptUpdate(&ctx, out.data() + done, &len, in.data() + pos, static_cast<int>(piece));
        EXPECT_EQ(rc, ZCAP_OK);
        done += static_cast<size_t>(len);
        pos += piece;
    }
    int len = static_cast<int>(out.size() - done);
    EXPECT_EQ(decrypt ? ZCAP_DecryptFinal(&ctx, out.data() + done, &len, ENGINE_PAD_PKCS)
                      : ZCAP_EncryptFinal(&ctx, out.data() + done, &len, ENGINE_PAD_PKCS),
              ZCAP_OK);
    out.resize(done + static_cast<size_t>(len));
    return out;
}

TEST(DesBlocks, StagedPiecesThroughTheEngine) {
    const struct {
        const char* name;
        int id;
        int mode;
        size_t keyLen;
        bool legacy;
    } cases[] = {{"DES-ECB", ENGINE_DES, ENGINE_MODE_ECB, 8, true},
                 {"DES-CBC", ENGINE_DES, ENGINE_MODE_CBC, 8, true},
                 {"DES-EDE3-ECB", ENGINE_3DES, ENGINE_MODE_ECB, 24, false},
                 {"DES-EDE3-CBC", ENGINE_3DES, ENGINE_MODE_CBC, 24, false}};
    const bool haveLegacy = loadLegacyProvider();
    std::mt19937 rng(2718);
    for (const auto& c : cases) {
        if (c.legacy && !haveLegacy) continue;
        for (int round = 0; round < 40; ++round) {
            const Bytes key = randomBytes(rng, c.keyLen), in = randomBytes(rng, rng() % 200);
            const Bytes iv = c.mode == ENGINE_MODE_CBC ? randomBytes(rng, 8) : Bytes();
            SCOPED_TRACE(std::string(c.name) + " length " + std::to_string(in.size()));
            const Reference ref = openssl(c.name, key, iv, in, false, true);
            ASSERT_TRUE(ref.ok);
            const Bytes ours = staged(false, c.id, c.mode, key, iv, in, rng);
            ASSERT_EQ(ours, ref.out);
            ASSERT_EQ(staged(true, c.id, c.mode, key, iv, ours, rng), in);
        }
    }
    if (!haveLegacy) GTEST_SKIP() << "single DES not compared: OpenSSL legacy provider not available";
}

}  // namespace
}  // namespace qelt::test
