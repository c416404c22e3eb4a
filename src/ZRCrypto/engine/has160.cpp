#include "ZRCrypto/engine/has160.h"

namespace qelt {

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t load32le(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline uint32_t f1(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t f2(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t f3(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

// One step: the rotation of A varies per step within a round, that of B per round.
#define HAS160_STEP(F, A, B, C, D, E, X, K, S1, S2) \
    do {                                            \
        E += rotl(A, S1) + F(B, C, D) + (X) + (K);  \
        B = rotl(B, S2);                            \
    } while (0)

// Twenty steps of one round over the message words in the round's order
// (X16..X19 are the round's extra words); the registers rotate by renaming.
#define HAS160_ROUND(F, K, S2, w)                                         \
    HAS160_STEP(F, a, b, c, d, e, x[w[0]], K, 5, S2);                     \
    HAS160_STEP(F, e, a, b, c, d, x[w[1]], K, 11, S2);                    \
    HAS160_STEP(F, d, e, a, b, c, x[w[2]], K, 7, S2);                     \
    HAS160_STEP(F, c, d, e, a, b, x[w[3]], K, 15, S2);                    \
    HAS160_STEP(F, b, c, d, e, a, x[w[4]], K, 6, S2);                     \
    HAS160_STEP(F, a, b, c, d, e, x[w[5]], K, 13, S2);                    \
    HAS160_STEP(F, e, a, b, c, d, x[w[6]], K, 8, S2);                     \
    HAS160_STEP(F, d, e, a, b, c, x[w[7]], K, 14, S2);                    \
    HAS160_STEP(F, c, d, e, a, b, x[w[8]], K, 7, S2);                     \
    HAS160_STEP(F, b, c, d, e, a, x[w[9]], K, 12, S2);                    \
    HAS160_STEP(F, a, b, c, d, e, x[w[10]], K, 9, S2);                    \
    HAS160_STEP(F, e, a, b, c, d, x[w[11]], K, 11, S2);                   \
    HAS160_STEP(F, d, e, a, b, c, x[w[12]], K, 8, S2);                    \
    HAS160_STEP(F, c, d, e, a, b, x[w[13]], K, 15, S2);                   \
    HAS160_STEP(F, b, c, d, e, a, x[w[14]], K, 6, S2);                    \
    HAS160_STEP(F, a, b, c, d, e, x[w[15]], K, 12, S2);                   \
    HAS160_STEP(F, e, a, b, c, d, x[w[16]], K, 9, S2);                    \
    HAS160_STEP(F, d, e, a, b, c, x[w[17]], K, 14, S2);                   \
    HAS160_STEP(F, c, d, e, a, b, x[w[18]], K, 5, S2);                    \
    HAS160_STEP(F, b, c, d, e, a, x[w[19]], K, 13, S2)

// Message word order of each round; 16..19 are that round's extra words.
constexpr int kOrder1[20] = {18, 0, 1, 2, 3, 19, 4, 5, 6, 7, 16, 8, 9, 10, 11, 17, 12, 13, 14, 15};
constexpr int kOrder2[20] = {18, 3, 6, 9, 12, 19, 15, 2, 5, 8, 16, 11, 14, 1, 4, 17, 7, 10, 13, 0};
constexpr int kOrder3[20] = {18, 12, 5, 14, 7, 19, 0, 9, 2, 11, 16, 4, 13, 6, 15, 17, 8, 1, 10, 3};
constexpr int kOrder4[20] = {18, 7, 2, 13, 8, 19, 3, 14, 9, 4, 16, 15, 10, 5, 0, 17, 11, 6, 1, 12};

}  // namespace

void Has160Compression::reset() {
    m_h[0] = 0x67452301;
    m_h[1] = 0xEFCDAB89;
    m_h[2] = 0x98BADCFE;
    m_h[3] = 0x10325476;
    m_h[4] = 0xC3D2E1F0;
}

void Has160Compression::compress(const uint8_t* blocks, size_t n) {
    // The chaining value lives in locals across the blocks: the input bytes
    // may alias m_h as far as the compiler knows, so updating m_h itself
    // would store and reload it between blocks, on the critical path.
    uint32_t h0 = m_h[0], h1 = m_h[1], h2 = m_h[2], h3 = m_h[3], h4 = m_h[4];
    uint32_t x[20];
    for (; n != 0; --n, blocks += 64) {
        for (int i = 0; i < 16; ++i) x[i] = load32le(blocks + 4 * i);
        uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;

        x[16] = x[0] ^ x[1] ^ x[2] ^ x[3];
        x[17] = x[4] ^ x[5] ^ x[6] ^ x[7];
        x[18] = x[8] ^ x[9] ^ x[10] ^ x[11];
        x[19] = x[12] ^ x[13] ^ x[14] ^ x[15];
        HAS160_ROUND(f1, 0x00000000u, 10, kOrder1);

        x[16] = x[3] ^ x[6] ^ x[9] ^ x[12];
        x[17] = x[15] ^ x[2] ^ x[5] ^ x[8];
        x[18] = x[11] ^ x[14] ^ x[1] ^ x[4];
        x[19] = x[7] ^ x[10] ^ x[13] ^ x[0];
        HAS160_ROUND(f2, 0x5A827999u, 17, kOrder2);

        x[16] = x[12] ^ x[5] ^ x[14] ^ x[7];
        x[17] = x[0] ^ x[9] ^ x[2] ^ x[11];
        x[18] = x[4] ^ x[13] ^ x[6] ^ x[15];
        x[19] = x[8] ^ x[1] ^ x[10] ^ x[3];
        HAS160_ROUND(f3, 0x6ED9EBA1u, 25, kOrder3);

        x[16] = x[7] ^ x[2] ^ x[13] ^ x[8];
        x[17] = x[3] ^ x[14] ^ x[9] ^ x[4];
        x[18] = x[15] ^ x[10] ^ x[5] ^ x[0];
        x[19] = x[11] ^ x[6] ^ x[1] ^ x[12];
        HAS160_ROUND(f2, 0x8F1BBCDCu, 30, kOrder4);

        h0 += a;
        h1 += b;
        h2 += c;
        h3 += d;
        h4 += e;
    }
    m_h[0] = h0;
    m_h[1] = h1;
    m_h[2] = h2;
    m_h[3] = h3;
    m_h[4] = h4;
    secureWipe(x, sizeof x);
}

void Has160Compression::writeDigest(uint8_t* out) const {
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<uint8_t>(m_h[i] >> (8 * j));
}

void Has160Compression::wipe() { secureWipe(m_h, sizeof m_h); }

}  // namespace qelt
