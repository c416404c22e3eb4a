// The key-usage check that every CMS maker applies to a certificate before it
// uses the key for signing or for encryption.
#pragma once

#include <string>

#include "api/api_call.h"

namespace qelt {
class PCertUtil;
}

namespace qelt::api {

enum class KeyUse { Signing, Encryption };

// 0 when the certificate may be used for `use` (a certificate without a
// keyUsage extension may be used for anything): signing needs
// digitalSignature, encryption keyEncipherment or keyAgreement. Otherwise the
// API code, with its CP949 message and the certificate object's chain (empty
// when the refusal is not the object's) — for callers that compose their own
// message around it.
int cmsKeyUsageProblem(const ByteString& cert, KeyUse use, std::string& message, ByteString& detail);

// The same check, recorded on `call`: 0 or the recorded code.
int checkCmsKeyUsage(ApiCall& call, const ByteString& cert, KeyUse use);
// The same with the certificate decoded once by the caller: `util` has parsed
// it (or failed to, which is reported as above). Its certificate() record can
// then serve the rest of the call.
int checkCmsKeyUsage(ApiCall& call, PCertUtil& util, int parseResult, KeyUse use);

}  // namespace qelt::api
