// Helpers shared by the EnvelopedData and EncryptedData functions: the
// session-key slot of the context and the encryption key-usage check of a
// recipient certificate.
#pragma once

#include <string>

#include "api/api_call.h"

namespace qelt::cms {

// Stores algorithm, mode, key and IV as the context's current symmetric key,
// the slot QELT_CRYPT_Encrypt and QELT_CRYPT_Decrypt work with.
int storeSessionKey(ApiCall& call, int nAlg, int nMode, const ByteString& key, const ByteString& iv);

// The encryption key-usage check of a recipient certificate: keyEncipherment
// or keyAgreement must be set when the certificate has a keyUsage extension.
// 0, or the API code with `message` (CP949) and `detail` (the object's chain).
int checkEncryptionCert(const ByteString& cert, std::string& message, ByteString& detail);

}  // namespace qelt::cms
