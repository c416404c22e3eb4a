// The random-number attribute of a PrivateKeyInfo: an Attribute of type
// "1 2 410 200004 10 1 1 3" whose single value is a BIT STRING holding the
// random value that identity verification binds to the certificate. It lives
// inside the PrivateKeyInfo, so the key's password protection covers it.
//
// These are the storage-side operations of the private-key class; records
// carry the class name "PPrivateKey".
#pragma once

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class PPrivateKeyRandom : public ErrorHolder {
public:
    static constexpr int kNoRandomNumber = 4096;     // the key has no random-number attribute
    static constexpr int kNotPrivateKeyInfo = 4108;  // the input is not a PrivateKeyInfo

    // Extracts the random value into `random` (the last such attribute wins).
    // With `keep` false, `privateKeyInfo` is rewritten without the attribute.
    [[nodiscard]] int getRandomNumber(ByteString& privateKeyInfo, ByteString& random, bool keep);
    // Replaces or adds the random-number attribute in `privateKeyInfo`.
    [[nodiscard]] int setRandomNumber(ByteString& privateKeyInfo, const ByteString& random);
};

}  // namespace qelt
