// Shamir's threshold sharing applied byte by byte over GF(2^8)
// (reduction polynomial x^8 + x^4 + x^3 + x^2 + 1, generator 2).
//
// A share of an L-byte secret is 2L bytes: for each secret byte, the share's
// evaluation point x (odd, 1..127, distinct among the shares at that byte)
// followed by y = f(x). Shares carry no header: any k of them restore the
// secret, fewer give a wrong value without error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelt {

// Only 64 odd values lie in 1..127: no split can have more shares.
inline constexpr int kMaxSecretShares = 64;

namespace gf256 {
uint8_t mul(uint8_t a, uint8_t b);
uint8_t div(uint8_t a, uint8_t b);  // b must not be 0
}  // namespace gf256

// Splits secret[0..secretLen) into n shares of 2*secretLen bytes written one
// after another into out (capacity outCap), any k of which restore it.
// ZCAP_INVALID_DATA for n outside 1..64, k < 1, or an empty secret;
// ZCAP_INVALID_DATA_POINTER for null pointers; ZCAP_NOT_ENOUGH_BUFFER when
// out cannot hold n * 2 * secretLen bytes.
int ZCAP_SecretShareEncode(const uint8_t* secret, size_t secretLen, int n, int k, uint8_t* out, size_t outCap);

// Restores the secret from m shares concatenated in `shares` (total bytes);
// writes (total / m) / 2 bytes into out (capacity outCap) and their count to
// *outLen. ZCAP_INVALID_DATA when total is not a multiple of m, when a share
// is shorter than two bytes, or when a byte position holds a zero point or the
// same point twice (a damaged or repeated share: no split makes either).
int ZCAP_SecretShareDecode(const uint8_t* shares, size_t total, int m, uint8_t* out, size_t outCap, size_t* outLen);

}  // namespace qelt
