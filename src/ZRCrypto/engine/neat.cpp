#include "ZRCrypto/engine/neat.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <memory>

#include "util/byte_string.h"

namespace qelt {

namespace {

// AES S-box: the inverse in GF(2^8) mod x^8+x^4+x^3+x+1 followed by the affine map.
constexpr uint8_t aesMul(uint8_t a, uint8_t b) {
    unsigned r = 0, x = a;
    for (; b != 0; b >>= 1) {
        if (b & 1) r ^= x;
        x <<= 1;
        if (x & 0x100) x ^= 0x11B;
    }
    return static_cast<uint8_t>(r);
}
constexpr std::array<uint8_t, 256> makeAesSbox() {
    std::array<uint8_t, 256> s{};
    for (int x = 0; x < 256; ++x) {
        uint8_t inv = 0;
        for (int y = 1; y < 256 && x != 0; ++y)
            if (aesMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) inv = static_cast<uint8_t>(y);
        unsigned b = inv, r = 0x63;
        for (int i = 0; i < 5; ++i) r ^= ((b << i) | (b >> (8 - i))) & 0xFF;
        s[x] = static_cast<uint8_t>(r);
    }
    return s;
}
constexpr auto kAesSbox = makeAesSbox();

constexpr size_t kExpandedLen = 176;

void expandAes128(const uint8_t* key, uint8_t* w) {
    std::memcpy(w, key, 16);
    uint8_t rcon = 1;
    for (size_t i = 16; i < kExpandedLen; i += 4) {
        uint8_t t[4] = {w[i - 4], w[i - 3], w[i - 2], w[i - 1]};
        if (i % 16 == 0) {
            const uint8_t first = t[0];
            t[0] = static_cast<uint8_t>(kAesSbox[t[1]] ^ rcon);
            t[1] = kAesSbox[t[2]];
            t[2] = kAesSbox[t[3]];
            t[3] = kAesSbox[first];
            rcon = aesMul(rcon, 2);
        }
        for (int j = 0; j < 4; ++j) w[i + j] = w[i - 16 + j] ^ t[j];
    }
}

// A schedule is accepted only when it is the expansion of its own first round key.
bool validSchedule(const uint8_t* schedule) {
    if (schedule == nullptr) return false;
    uint8_t check[NEAT_SCHEDULE_LEN] = {};
    expandAes128(schedule, check);
    const bool same = std::memcmp(check, schedule, NEAT_SCHEDULE_LEN) == 0;
    secureWipe(check, sizeof check);
    return same;
}

struct CtxDeleter {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct CipherDeleter {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};

const EVP_CIPHER* aes128Cbc() {
    static const std::unique_ptr<EVP_CIPHER, CipherDeleter> c(EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr));
    return c.get();
}

bool runCbc(const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t len, uint8_t* out, bool encrypt) {
    std::unique_ptr<EVP_CIPHER_CTX, CtxDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || aes128Cbc() == nullptr ||
        EVP_CipherInit_ex2(ctx.get(), aes128Cbc(), key, iv, encrypt ? 1 : 0, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return false;
    int written = 0;
    return len == 0 || (EVP_CipherUpdate(ctx.get(), out, &written, in, static_cast<int>(len)) == 1 &&
                        static_cast<size_t>(written) == len);
}

}  // namespace

void ZR_NeatKeySchedule(const uint8_t* key, uint8_t* schedule) {
    std::memset(schedule, 0, NEAT_SCHEDULE_LEN);
    expandAes128(key, schedule);
}

int ZR_EncryptNeatCBC(const uint8_t* schedule, const uint8_t* iv, int ivLen, const uint8_t* in, int inLen,
                      uint8_t* out, int* outLen, int padding) {
    if (!validSchedule(schedule)) return NEAT_NO_KEY_SCHEDULE;
    if (iv == nullptr || ivLen != static_cast<int>(NEAT_BLOCK_LEN)) return NEAT_BAD_IV;
    if (inLen < 0 || (in == nullptr && inLen != 0) || out == nullptr || outLen == nullptr || padding < 0 ||
        padding > 4)
        return NEAT_BAD_LENGTH;
    const size_t len = static_cast<size_t>(inLen);
    const size_t rest = len % NEAT_BLOCK_LEN;
    if (padding == 0 && rest != 0) return NEAT_BAD_LENGTH;
    const size_t whole = len - rest;
    const size_t total = padding == 0 ? len : whole + NEAT_BLOCK_LEN;
    if (*outLen < 0 || static_cast<size_t>(*outLen) < total) return NEAT_BAD_LENGTH;

    if (!runCbc(schedule, iv, in, whole, out, true)) return NEAT_BAD_LENGTH;
    if (padding != 0) {
        uint8_t last[NEAT_BLOCK_LEN];
        const size_t n = NEAT_BLOCK_LEN - rest;
        if (rest != 0) std::memcpy(last, in + whole, rest);
        const int value = padding == 1 ? 0 : padding == 2 ? static_cast<int>(n) : static_cast<int>(n - 1);
        std::memset(last + rest, value, n);
        const uint8_t* chain = whole != 0 ? out + whole - NEAT_BLOCK_LEN : iv;
        const bool ok = runCbc(schedule, chain, last, NEAT_BLOCK_LEN, out + whole, true);
        secureWipe(last, sizeof last);
        if (!ok) return NEAT_BAD_LENGTH;
    }
    *outLen = static_cast<int>(total);
    return NEAT_OK;
}

int ZR_DecryptNeatCBC(const uint8_t* schedule, const uint8_t* iv, int ivLen, const uint8_t* in, int inLen,
                      uint8_t* out, int* outLen, int padding) {
    if (!validSchedule(schedule)) return NEAT_NO_KEY_SCHEDULE;
    if (iv == nullptr || ivLen != static_cast<int>(NEAT_BLOCK_LEN)) return NEAT_BAD_IV;
    if (inLen < 0 || (in == nullptr && inLen != 0) || out == nullptr || outLen == nullptr || padding < 0 ||
        padding > 4)
        return NEAT_BAD_LENGTH;
    const size_t len = static_cast<size_t>(inLen);
    if (len % NEAT_BLOCK_LEN != 0 || (padding >= 2 && len == 0)) return NEAT_BAD_LENGTH;
    if (*outLen < 0 || static_cast<size_t>(*outLen) < len) return NEAT_BAD_LENGTH;
    if (!runCbc(schedule, iv, in, len, out, false)) return NEAT_BAD_LENGTH;
    size_t keep = len;
    if (padding >= 2) {
        const size_t value = out[len - 1];
        const size_t count = padding == 2 ? value : value + 1;
        unsigned diff = (padding == 2 && value == 0) || count > NEAT_BLOCK_LEN ? 1u : 0u;
        for (size_t i = 1; i <= NEAT_BLOCK_LEN; ++i)
            diff |= (out[len - i] ^ static_cast<unsigned>(value)) & (i <= count ? 0xFFu : 0u);
        if (diff != 0) {
            secureWipe(out, len);
            return NEAT_BAD_LENGTH;
        }
        keep = len - count;
    }
    *outLen = static_cast<int>(keep);
    return NEAT_OK;
}

}  // namespace qelt
