// The API context: one heap record per caller, created by QELT_API_Init and
// destroyed by QELT_API_Finish. It holds the working directory, the last error,
// the caller's settings and the state that several calls of one family share.
// The record is zero-filled with calloc and its texts are malloc'ed, because it
// is the very object handed across the C interface as the caller's handle.
#pragma once

#include <cstdint>

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class PCertUtil;

struct ApiContext {
    char* pszWorkDir;
    char* pszErrMsg;
    int nErrCode;
    int nSymAlg;   // algorithm code of the session key
    int nSymMode;  // mode code of the session key
    unsigned int nOption;
    int nIVSTimeOut;
    int nSlotID;
    ErrorHolder* pCryptoki;    // PKCS#11 module object, replaced by the next slot listing
    PCertUtil* pLoadedCert;    // certificate object of QELT_CERT_Load
    void* hStorageLib;         // storage plug-in, unloaded only by its own Unload call
    ErrorHolder* pSignedData;  // SignedData under construction between the two signing steps
    ByteString* pTrustedCerts;
    ByteString* pSessionKey;
    ByteString* pSessionIv;
    ByteString* pMsgImprint;
    ByteString* pPolicy;
    ByteString* pNonce;
    ByteString* pSignerInfos;
    ByteString* pRecInfos;
    int nVerifyType;
    int nVerifyCheck;
    int64_t tVerifyTime;  // 0 = the current time
    char* pszOCSPURL;
    uint8_t bUseCache;
    char* pszConfFilePath;
    ByteString* pCaPubs;
    int nTSATimeOut;
    int nLDAPTimeOut;
    int nHashAlg;  // algorithm code; 0 = follow the signer certificate
    uint8_t bInitialized;
};

// Option word groups.
inline constexpr unsigned int kOptRsaGroup = 0x0F;
inline constexpr unsigned int kOptPaddingGroup = 0xF0;
inline constexpr unsigned int kOptCmsGroup = 0xF00;
inline constexpr unsigned int kOptAddCaCerts = 0x400;
inline constexpr unsigned int kDefaultOption = 0x22;

// Returns the context behind a handle, or null when the handle is null or the
// context was disabled (its random generator failed its self-test).
inline ApiContext* usableContext(void* handle) {
    auto* ctx = static_cast<ApiContext*>(handle);
    return (ctx != nullptr && ctx->bInitialized != 0) ? ctx : nullptr;
}

// A heap copy of a text (malloc'ed, zero-filled first); null when allocation fails.
char* duplicateText(const char* text);
// Releases a heap text of the context and nulls the field.
void releaseText(char*& field);
// Destroys a ByteString field of the context, wiping it, and nulls the field.
void releaseBytes(ByteString*& field);
// The ByteString of a field, created on first use; null when allocation fails.
ByteString* ensureBytes(ByteString*& field);

}  // namespace qelt
