// Password-based key derivation used by the private-key protection: PBKDF1
// (iterated hash of password and salt), PBKDF2 with HMAC-SHA-1 and the
// PKCS#12 derivation (SHA-1, 64-byte blocks). Every output and intermediate
// value lives in wiping byte strings.
#pragma once

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class PasswordKdf : public ErrorHolder {
public:
    // T = Hash(password || salt) hashed again until `iterations` hashes were
    // made in all (one hash for iterations <= 1). `out` gets the whole T.
    [[nodiscard]] int pbkdf1(int nHashAlg, const ByteString& password, const ByteString& salt, int iterations,
                             ByteString& out);
    // PBKDF2 with HMAC-SHA-1 keyed by the password; `len` bytes into `out`.
    [[nodiscard]] int pbkdf2Sha1(const ByteString& password, const ByteString& salt, int iterations, int len,
                                 ByteString& out);
    // The PKCS#12 derivation with SHA-1 over an already widened (UCS-2 style)
    // password: `len` bytes of purpose `id` (1 key, 2 IV, 3 MAC key).
    [[nodiscard]] int pkcs12Sha1(const ByteString& widePassword, const ByteString& salt, int id, int iterations,
                                 int len, ByteString& out);
};

// Widens a byte password to big-endian 16-bit units (a zero byte before every
// byte) followed by two zero bytes; an empty password stays empty.
ByteString widenPassword(const ByteString& password);

}  // namespace qelt
