// Where the cipher layer gets its random bytes (session keys and IVs, random
// padding). This is the one seam to the library's own random generator: until
// that generator is wired in here, the bytes come from OpenSSL's generator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelt {

// Fills out[0..n) with random bytes; false when the source failed.
[[nodiscard]] bool cryptoRandomBytes(uint8_t* out, size_t n);

}  // namespace qelt
