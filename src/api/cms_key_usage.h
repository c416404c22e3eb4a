// The key-usage check that every CMS maker applies to a certificate before it
// uses the key for signing or for encryption.
#pragma once

#include "api/api_call.h"

namespace qelt::api {

enum class KeyUse { Signing, Encryption };

// 0 when the certificate may be used for `use` (a certificate without a
// keyUsage extension may be used for anything); otherwise the API code,
// already recorded on `call`.
int checkCmsKeyUsage(ApiCall& call, const ByteString& cert, KeyUse use);

}  // namespace qelt::api
