// The engine's random generator: one process-wide entropy pool, the
// random-bits operation drawn from it, and the FIPS 186-2 general-purpose
// output generator (b = 160, G built from the SHA-1 compression function)
// selected by engine identifier 3420.
//
// Every random byte of the library comes from here. The pool is guarded by one
// process-local mutex, taken by each stir and each draw and released before
// they return; the output generator holds no lock between its draws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelt {

// Engine generate call. `algId` must be the generator's engine identifier
// (anything else: ZCAP_INVALID_ALGORITHM); `out` may be null only when len is 0.
// A seed, when given, is stirred into the pool before generating (the library
// itself passes none). Returns a ZCAP_* code.
int ZCAP_GenerateRandom(int algId, uint8_t* out, size_t len, const uint8_t* seed = nullptr, size_t seedLen = 0);

// n random bytes from the library's generator: the simple internal call for
// code that just needs randomness (session keys, IVs, salts, nonces). Returns
// ZCAP_OK, ZCAP_INVALID_DATA_POINTER for a null `out` with n > 0, or
// ZCAP_MEMORY_ERROR when no SHA-1 context could be had.
int zcapRandomBytes(uint8_t* out, size_t n);

namespace rng_detail {

constexpr size_t kPoolSize = 1023;
constexpr size_t kSha1Len = 20;

// The bare SHA-1 compression function: one 64-byte block into the five state words.
void sha1Compress(uint32_t state[5], const uint8_t block[64]);

// G of the generator: SHA-1 compression from the standard initial value over
// XVAL followed by 44 zero bytes; the five state words big-endian.
void fips186G(const uint8_t xval[kSha1Len], uint8_t out[kSha1Len]);

// The output generator with its inputs supplied: `xkey` is the starting key
// (updated in place), `nextSeed` fills each block's XSEED and returns false
// when it cannot. Writes len bytes; false when a seed could not be had.
using SeedSource = bool (*)(uint8_t xseed[kSha1Len], void* arg);
bool fips186Generate(uint8_t xkey[kSha1Len], SeedSource nextSeed, void* arg, uint8_t* out, size_t len);

// Random bits: a number of `bits` bits drawn from the pool, written big-endian
// into ceil(bits/8) bytes. top = 1 sets the two highest bits, top = 0 only the
// highest; bottom = 1 makes it odd. False only when SHA-1 is unavailable.
bool randomBits(int bits, int top, int bottom, uint8_t* out);

// Stir and draw on the process-wide pool (each takes the lock itself). The
// draw mixes the current bytes of `out` in, so `out` must be initialised.
bool poolStir(const uint8_t* data, size_t len);
bool poolDraw(uint8_t* out, size_t len);

// A copy of the pool's bookkeeping, for tests.
struct PoolSnapshot {
    size_t position;
    size_t fill;
    bool seeded;
};
PoolSnapshot poolSnapshot();

}  // namespace rng_detail
}  // namespace qelt
