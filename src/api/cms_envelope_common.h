// Helpers shared by the EnvelopedData and EncryptedData functions: the
// session-key slot of the context.
#pragma once

#include "api/api_call.h"

namespace qelt::cms {

// Stores algorithm, mode, key and IV as the context's current symmetric key,
// the slot QELT_CRYPT_Encrypt and QELT_CRYPT_Decrypt work with.
int storeSessionKey(ApiCall& call, int nAlg, int nMode, const ByteString& key, const ByteString& iv);

}  // namespace qelt::cms
