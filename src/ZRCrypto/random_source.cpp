#include "ZRCrypto/random_source.h"

#include <openssl/rand.h>

#include <climits>

namespace qelt {

// Stand-in for the library's own generator; keep every caller on this function
// so that switching the source is a change here only.
bool cryptoRandomBytes(uint8_t* out, size_t n) {
    while (n > 0) {
        const int chunk = n > INT_MAX ? INT_MAX : static_cast<int>(n);
        if (RAND_bytes(out, chunk) != 1) return false;
        out += chunk;
        n -= static_cast<size_t>(chunk);
    }
    return true;
}

}  // namespace qelt
