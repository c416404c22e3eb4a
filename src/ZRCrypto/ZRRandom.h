// ZRRandom: the crypto layer's face of the engine's random generator.
#pragma once

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class ZRRandom : public ErrorHolder {
public:
    // nLen random bytes from the generator selected by algorithm code nAlg
    // (12 or 13) into `out`. Returns 0, or 1 (unmapped code), 2 (engine
    // failure) or 3 (no memory) with a location record in the error chain.
    // nLen < 1 succeeds with `out` empty.
    [[nodiscard]] int GenerateRandom(int nAlg, int nLen, ByteString& out);
};

}  // namespace qelt
