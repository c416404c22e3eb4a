// Engine HMAC (RFC 2104) over MD5, SHA-1 and SHA-256, selected by the engine
// identifiers 31200, 31400 and 31500. OpenSSL computes; the engine keeps its
// own result codes and stage offsets: a failure while keying is reported as
// 1000 + code, while feeding the data as 2000 + code, while finishing as
// 3000 + code. A verification mismatch is ZCAP_VERIFY_FAIL (116) without stage.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelt {

// MAC length in bytes for an HMAC engine identifier, 0 for any other identifier.
size_t zcapMacLength(int id);

// Writes the MAC into out; *outLen holds the capacity on entry and the MAC
// length on return.
int ZCAP_GenerateMAC(const uint8_t* key, size_t keyLen, int id, uint8_t* out, size_t* outLen, const uint8_t* data,
                     size_t dataLen);

// Recomputes the MAC and compares it with `mac` in constant time.
int ZCAP_VerifyMAC(const uint8_t* key, size_t keyLen, int id, const uint8_t* mac, size_t macLen, const uint8_t* data,
                   size_t dataLen);

}  // namespace qelt
