#include "ZRCrypto/engine/block_ciphers.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "util/byte_string.h"

namespace qelt {

namespace {

inline uint32_t rotl32(uint32_t x, int n) { return (x << n) | (x >> ((32 - n) & 31)); }
inline uint32_t rotr32(uint32_t x, int n) { return (x >> n) | (x << ((32 - n) & 31)); }
inline uint32_t load32be(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           static_cast<uint32_t>(p[3]);
}
inline void store32be(uint32_t v, uint8_t* p) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// ------------------------------------------------------------------ DES tables (FIPS 46-3)

constexpr uint8_t kDesSbox[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8, 14, 6,  11, 3,  4, 9, 7, 2,  13, 12, 0, 5, 10, 3,  13, 4,  7, 15, 2,  8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0,  14, 7, 11, 10, 4,  13, 1, 5, 8, 12, 6,  9,  3, 2, 15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0, 8, 13, 3,  12, 9, 7, 5, 10, 6, 1, 13, 0,  11, 7, 4, 9, 1,  10, 14, 3, 5, 12, 2,  15, 8, 6,
     1, 4,  11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5,  9, 2, 6,  11, 13, 8, 1, 4, 10, 7,  9,  5, 0, 15, 14, 2,  3, 12},
    {13, 2,  8, 4, 6, 15, 11, 1, 10, 9, 3,  14, 5,  0, 12, 7, 1, 15, 13, 8, 10, 3,  7, 4,  12, 5,  6, 11, 0, 14, 9, 2,
     7,  11, 4, 1, 9, 12, 14, 2, 0,  6, 10, 13, 15, 3, 5,  8, 2, 1,  14, 7, 4,  10, 8, 13, 15, 12, 9, 0,  3, 5,  6, 11},
};
constexpr uint8_t kDesP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                               2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kDesPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                 35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                 46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kDesPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                 26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
// Total left rotation of C and D before each round's subkey is taken.
constexpr uint8_t kDesRotation[16] = {1, 2, 4, 6, 8, 10, 12, 14, 15, 17, 19, 21, 23, 25, 27, 28};

// SP[k][byte] = the S-box k output for the six low bits of the byte, run
// through P and rotated left by one bit as the halves are kept inside the
// rounds. The two high bits of the byte are ignored, so a round takes its
// eight indices as whole bytes of two key-mixed words without masking.
constexpr std::array<std::array<uint32_t, 256>, 8> makeDesSp() {
    std::array<std::array<uint32_t, 256>, 8> sp{};
    for (int k = 0; k < 8; ++k) {
        for (int byte = 0; byte < 256; ++byte) {
            const int idx = byte & 0x3F;
            const int row = ((idx >> 4) & 2) | (idx & 1);
            const int col = (idx >> 1) & 0xF;
            const uint32_t v = static_cast<uint32_t>(kDesSbox[k][row * 16 + col]) << (28 - 4 * k);
            uint32_t p = 0;
            for (int i = 0; i < 32; ++i)
                if ((v >> (32 - kDesP[i])) & 1) p |= 1u << (31 - i);
            sp[k][byte] = (p << 1) | (p >> 31);
        }
    }
    return sp;
}
constexpr auto kDesSp = makeDesSp();

// The subkey of a round is kept as two words of four bytes, each byte one
// six-bit group: word 0 holds groups 1, 3, 5, 7 and word 1 groups 2, 4, 6, 8
// (most significant byte first). kDesSubkeyBit[i] is where the key-state bit
// i (0..55, C then D, most significant first) lands in the pair taken as one
// 64-bit value, word 0 high; PC2 drops eight bits (no bit at all).
constexpr std::array<uint64_t, 56> makeDesSubkeyBits() {
    std::array<uint64_t, 56> bits{};
    for (int i = 0; i < 48; ++i) {
        const int group = i / 6;
        const int shift = (group % 2 == 0 ? 32 : 0) + 8 * (3 - group / 2) + (5 - i % 6);
        bits[kDesPc2[i] - 1] = uint64_t{1} << shift;
    }
    return bits;
}

// PC1 on the key taken as a big-endian 64-bit number, one table per nibble:
// each entry is the contribution to C (bits 55..28) and D (bits 27..0).
constexpr std::array<std::array<uint64_t, 16>, 16> makeDesPc1() {
    std::array<std::array<uint64_t, 16>, 16> t{};
    for (int n = 0; n < 16; ++n)
        for (int v = 0; v < 16; ++v)
            for (int b = 0; b < 4; ++b) {
                if (((v >> (3 - b)) & 1) == 0) continue;
                const int pos = 4 * n + b + 1;  // 1-based key bit, 1 = most significant
                for (int i = 0; i < 56; ++i)
                    if (kDesPc1[i] == pos) t[n][v] |= uint64_t{1} << (55 - i);
            }
    return t;
}
constexpr auto kDesPc1Nibble = makeDesPc1();

// PC2 on C and D, seven bits at a time. C only feeds groups 1-4, which sit in
// the high halves of the two subkey words, and D only groups 5-8 in the low
// halves, so one 32-bit entry carries both: for C the high half of word 0
// over the high half of word 1, for D the low halves likewise.
constexpr std::array<std::array<uint32_t, 128>, 8> makeDesPc2() {
    constexpr auto bits = makeDesSubkeyBits();
    std::array<std::array<uint32_t, 128>, 8> t{};
    for (int chunk = 0; chunk < 8; ++chunk)
        for (int v = 0; v < 128; ++v) {
            uint64_t m = 0;
            for (int b = 0; b < 7; ++b)
                if ((v >> (6 - b)) & 1) m |= bits[7 * chunk + b];
            const uint32_t w0 = static_cast<uint32_t>(m >> 32), w1 = static_cast<uint32_t>(m);
            t[chunk][v] = chunk < 4 ? (w0 & 0xFFFF0000u) | (w1 >> 16) : (w0 << 16) | (w1 & 0xFFFFu);
        }
    return t;
}
constexpr auto kDesPc2Chunk = makeDesPc2();

inline uint32_t rotl28(uint32_t x, int n) { return ((x << n) | (x >> (28 - n))) & 0x0FFFFFFFu; }

void desExpandKey(const uint8_t* key, uint32_t* keys) {
    uint64_t kcd[2] = {0, 0};  // the key as a number, then C and D; wiped below
    for (int i = 0; i < 8; ++i) kcd[0] = (kcd[0] << 8) | key[i];
    for (int n = 0; n < 16; ++n) kcd[1] |= kDesPc1Nibble[n][(kcd[0] >> (60 - 4 * n)) & 0xF];
    const uint32_t c0 = static_cast<uint32_t>(kcd[1] >> 28), d0 = static_cast<uint32_t>(kcd[1]) & 0x0FFFFFFFu;
    // Each round rotates the original halves by its total, so the rounds do
    // not wait on one another.
    for (int r = 0; r < 16; ++r) {
        const uint32_t c = rotl28(c0, kDesRotation[r]), d = rotl28(d0, kDesRotation[r]);
        const uint32_t hi = kDesPc2Chunk[0][c >> 21] | kDesPc2Chunk[1][(c >> 14) & 0x7F] |
                            kDesPc2Chunk[2][(c >> 7) & 0x7F] | kDesPc2Chunk[3][c & 0x7F];
        const uint32_t lo = kDesPc2Chunk[4][d >> 21] | kDesPc2Chunk[5][(d >> 14) & 0x7F] |
                            kDesPc2Chunk[6][(d >> 7) & 0x7F] | kDesPc2Chunk[7][d & 0x7F];
        keys[2 * r] = (hi & 0xFFFF0000u) | (lo >> 16);
        keys[2 * r + 1] = (hi << 16) | (lo & 0xFFFFu);
    }
    secureWipe(kcd, sizeof kcd);
}

// IP, leaving both halves rotated left by one bit as the rounds keep them.
inline void desIp(const uint8_t* in, uint32_t& left, uint32_t& right) {
    uint32_t l = load32be(in), r = load32be(in + 4), w;
    w = ((l >> 4) ^ r) & 0x0F0F0F0F, r ^= w, l ^= w << 4;
    w = ((l >> 16) ^ r) & 0x0000FFFF, r ^= w, l ^= w << 16;
    w = ((r >> 2) ^ l) & 0x33333333, l ^= w, r ^= w << 2;
    w = ((r >> 8) ^ l) & 0x00FF00FF, l ^= w, r ^= w << 8;
    r = rotl32(r, 1);
    w = (l ^ r) & 0xAAAAAAAA, l ^= w, r ^= w;
    l = rotl32(l, 1);
    left = l;
    right = r;
}

// The inverse of IP applied to (r, l): the rounds leave the halves unswapped.
// So desFp(x, y) == b exactly when desIp(b) gives (y, x), which lets CBC keep
// its chaining value in the permuted domain.
inline void desFp(uint32_t l, uint32_t r, uint8_t* out) {
    uint32_t w;
    r = rotr32(r, 1);
    w = (l ^ r) & 0xAAAAAAAA, l ^= w, r ^= w;
    l = rotr32(l, 1);
    w = ((l >> 8) ^ r) & 0x00FF00FF, r ^= w, l ^= w << 8;
    w = ((l >> 2) ^ r) & 0x33333333, r ^= w, l ^= w << 2;
    w = ((r >> 16) ^ l) & 0x0000FFFF, l ^= w, r ^= w << 16;
    w = ((r >> 4) ^ l) & 0x0F0F0F0F, l ^= w, r ^= w << 4;
    store32be(r, out);
    store32be(l, out + 4);
}

// The round function's lookups: a and b are the two key-mixed words of E
// (groups 1, 3, 5, 7 and 2, 4, 6, 8), each byte an index into the SP tables.
// The eight outputs have disjoint bits, so |, + and ^ all join them.
// A lone block waits on every step, so it joins them as a tree with a
// different operator on each level, which keeps the compiler from
// re-chaining it; interleaved blocks are bound by throughput instead, and one
// running chain needs the fewest registers.
template <bool Tree>
inline uint32_t desSp(uint32_t a, uint32_t b) {
    if constexpr (Tree) {
        const uint32_t fa = (kDesSp[0][a >> 24] | kDesSp[2][(a >> 16) & 0xFF]) +
                            (kDesSp[4][(a >> 8) & 0xFF] | kDesSp[6][a & 0xFF]);
        const uint32_t fb = (kDesSp[1][b >> 24] | kDesSp[3][(b >> 16) & 0xFF]) +
                            (kDesSp[5][(b >> 8) & 0xFF] | kDesSp[7][b & 0xFF]);
        return fa ^ fb;
    } else {
        return kDesSp[0][a >> 24] ^ kDesSp[1][b >> 24] ^ kDesSp[2][(a >> 16) & 0xFF] ^ kDesSp[3][(b >> 16) & 0xFF] ^
               kDesSp[4][(a >> 8) & 0xFF] ^ kDesSp[5][(b >> 8) & 0xFF] ^ kDesSp[6][a & 0xFF] ^ kDesSp[7][b & 0xFF];
    }
}

template <bool Decrypt>
inline const uint32_t* desSubkey(const uint32_t* keys, int round) {
    return Decrypt ? keys + 30 - 2 * round : keys + 2 * round;
}

// Sixteen rounds on one block, arranged for latency. The next round's half
// is l ^ f, so its key-mixed words are prepared from l while f is still being
// looked up: rotr(l ^ f, 4) ^ k0 = (rotr(l, 4) ^ k0) ^ rotr(f, 4), and
// likewise without the rotation for the second word.
template <bool Decrypt>
inline void desRoundsOne(uint32_t& left, uint32_t& right, const uint32_t* keys) {
    uint32_t l = left, r = right;
    const uint32_t* k = desSubkey<Decrypt>(keys, 0);
    uint32_t a = rotr32(r, 4) ^ k[0], b = r ^ k[1];
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        const uint32_t f = desSp<true>(a, b);
        if (i < 15) {
            k = desSubkey<Decrypt>(keys, i + 1);
            a = (rotr32(l, 4) ^ k[0]) ^ rotr32(f, 4);
            b = (l ^ k[1]) ^ f;
        }
        const uint32_t t = l ^ f;  // the halves trade places each round, back in place after sixteen
        l = r;
        r = t;
    }
    left = l;
    right = r;
}

// Sixteen rounds on N blocks side by side, so that the lookups of the
// independent blocks overlap. Single DES writes the rounds out; 3DES keeps
// the loop over the round pairs, as its three stages of four blocks written
// out outgrow the instruction cache.
template <bool Decrypt, size_t N>
inline void desRoundPair(uint32_t* l, uint32_t* r, const uint32_t* keys, int i) {
    const uint32_t* ka = desSubkey<Decrypt>(keys, i);
    const uint32_t* kb = desSubkey<Decrypt>(keys, i + 1);
#pragma GCC unroll 4
    for (size_t j = 0; j < N; ++j) l[j] ^= desSp<false>(rotr32(r[j], 4) ^ ka[0], r[j] ^ ka[1]);
#pragma GCC unroll 4
    for (size_t j = 0; j < N; ++j) r[j] ^= desSp<false>(rotr32(l[j], 4) ^ kb[0], l[j] ^ kb[1]);
}

template <bool Decrypt, size_t N, bool Compact>
inline void desRounds(uint32_t* l, uint32_t* r, const uint32_t* keys) {
    if constexpr (N == 1) {
        desRoundsOne<Decrypt>(l[0], r[0], keys);
    } else if constexpr (Compact) {
#pragma GCC unroll 1
        for (int i = 0; i < 16; i += 2) desRoundPair<Decrypt, N>(l, r, keys, i);
    } else {
#pragma GCC unroll 8
        for (int i = 0; i < 16; i += 2) desRoundPair<Decrypt, N>(l, r, keys, i);
    }
}

// The block transforms in the permuted domain, for N blocks at once.
struct DesEncrypt {
    const uint32_t* keys;
    template <size_t N>
    void run(uint32_t* l, uint32_t* r) const {
        desRounds<false, N, false>(l, r, keys);
    }
};
struct DesDecrypt {
    const uint32_t* keys;
    template <size_t N>
    void run(uint32_t* l, uint32_t* r) const {
        desRounds<true, N, false>(l, r, keys);
    }
};
// EDE: the permutations between the stages cancel, only the halves swap.
struct TripleDesEncrypt {
    const uint32_t (*keys)[32];
    template <size_t N>
    void run(uint32_t* l, uint32_t* r) const {
        desRounds<false, N, true>(l, r, keys[0]);
        desRounds<true, N, true>(r, l, keys[1]);
        desRounds<false, N, true>(l, r, keys[2]);
    }
};
struct TripleDesDecrypt {
    const uint32_t (*keys)[32];
    template <size_t N>
    void run(uint32_t* l, uint32_t* r) const {
        desRounds<true, N, true>(l, r, keys[2]);
        desRounds<false, N, true>(r, l, keys[1]);
        desRounds<true, N, true>(l, r, keys[0]);
    }
};

constexpr size_t kDesLanes = 4;

template <class Transform>
void desBlock(const Transform& t, const uint8_t* in, uint8_t* out) {
    uint32_t l[1], r[1];
    desIp(in, l[0], r[0]);
    t.template run<1>(l, r);
    desFp(l[0], r[0], out);
}

template <class Transform>
void desEcb(const Transform& t, const uint8_t* in, uint8_t* out, size_t blocks) {
    for (; blocks >= kDesLanes; blocks -= kDesLanes, in += 8 * kDesLanes, out += 8 * kDesLanes) {
        uint32_t l[kDesLanes], r[kDesLanes];
        for (size_t j = 0; j < kDesLanes; ++j) desIp(in + 8 * j, l[j], r[j]);
        t.template run<kDesLanes>(l, r);
        for (size_t j = 0; j < kDesLanes; ++j) desFp(l[j], r[j], out + 8 * j);
    }
    for (; blocks > 0; --blocks, in += 8, out += 8) desBlock(t, in, out);
}

// CBC encryption is one block after another, so only the rounds stay on the
// chain: IP(p ^ c) = IP(p) ^ IP(c), and IP(c) of the previous ciphertext is
// the pair the rounds left, swapped. IP of the next plaintext and FP of the
// output run beside the rounds.
template <class Transform>
void desCbcEncrypt(const Transform& t, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) {
    if (blocks == 0) return;
    uint32_t l[1], r[1];
    desIp(iv, r[0], l[0]);
    for (; blocks > 0; --blocks, in += 8, out += 8) {
        uint32_t pl, pr;
        desIp(in, pl, pr);
        const uint32_t nl = pl ^ r[0], nr = pr ^ l[0];
        l[0] = nl;
        r[0] = nr;
        t.template run<1>(l, r);
        desFp(l[0], r[0], out);
    }
    desFp(l[0], r[0], iv);
}

// CBC decryption: four blocks through the rounds at a time; all four are read
// before any is written, so in may equal out. The chaining XOR is done on the
// permuted halves, just before FP.
template <class Transform>
void desCbcDecrypt(const Transform& t, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) {
    if (blocks == 0) return;
    uint32_t pl, pr;  // IP of the previous ciphertext block
    desIp(iv, pl, pr);
    for (; blocks >= kDesLanes; blocks -= kDesLanes, in += 8 * kDesLanes, out += 8 * kDesLanes) {
        uint32_t cl[kDesLanes], cr[kDesLanes], l[kDesLanes], r[kDesLanes];
        for (size_t j = 0; j < kDesLanes; ++j) {
            desIp(in + 8 * j, cl[j], cr[j]);
            l[j] = cl[j];
            r[j] = cr[j];
        }
        t.template run<kDesLanes>(l, r);
        desFp(l[0] ^ pr, r[0] ^ pl, out);
        for (size_t j = 1; j < kDesLanes; ++j) desFp(l[j] ^ cr[j - 1], r[j] ^ cl[j - 1], out + 8 * j);
        pl = cl[kDesLanes - 1];
        pr = cr[kDesLanes - 1];
    }
    for (; blocks > 0; --blocks, in += 8, out += 8) {
        uint32_t l[1], r[1];
        desIp(in, l[0], r[0]);
        const uint32_t cl = l[0], cr = r[0];
        t.template run<1>(l, r);
        desFp(l[0] ^ pr, r[0] ^ pl, out);
        pl = cl;
        pr = cr;
    }
    desFp(pr, pl, iv);
}

}  // namespace

void Des::setKey(const uint8_t* key) { desExpandKey(key, m_keys); }
void Des::loadSchedule(const uint8_t* bytes) { std::memcpy(m_keys, bytes, sizeof m_keys); }
void Des::saveSchedule(uint8_t* bytes) const { std::memcpy(bytes, m_keys, sizeof m_keys); }
Des::~Des() { secureWipe(m_keys, sizeof m_keys); }

void Des::encryptBlock(const uint8_t* in, uint8_t* out) const { desBlock(DesEncrypt{m_keys}, in, out); }
void Des::decryptBlock(const uint8_t* in, uint8_t* out) const { desBlock(DesDecrypt{m_keys}, in, out); }
void Des::encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
    desEcb(DesEncrypt{m_keys}, in, out, blocks);
}
void Des::decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
    desEcb(DesDecrypt{m_keys}, in, out, blocks);
}
void Des::cbcEncrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const {
    desCbcEncrypt(DesEncrypt{m_keys}, in, out, blocks, iv);
}
void Des::cbcDecrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const {
    desCbcDecrypt(DesDecrypt{m_keys}, in, out, blocks, iv);
}

void TripleDes::setKey(const uint8_t* key) {
    for (int i = 0; i < 3; ++i) desExpandKey(key + 8 * i, m_keys[i]);
}
void TripleDes::loadSchedule(const uint8_t* bytes) { std::memcpy(m_keys, bytes, sizeof m_keys); }
void TripleDes::saveSchedule(uint8_t* bytes) const { std::memcpy(bytes, m_keys, sizeof m_keys); }
TripleDes::~TripleDes() { secureWipe(m_keys, sizeof m_keys); }

void TripleDes::encryptBlock(const uint8_t* in, uint8_t* out) const { desBlock(TripleDesEncrypt{m_keys}, in, out); }
void TripleDes::decryptBlock(const uint8_t* in, uint8_t* out) const { desBlock(TripleDesDecrypt{m_keys}, in, out); }
void TripleDes::encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
    desEcb(TripleDesEncrypt{m_keys}, in, out, blocks);
}
void TripleDes::decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
    desEcb(TripleDesDecrypt{m_keys}, in, out, blocks);
}
void TripleDes::cbcEncrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const {
    desCbcEncrypt(TripleDesEncrypt{m_keys}, in, out, blocks, iv);
}
void TripleDes::cbcDecrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const {
    desCbcDecrypt(TripleDesDecrypt{m_keys}, in, out, blocks, iv);
}

// ------------------------------------------------------------------ SEED (RFC 4269)

namespace {

// GF(2^8) with x^8 + x^6 + x^5 + x + 1, in which the SEED S-boxes are defined:
// S1(x) = A1 * x^247 + 0xA9 and S2(x) = A2 * x^251 + 0x38, A1 and A2 being the
// standard's 8x8 bit matrices (given here by the images of the basis bits).
constexpr uint8_t gfMul(uint8_t a, uint8_t b) {
    unsigned r = 0, x = a;
    for (; b != 0; b >>= 1) {
        if (b & 1) r ^= x;
        x <<= 1;
        if (x & 0x100) x ^= 0x163;
    }
    return static_cast<uint8_t>(r);
}
constexpr uint8_t gfPow(uint8_t x, unsigned e) {
    uint8_t r = 1;
    for (; e != 0; e >>= 1) {
        if (e & 1) r = gfMul(r, x);
        x = gfMul(x, x);
    }
    return r;
}
constexpr uint8_t applyMatrix(const uint8_t (&columns)[8], uint8_t y) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if ((y >> i) & 1) r ^= columns[i];
    return r;
}
constexpr uint8_t kSeedA1[8] = {0x2C, 0xD0, 0x69, 0xC2, 0x41, 0x44, 0x58, 0xE2};
constexpr uint8_t kSeedA2[8] = {0xD0, 0x2A, 0xE1, 0x2C, 0x21, 0x30, 0xA2, 0x6C};

constexpr uint8_t seedS1(int x) {
    return static_cast<uint8_t>(applyMatrix(kSeedA1, gfPow(static_cast<uint8_t>(x), 247)) ^ 0xA9);
}
constexpr uint8_t seedS2(int x) {
    return static_cast<uint8_t>(applyMatrix(kSeedA2, gfPow(static_cast<uint8_t>(x), 251)) ^ 0x38);
}

// The G function's four byte lanes as tables: SS0..SS3 take bytes 0..3 of the
// input (byte 0 the least significant) through S1, S2, S1, S2 and the masks.
constexpr uint32_t kM0 = 0xFC, kM1 = 0xF3, kM2 = 0xCF, kM3 = 0x3F;
constexpr std::array<std::array<uint32_t, 256>, 4> makeSeedSs() {
    std::array<std::array<uint32_t, 256>, 4> ss{};
    for (int x = 0; x < 256; ++x) {
        const uint32_t a = seedS1(x), b = seedS2(x);
        ss[0][x] = (a & kM3) << 24 | (a & kM2) << 16 | (a & kM1) << 8 | (a & kM0);
        ss[1][x] = (b & kM0) << 24 | (b & kM3) << 16 | (b & kM2) << 8 | (b & kM1);
        ss[2][x] = (a & kM1) << 24 | (a & kM0) << 16 | (a & kM3) << 8 | (a & kM2);
        ss[3][x] = (b & kM2) << 24 | (b & kM1) << 16 | (b & kM0) << 8 | (b & kM3);
    }
    return ss;
}
constexpr auto kSeedSs = makeSeedSs();

inline uint32_t seedG(uint32_t x) {
    return kSeedSs[0][x & 0xFF] ^ kSeedSs[1][(x >> 8) & 0xFF] ^ kSeedSs[2][(x >> 16) & 0xFF] ^ kSeedSs[3][x >> 24];
}

inline void seedRound(uint32_t& l0, uint32_t& l1, uint32_t r0, uint32_t r1, const uint32_t* k) {
    uint32_t t0 = r0 ^ k[0], t1 = r1 ^ k[1];
    t1 ^= t0;
    t1 = seedG(t1);
    t0 += t1;
    t0 = seedG(t0);
    t1 += t0;
    t1 = seedG(t1);
    t0 += t1;
    l0 ^= t0;
    l1 ^= t1;
}

}  // namespace

void Seed::setKey(const uint8_t* key) {
    uint32_t a = load32be(key), b = load32be(key + 4), c = load32be(key + 8), d = load32be(key + 12);
    uint32_t kc = 0x9E3779B9;  // the golden-ratio constant, rotated left by one each round
    for (int i = 0; i < 16; ++i) {
        m_keys[2 * i] = seedG(a + c - kc);
        m_keys[2 * i + 1] = seedG(b - d + kc);
        kc = rotl32(kc, 1);
        if (i % 2 == 0) {
            const uint32_t t = a;
            a = (a >> 8) | (b << 24);
            b = (b >> 8) | (t << 24);
        } else {
            const uint32_t t = c;
            c = (c << 8) | (d >> 24);
            d = (d << 8) | (t >> 24);
        }
    }
    a = b = c = d = 0;
}
void Seed::loadSchedule(const uint8_t* bytes) { std::memcpy(m_keys, bytes, sizeof m_keys); }
void Seed::saveSchedule(uint8_t* bytes) const { std::memcpy(bytes, m_keys, sizeof m_keys); }
Seed::~Seed() { secureWipe(m_keys, sizeof m_keys); }

void Seed::encryptBlock(const uint8_t* in, uint8_t* out) const {
    uint32_t l0 = load32be(in), l1 = load32be(in + 4), r0 = load32be(in + 8), r1 = load32be(in + 12);
    for (int i = 0; i < 32; i += 4) {
        seedRound(l0, l1, r0, r1, m_keys + i);
        seedRound(r0, r1, l0, l1, m_keys + i + 2);
    }
    store32be(r0, out);
    store32be(r1, out + 4);
    store32be(l0, out + 8);
    store32be(l1, out + 12);
}

void Seed::decryptBlock(const uint8_t* in, uint8_t* out) const {
    uint32_t l0 = load32be(in), l1 = load32be(in + 4), r0 = load32be(in + 8), r1 = load32be(in + 12);
    for (int i = 30; i > 0; i -= 4) {
        seedRound(l0, l1, r0, r1, m_keys + i);
        seedRound(r0, r1, l0, l1, m_keys + i - 2);
    }
    store32be(r0, out);
    store32be(r1, out + 4);
    store32be(l0, out + 8);
    store32be(l1, out + 12);
}

namespace {

// Two blocks through the sixteen rounds side by side; keys step by `step`
// (+4 encrypting, -4 decrypting from the last round pair).
inline void seedTwo(const uint32_t* keys, int first, int step, const uint8_t* in, uint8_t* out) {
    uint32_t a0 = load32be(in), a1 = load32be(in + 4), a2 = load32be(in + 8), a3 = load32be(in + 12);
    uint32_t b0 = load32be(in + 16), b1 = load32be(in + 20), b2 = load32be(in + 24), b3 = load32be(in + 28);
    for (int r = 0, i = first; r < 8; ++r, i += step) {
        const uint32_t* k1 = keys + i;
        const uint32_t* k2 = keys + i + (step > 0 ? 2 : -2);
        seedRound(a0, a1, a2, a3, k1);
        seedRound(b0, b1, b2, b3, k1);
        seedRound(a2, a3, a0, a1, k2);
        seedRound(b2, b3, b0, b1, k2);
    }
    store32be(a2, out), store32be(a3, out + 4), store32be(a0, out + 8), store32be(a1, out + 12);
    store32be(b2, out + 16), store32be(b3, out + 20), store32be(b0, out + 24), store32be(b1, out + 28);
}

}  // namespace

void Seed::decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
    size_t i = 0;
    for (; i + 2 <= blocks; i += 2) seedTwo(m_keys, 30, -4, in + 16 * i, out + 16 * i);
    if (i < blocks) decryptBlock(in + 16 * i, out + 16 * i);
}

void Seed::encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const {
    size_t i = 0;
    for (; i + 2 <= blocks; i += 2) seedTwo(m_keys, 0, 4, in + 16 * i, out + 16 * i);
    if (i < blocks) encryptBlock(in + 16 * i, out + 16 * i);
}

// CBC encryption cannot overlap blocks, so its speed is the latency of the
// 48 G steps of a block. The rounds are rearranged so that a single XOR, not
// three, separates the last addition of one round from the G of the next:
// that G takes (r0 ^ k0) ^ (r1 ^ k1) where r0 = l0 ^ (t0 + t1) and
// r1 = l1 ^ t1, and everything but the addition is known one step earlier.
namespace {

void seedCbcEncryptPortable(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) {
    uint32_t kx[17];  // k0 ^ k1 of each round; the 17th closes the last round
    for (int i = 0; i < 16; ++i) kx[i] = keys[2 * i] ^ keys[2 * i + 1];
    kx[16] = 0;
    uint32_t c0 = load32be(iv), c1 = load32be(iv + 4), c2 = load32be(iv + 8), c3 = load32be(iv + 12);
    for (size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
        uint32_t l0 = load32be(in) ^ c0, l1 = load32be(in + 4) ^ c1, r0 = load32be(in + 8) ^ c2,
                 r1 = load32be(in + 12) ^ c3;
        uint32_t gin = r0 ^ r1 ^ kx[0];  // input of the round's first G
        for (int i = 0; i < 16; ++i) {
            uint32_t t1 = seedG(gin);
            uint32_t t0 = seedG(t1 + (r0 ^ keys[2 * i]));
            t1 = seedG(t0 + t1);
            const uint32_t ahead = t1 ^ l0 ^ l1 ^ kx[i + 1];
            t0 += t1;
            l0 ^= t0;
            l1 ^= t1;
            gin = t0 ^ ahead;
            std::swap(l0, r0);
            std::swap(l1, r1);
        }
        c0 = r0, c1 = r1, c2 = l0, c3 = l1;
        store32be(c0, out), store32be(c1, out + 4), store32be(c2, out + 8), store32be(c3, out + 12);
    }
    store32be(c0, iv), store32be(c1, iv + 4), store32be(c2, iv + 8), store32be(c3, iv + 12);
    secureWipe(kx, sizeof kx);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QELT_SEED_CBC_ASM 1

// SS0/SS1 and SS2/SS3 interleaved in pairs: the loads of bytes 0 and 1 (and
// of 2 and 3) then fall in different 4-byte banks of the L1 line, so fewer
// of G's four loads collide in the same cycle (about 2% on AMD Zen).
constexpr std::array<std::array<uint32_t, 2>, 512> makeSeedPairs() {
    std::array<std::array<uint32_t, 2>, 512> p{};
    for (int x = 0; x < 256; ++x) {
        p[x] = {kSeedSs[0][x], kSeedSs[1][x]};
        p[256 + x] = {kSeedSs[2][x], kSeedSs[3][x]};
    }
    return p;
}
alignas(64) constexpr auto kSeedPairs = makeSeedPairs();

// The same cipher written out for x86-64, one whole block (the chaining XOR,
// sixteen rounds, the output) in one assembly statement, as compilers neither
// schedule G this way nor keep the chaining value and the rounds' registers
// still (a spilled chaining value adds a store and a load to every block):
// every byte of G's input reaches its table load in one instruction (movzx of
// the low and of the high byte register, BEXTR, one shift), the four loads
// pair into two XORs with a memory operand, and one XOR joins the pairs. That
// is six cycles to the loaded words and eight to G's value; compiled code
// takes nine or ten (a shift and a movzx for byte 2, a serial XOR chain).
// BEXTR needs BMI1, checked at run time.
//
// G runs in place on a register whose second byte can be addressed ("Q":
// rax, rbx, rcx or rdx); b, the high-byte index, must avoid r8..r15 ("R").
// Thirteen registers in all, so that frame-pointer builds still have room:
// the output is addressed as the input plus a distance kept in memory.
#define QELT_SEED_G(x)                                 \
    "movzbl %b[" x "], %k[a]\n\t"                     \
    "movzbl %h[" x "], %k[b]\n\t"                     \
    "bextr %[byte2], %[" x "], %[c]\n\t"              \
    "shr $24, %k[" x "]\n\t"                          \
    "mov (%[ss],%[a],8), %k[a]\n\t"                   \
    "xor 4(%[ss],%[b],8), %k[a]\n\t"                  \
    "mov 2052(%[ss],%[" x "],8), %k[" x "]\n\t"       \
    "xor 2048(%[ss],%[c],8), %k[" x "]\n\t"           \
    "xor %k[a], %k[" x "]\n\t"
// One round. On entry X holds the input of the first G, (r0 ^ k0) ^ (r1 ^ k1);
// on exit Y holds that of the next round. Bytes off.. at kp hold the round's
// k0 and then k0 ^ k1 of the next round. X: t1 = G(gin); Y: t0 = G(t1 +
// (r0 ^ k0)); X: t1 = G(t0 + t1); c: the next round's key and halves ahead of
// time; then l1 ^= t1, t0 += t1, l0 ^= t0 and Y = t0 ^ t1 ^ c.
#define QELT_SEED_ROUND(off, X, Y, L0, L1, R0, R1) \
    QELT_SEED_G(X)                                 \
    "mov %k[" R0 "], %k[" Y "]\n\t"                \
    "xor " off "(%[kp]), %k[" Y "]\n\t"            \
    "add %k[" X "], %k[" Y "]\n\t"                 \
    QELT_SEED_G(Y)                                 \
    "add %k[" Y "], %k[" X "]\n\t"                 \
    QELT_SEED_G(X)                                 \
    "mov %k[" L0 "], %k[c]\n\t"                    \
    "xor %k[" L1 "], %k[c]\n\t"                    \
    "xor " off "+4(%[kp]), %k[c]\n\t"              \
    "xor %k[" X "], %k[c]\n\t"                     \
    "xor %k[" X "], %k[" L1 "]\n\t"                \
    "add %k[" X "], %k[" Y "]\n\t"                 \
    "xor %k[" Y "], %k[" L0 "]\n\t"                \
    "xor %k[c], %k[" Y "]\n\t"
// Two rounds: the halves trade places and so do X and Y.
#define QELT_SEED_TWO_ROUNDS(off1, off2)                       \
    QELT_SEED_ROUND(off1, "x", "y", "l0", "l1", "r0", "r1") \
    QELT_SEED_ROUND(off2, "y", "x", "r0", "r1", "l0", "l1")
// Between blocks (r0, r1, l0, l1) hold the last ciphertext block's words. The
// next block's halves are its words XORed with them, l taking r's place; the
// first G's input needs only the new r, which the previous block's last round
// did not change, so the next block starts before that round ends.
#define QELT_SEED_BLOCK_IN                                                                     \
    "mov (%[in]), %k[a]\n\t" "bswap %k[a]\n\t" "xor %k[r0], %k[a]\n\t"                       \
    "mov 8(%[in]), %k[r0]\n\t" "bswap %k[r0]\n\t" "xor %k[l0], %k[r0]\n\t" "mov %k[a], %k[l0]\n\t" \
    "mov 4(%[in]), %k[a]\n\t" "bswap %k[a]\n\t" "xor %k[r1], %k[a]\n\t"                      \
    "mov 12(%[in]), %k[r1]\n\t" "bswap %k[r1]\n\t" "xor %k[l1], %k[r1]\n\t" "mov %k[a], %k[l1]\n\t" \
    "mov %k[r0], %k[x]\n\t" "xor %k[r1], %k[x]\n\t" "xor 128(%[kp]), %k[x]\n\t"
#define QELT_SEED_BLOCK_OUT                                                          \
    "mov %[delta], %[b]\n\t"                                                        \
    "mov %k[r0], %k[a]\n\t" "bswap %k[a]\n\t" "mov %k[a], (%[in],%[b])\n\t"       \
    "mov %k[r1], %k[a]\n\t" "bswap %k[a]\n\t" "mov %k[a], 4(%[in],%[b])\n\t"      \
    "mov %k[l0], %k[a]\n\t" "bswap %k[a]\n\t" "mov %k[a], 8(%[in],%[b])\n\t"      \
    "mov %k[l1], %k[a]\n\t" "bswap %k[a]\n\t" "mov %k[a], 12(%[in],%[b])\n\t"

void seedCbcEncryptBmi(const uint32_t* keys, const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) {
    // Per round: k0, then k0 ^ k1 of the next round (zero after the last);
    // then k0 ^ k1 of the first round.
    uint32_t kk[33];
    for (int i = 0; i < 16; ++i) {
        kk[2 * i] = keys[2 * i];
        kk[2 * i + 1] = i < 15 ? keys[2 * i + 2] ^ keys[2 * i + 3] : 0;
    }
    kk[32] = keys[0] ^ keys[1];
    const uint32_t* ss = &kSeedPairs[0][0];
    const uint64_t byte2 = 0x0810;  // BEXTR control: 8 bits from bit 16
    const intptr_t delta = reinterpret_cast<intptr_t>(out) - reinterpret_cast<intptr_t>(in);
    uint64_t r0 = load32be(iv), r1 = load32be(iv + 4), l0 = load32be(iv + 8), l1 = load32be(iv + 12);
    for (size_t b = 0; b < blocks; ++b, in += 16) {
        uint64_t x, y, a, bb, cc;
        asm(QELT_SEED_BLOCK_IN QELT_SEED_TWO_ROUNDS("0", "8") QELT_SEED_TWO_ROUNDS("16", "24")
                QELT_SEED_TWO_ROUNDS("32", "40") QELT_SEED_TWO_ROUNDS("48", "56") QELT_SEED_TWO_ROUNDS("64", "72")
                    QELT_SEED_TWO_ROUNDS("80", "88") QELT_SEED_TWO_ROUNDS("96", "104")
                        QELT_SEED_TWO_ROUNDS("112", "120") QELT_SEED_BLOCK_OUT
            : [x] "=&Q"(x), [y] "=&Q"(y), [l0] "+&r"(l0), [l1] "+&r"(l1), [r0] "+&r"(r0), [r1] "+&r"(r1),
              [a] "=&r"(a), [b] "=&R"(bb), [c] "=&r"(cc)
            : [ss] "r"(ss), [byte2] "r"(byte2), [in] "r"(in), [kp] "r"(kk), [delta] "m"(delta)
            : "cc", "memory");
    }
    store32be(static_cast<uint32_t>(r0), iv), store32be(static_cast<uint32_t>(r1), iv + 4);
    store32be(static_cast<uint32_t>(l0), iv + 8), store32be(static_cast<uint32_t>(l1), iv + 12);
    secureWipe(kk, sizeof kk);
}
#undef QELT_SEED_BLOCK_OUT
#undef QELT_SEED_BLOCK_IN
#undef QELT_SEED_TWO_ROUNDS
#undef QELT_SEED_ROUND
#undef QELT_SEED_G

bool cpuHasBmi() {
    static const bool has = __builtin_cpu_supports("bmi");
    return has;
}
#endif

}  // namespace

void Seed::cbcEncrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const {
#ifdef QELT_SEED_CBC_ASM
    if (cpuHasBmi()) return seedCbcEncryptBmi(m_keys, in, out, blocks, iv);
#endif
    seedCbcEncryptPortable(m_keys, in, out, blocks, iv);
}

void Seed::cbcEncryptPortable(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const {
    seedCbcEncryptPortable(m_keys, in, out, blocks, iv);
}

// ------------------------------------------------------------------ RC2 (RFC 2268)

namespace {

// PITABLE: a permutation of 0..255 taken from the digits of pi.
constexpr uint8_t kRc2Pi[256] = {
    0xd9, 0x78, 0xf9, 0xc4, 0x19, 0xdd, 0xb5, 0xed, 0x28, 0xe9, 0xfd, 0x79, 0x4a, 0xa0, 0xd8, 0x9d, 0xc6, 0x7e, 0x37,
    0x83, 0x2b, 0x76, 0x53, 0x8e, 0x62, 0x4c, 0x64, 0x88, 0x44, 0x8b, 0xfb, 0xa2, 0x17, 0x9a, 0x59, 0xf5, 0x87, 0xb3,
    0x4f, 0x13, 0x61, 0x45, 0x6d, 0x8d, 0x09, 0x81, 0x7d, 0x32, 0xbd, 0x8f, 0x40, 0xeb, 0x86, 0xb7, 0x7b, 0x0b, 0xf0,
    0x95, 0x21, 0x22, 0x5c, 0x6b, 0x4e, 0x82, 0x54, 0xd6, 0x65, 0x93, 0xce, 0x60, 0xb2, 0x1c, 0x73, 0x56, 0xc0, 0x14,
    0xa7, 0x8c, 0xf1, 0xdc, 0x12, 0x75, 0xca, 0x1f, 0x3b, 0xbe, 0xe4, 0xd1, 0x42, 0x3d, 0xd4, 0x30, 0xa3, 0x3c, 0xb6,
    0x26, 0x6f, 0xbf, 0x0e, 0xda, 0x46, 0x69, 0x07, 0x57, 0x27, 0xf2, 0x1d, 0x9b, 0xbc, 0x94, 0x43, 0x03, 0xf8, 0x11,
    0xc7, 0xf6, 0x90, 0xef, 0x3e, 0xe7, 0x06, 0xc3, 0xd5, 0x2f, 0xc8, 0x66, 0x1e, 0xd7, 0x08, 0xe8, 0xea, 0xde, 0x80,
    0x52, 0xee, 0xf7, 0x84, 0xaa, 0x72, 0xac, 0x35, 0x4d, 0x6a, 0x2a, 0x96, 0x1a, 0xd2, 0x71, 0x5a, 0x15, 0x49, 0x74,
    0x4b, 0x9f, 0xd0, 0x5e, 0x04, 0x18, 0xa4, 0xec, 0xc2, 0xe0, 0x41, 0x6e, 0x0f, 0x51, 0xcb, 0xcc, 0x24, 0x91, 0xaf,
    0x50, 0xa1, 0xf4, 0x70, 0x39, 0x99, 0x7c, 0x3a, 0x85, 0x23, 0xb8, 0xb4, 0x7a, 0xfc, 0x02, 0x36, 0x5b, 0x25, 0x55,
    0x97, 0x31, 0x2d, 0x5d, 0xfa, 0x98, 0xe3, 0x8a, 0x92, 0xae, 0x05, 0xdf, 0x29, 0x10, 0x67, 0x6c, 0xba, 0xc9, 0xd3,
    0x00, 0xe6, 0xcf, 0xe1, 0x9e, 0xa8, 0x2c, 0x63, 0x16, 0x01, 0x3f, 0x58, 0xe2, 0x89, 0xa9, 0x0d, 0x38, 0x34, 0x1b,
    0xab, 0x33, 0xff, 0xb0, 0xbb, 0x48, 0x0c, 0x5f, 0xb9, 0xb1, 0xcd, 0x2e, 0xc5, 0xf3, 0xdb, 0x47, 0xe5, 0xa5, 0x9c,
    0x77, 0x0a, 0xa6, 0x20, 0x68, 0xfe, 0x7f, 0xc1, 0xad};

inline uint16_t rotl16(uint16_t x, int n) { return static_cast<uint16_t>((x << n) | (x >> (16 - n))); }
inline uint16_t rotr16(uint16_t x, int n) { return static_cast<uint16_t>((x >> n) | (x << (16 - n))); }

}  // namespace

void Rc2::setKey(const uint8_t* key, size_t keyLen, size_t effectiveBits) {
    uint8_t l[128];
    std::memcpy(l, key, keyLen);
    for (size_t i = keyLen; i < 128; ++i) l[i] = kRc2Pi[(l[i - 1] + l[i - keyLen]) & 0xFF];
    const size_t t8 = (effectiveBits + 7) / 8;
    const unsigned tm = 0xFFu >> (8 * t8 - effectiveBits);
    l[128 - t8] = kRc2Pi[l[128 - t8] & tm];
    for (size_t i = 128 - t8; i-- > 0;) l[i] = kRc2Pi[l[i + 1] ^ l[i + t8]];
    for (int i = 0; i < 64; ++i) m_k[i] = static_cast<uint16_t>(l[2 * i] | l[2 * i + 1] << 8);
    secureWipe(l, sizeof l);
}
void Rc2::loadSchedule(const uint8_t* bytes) { std::memcpy(m_k, bytes, sizeof m_k); }
void Rc2::saveSchedule(uint8_t* bytes) const { std::memcpy(bytes, m_k, sizeof m_k); }
Rc2::~Rc2() { secureWipe(m_k, sizeof m_k); }

namespace {

// The sixteen rounds written out on four named words, so that the compiler
// keeps them in registers: each mixing step waits only for the word updated
// just before it. (a & b) + (~a & c) is the bitwise choice c ^ (a & (b ^ c)).
struct Rc2Words {
    uint16_t r0, r1, r2, r3;
};

inline uint16_t rc2Choice(uint16_t sel, uint16_t ifSet, uint16_t ifClear) {
    return static_cast<uint16_t>(ifClear ^ (sel & (ifSet ^ ifClear)));
}

inline void rc2Mix(Rc2Words& w, const uint16_t*& k) {
    w.r0 = rotl16(static_cast<uint16_t>(w.r0 + k[0] + rc2Choice(w.r3, w.r2, w.r1)), 1);
    w.r1 = rotl16(static_cast<uint16_t>(w.r1 + k[1] + rc2Choice(w.r0, w.r3, w.r2)), 2);
    w.r2 = rotl16(static_cast<uint16_t>(w.r2 + k[2] + rc2Choice(w.r1, w.r0, w.r3)), 3);
    w.r3 = rotl16(static_cast<uint16_t>(w.r3 + k[3] + rc2Choice(w.r2, w.r1, w.r0)), 5);
    k += 4;
}

inline void rc2Mash(Rc2Words& w, const uint16_t* key) {
    w.r0 = static_cast<uint16_t>(w.r0 + key[w.r3 & 63]);
    w.r1 = static_cast<uint16_t>(w.r1 + key[w.r0 & 63]);
    w.r2 = static_cast<uint16_t>(w.r2 + key[w.r1 & 63]);
    w.r3 = static_cast<uint16_t>(w.r3 + key[w.r2 & 63]);
}

inline void rc2Unmix(Rc2Words& w, const uint16_t*& k) {
    w.r3 = static_cast<uint16_t>(rotr16(w.r3, 5) - k[0] - rc2Choice(w.r2, w.r1, w.r0));
    w.r2 = static_cast<uint16_t>(rotr16(w.r2, 3) - k[-1] - rc2Choice(w.r1, w.r0, w.r3));
    w.r1 = static_cast<uint16_t>(rotr16(w.r1, 2) - k[-2] - rc2Choice(w.r0, w.r3, w.r2));
    w.r0 = static_cast<uint16_t>(rotr16(w.r0, 1) - k[-3] - rc2Choice(w.r3, w.r2, w.r1));
    k -= 4;
}

inline void rc2Unmash(Rc2Words& w, const uint16_t* key) {
    w.r3 = static_cast<uint16_t>(w.r3 - key[w.r2 & 63]);
    w.r2 = static_cast<uint16_t>(w.r2 - key[w.r1 & 63]);
    w.r1 = static_cast<uint16_t>(w.r1 - key[w.r0 & 63]);
    w.r0 = static_cast<uint16_t>(w.r0 - key[w.r3 & 63]);
}

inline Rc2Words rc2Load(const uint8_t* in) {
    return {static_cast<uint16_t>(in[0] | in[1] << 8), static_cast<uint16_t>(in[2] | in[3] << 8),
            static_cast<uint16_t>(in[4] | in[5] << 8), static_cast<uint16_t>(in[6] | in[7] << 8)};
}

inline void rc2Store(const Rc2Words& w, uint8_t* out) {
    const uint16_t v[4] = {w.r0, w.r1, w.r2, w.r3};
    for (int i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<uint8_t>(v[i]);
        out[2 * i + 1] = static_cast<uint8_t>(v[i] >> 8);
    }
}

}  // namespace

// Five mixing rounds, a mashing round, six mixing, a mashing, five mixing.
void Rc2::encryptBlock(const uint8_t* in, uint8_t* out) const {
    Rc2Words w = rc2Load(in);
    const uint16_t* k = m_k;
    for (int i = 0; i < 5; ++i) rc2Mix(w, k);
    rc2Mash(w, m_k);
    for (int i = 0; i < 6; ++i) rc2Mix(w, k);
    rc2Mash(w, m_k);
    for (int i = 0; i < 5; ++i) rc2Mix(w, k);
    rc2Store(w, out);
}

void Rc2::decryptBlock(const uint8_t* in, uint8_t* out) const {
    Rc2Words w = rc2Load(in);
    const uint16_t* k = m_k + 63;
    for (int i = 0; i < 5; ++i) rc2Unmix(w, k);
    rc2Unmash(w, m_k);
    for (int i = 0; i < 6; ++i) rc2Unmix(w, k);
    rc2Unmash(w, m_k);
    for (int i = 0; i < 5; ++i) rc2Unmix(w, k);
    rc2Store(w, out);
}

// ------------------------------------------------------------------ RC4

void Rc4::setKey(const uint8_t* key, size_t keyLen) {
    for (int i = 0; i < 256; ++i) m_s[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + m_s[i] + key[static_cast<size_t>(i) % keyLen]);
        const uint8_t t = m_s[i];
        m_s[i] = m_s[j];
        m_s[j] = t;
    }
    m_i = m_j = 0;
}
void Rc4::loadSchedule(const uint8_t* bytes) {
    std::memcpy(m_s, bytes, 256);
    m_i = bytes[256];
    m_j = bytes[257];
}
void Rc4::saveSchedule(uint8_t* bytes) const {
    std::memcpy(bytes, m_s, 256);
    bytes[256] = m_i;
    bytes[257] = m_j;
}
Rc4::~Rc4() {
    secureWipe(m_s, sizeof m_s);
    m_i = m_j = 0;
}

void Rc4::process(const uint8_t* in, uint8_t* out, size_t len) {
    uint8_t i = m_i, j = m_j;
    for (size_t n = 0; n < len; ++n) {
        i = static_cast<uint8_t>(i + 1);
        const uint8_t si = m_s[i];
        j = static_cast<uint8_t>(j + si);
        const uint8_t sj = m_s[j];
        m_s[i] = sj;
        m_s[j] = si;
        out[n] = in[n] ^ m_s[static_cast<uint8_t>(si + sj)];
    }
    m_i = i;
    m_j = j;
}

}  // namespace qelt
