#include "ZRCrypto/engine/zcap_share.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "ZRCrypto/engine/zcap_random.h"
#include "ZRCrypto/engine/zcap_result.h"
#include "util/byte_string.h"

namespace qelt {

namespace {

struct Tables {
    std::array<uint8_t, 256> exp{};  // exp[i] = 2^i; exp[255] repeats exp[0]
    std::array<uint8_t, 256> log{};  // log[exp[i]] = i; log[0] unused
};

constexpr Tables makeTables() {
    Tables t;
    unsigned v = 1;
    for (int i = 0; i < 255; ++i) {
        t.exp[i] = static_cast<uint8_t>(v);
        t.log[v] = static_cast<uint8_t>(i);
        v <<= 1;
        if (v & 0x100) v ^= 0x11D;
    }
    t.exp[255] = t.exp[0];
    return t;
}

constexpr Tables kGf = makeTables();

// An odd point or coefficient in 1..127 from one random byte.
bool drawOddByte(uint8_t& out) {
    uint8_t r = 0;
    if (zcapRandomBytes(&r, 1) != ZCAP_OK) return false;
    out = static_cast<uint8_t>((r & 0x7E) | 1);
    return true;
}

// f(x) by Horner's rule; coef[0] is the secret byte.
uint8_t evaluate(const uint8_t* coef, int k, uint8_t x) {
    uint8_t y = 0;
    for (int i = k - 1; i >= 0; --i) y = static_cast<uint8_t>(gf256::mul(y, x) ^ coef[i]);
    return y;
}

}  // namespace

namespace gf256 {
uint8_t mul(uint8_t a, uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return kGf.exp[(kGf.log[a] + kGf.log[b]) % 255];
}
uint8_t div(uint8_t a, uint8_t b) {
    if (a == 0) return 0;
    return kGf.exp[(kGf.log[a] + 255 - kGf.log[b]) % 255];
}
}  // namespace gf256

int ZCAP_SecretShareEncode(const uint8_t* secret, size_t secretLen, int n, int k, uint8_t* out, size_t outCap) {
    if (secret == nullptr || out == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (secretLen == 0 || n < 1 || n > kMaxSecretShares || k < 1) return ZCAP_INVALID_DATA;
    const size_t shareLen = 2 * secretLen;
    if (outCap / static_cast<size_t>(n) < shareLen) return ZCAP_NOT_ENOUGH_BUFFER;

    ByteString coefficients;  // the polynomial of the current byte: secret material
    if (coefficients.allocZero(k) != ByteString::kOk) return ZCAP_MEMORY_ERROR;
    uint8_t* coef = coefficients.data();
    bool used[128];
    for (size_t j = 0; j < secretLen; ++j) {
        coef[0] = secret[j];
        for (int i = 1; i < k; ++i)
            if (!drawOddByte(coef[i])) return ZCAP_MEMORY_ERROR;
        std::fill(std::begin(used), std::end(used), false);
        for (int s = 0; s < n; ++s) {
            uint8_t x = 0;
            do {
                if (!drawOddByte(x)) return ZCAP_MEMORY_ERROR;
            } while (used[x]);
            used[x] = true;
            uint8_t* pair = out + static_cast<size_t>(s) * shareLen + 2 * j;
            pair[0] = x;
            pair[1] = evaluate(coef, k, x);
        }
    }
    secureWipe(coef, static_cast<size_t>(k));
    return ZCAP_OK;
}

int ZCAP_SecretShareDecode(const uint8_t* shares, size_t total, int m, uint8_t* out, size_t outCap, size_t* outLen) {
    if (shares == nullptr || out == nullptr || outLen == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (m < 1 || total % static_cast<size_t>(m) != 0) return ZCAP_INVALID_DATA;
    const size_t shareLen = total / static_cast<size_t>(m);
    const size_t secretLen = shareLen / 2;  // an odd last byte of each share has no partner and is ignored
    if (secretLen == 0) return ZCAP_INVALID_DATA;
    if (outCap < secretLen) return ZCAP_NOT_ENOUGH_BUFFER;

    for (size_t j = 0; j < secretLen; ++j) {
        // Lagrange interpolation at X = 0: sum of y_i * prod_{l != i} x_l / (x_l - x_i),
        // where subtraction in GF(2^8) is XOR.
        uint8_t secretByte = 0;
        for (int i = 0; i < m; ++i) {
            const uint8_t xi = shares[static_cast<size_t>(i) * shareLen + 2 * j];
            const uint8_t yi = shares[static_cast<size_t>(i) * shareLen + 2 * j + 1];
            if (xi == 0) {
                secureWipe(out, secretLen);
                return ZCAP_INVALID_DATA;
            }
            uint8_t num = 1, den = 1;
            for (int l = 0; l < m; ++l) {
                if (l == i) continue;
                const uint8_t xl = shares[static_cast<size_t>(l) * shareLen + 2 * j];
                if (xl == xi) {
                    secureWipe(out, secretLen);
                    return ZCAP_INVALID_DATA;
                }
                num = gf256::mul(num, xl);
                den = gf256::mul(den, static_cast<uint8_t>(xl ^ xi));
            }
            secretByte ^= gf256::mul(yi, gf256::div(num, den));
        }
        out[j] = secretByte;
    }
    *outLen = secretLen;
    return ZCAP_OK;
}

}  // namespace qelt
