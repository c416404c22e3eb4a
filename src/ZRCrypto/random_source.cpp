#include "ZRCrypto/random_source.h"

#include "ZRCrypto/engine/zcap_random.h"
#include "ZRCrypto/engine/zcap_result.h"

namespace qelt {

// Every key and IV the crypto layer generates comes from the library's own
// generator (entropy pool and output generator), through this one function.
bool cryptoRandomBytes(uint8_t* out, size_t n) { return zcapRandomBytes(out, n) == ZCAP_OK; }

}  // namespace qelt
