// The QELT_API_ family: context lifecycle, settings and the small frame functions.
#include <cstdlib>
#include <cstring>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PCertUtil.h"
#include "api/api_call.h"
#include "storage/dynamic_module.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr const char* kLibraryName = "qeltapi_wc";
constexpr const char* kLibraryVersion = "V1.5.3.3";
constexpr int kInfoLimit = 1024;

// Each option group: the values tried in order, the first present one wins.
struct OptionGroup {
    unsigned int mask;
    unsigned int first;
    unsigned int second;
};
constexpr OptionGroup kOptionGroups[] = {
    {kOptRsaGroup, QELT_OPT_RSA_PKCS1, QELT_OPT_RSA_OAEP},
    {kOptPaddingGroup, QELT_OPT_NO_PADDING, QELT_OPT_PADDING},
    {kOptCmsGroup, QELT_OPT_CMS_BARE, QELT_OPT_CMS_CONTENTINFO},
};

}  // namespace

QELT_EXPORT int QELT_API_Init(void** ppCtx, const char* pszWorkDir) {
    if (ppCtx == nullptr) return QELT_ERR_INVALID_ARGUMENT;
    if (*ppCtx != nullptr) return QELT_ERR_ALREADY_INITIALIZED;
    if (pszWorkDir == nullptr) return QELT_ERR_NO_WORK_DIR;
    auto* ctx = static_cast<ApiContext*>(std::calloc(1, sizeof(ApiContext)));
    if (ctx == nullptr) return QELT_ERR_MEMORY;
    ctx->pszWorkDir = duplicateText(pszWorkDir);
    if (ctx->pszWorkDir == nullptr) {
        std::free(ctx);
        return QELT_ERR_MEMORY;
    }
    // Only one trailing separator is dropped.
    if (const size_t n = std::strlen(ctx->pszWorkDir);
        n > 0 && (ctx->pszWorkDir[n - 1] == '/' || ctx->pszWorkDir[n - 1] == '\\'))
        ctx->pszWorkDir[n - 1] = 0;
    ctx->nOption = kDefaultOption;
    ctx->nVerifyType = 1;
    ctx->nVerifyCheck = 1;
    ctx->bUseCache = 1;
    ctx->bInitialized = 1;
    *ppCtx = ctx;
    return QELT_OK;
}

QELT_EXPORT int QELT_API_Finish(void** ppCtx) {
    if (ppCtx == nullptr || *ppCtx == nullptr) return QELT_OK;
    auto* ctx = static_cast<ApiContext*>(*ppCtx);
    releaseText(ctx->pszWorkDir);
    releaseText(ctx->pszErrMsg);
    releaseBytes(ctx->pTrustedCerts);
    releaseBytes(ctx->pSessionKey);  // wiped by the destructor before release
    releaseBytes(ctx->pSessionIv);
    releaseBytes(ctx->pMsgImprint);
    releaseBytes(ctx->pPolicy);
    releaseBytes(ctx->pNonce);
    releaseBytes(ctx->pSignerInfos);
    releaseBytes(ctx->pRecInfos);
    releaseBytes(ctx->pCaPubs);
    releaseText(ctx->pszOCSPURL);
    releaseText(ctx->pszConfFilePath);
    delete ctx->pLoadedCert;
    ctx->pLoadedCert = nullptr;
    delete ctx->pSignedData;
    ctx->pSignedData = nullptr;
    // The token wrapper (it closes its session) and then the module it calls
    // into: nothing else can reach them once the context is gone.
    delete ctx->pCryptoki;
    ctx->pCryptoki = nullptr;
    if (ctx->hStorageLib != nullptr) {
        std::string ignored;
        (void)unloadModule(ctx->hStorageLib, ignored);
        ctx->hStorageLib = nullptr;
    }
    ctx->nErrCode = 0;
    secureWipe(ctx, sizeof *ctx);
    std::free(ctx);
    *ppCtx = nullptr;
    return QELT_OK;
}

QELT_EXPORT int QELT_API_GetErrInfo(void* pCtx, int nBufLen, char* pszErrInfo) {
    // No prologue: reads the error of the previous call and does not clear it.
    auto* ctx = static_cast<ApiContext*>(pCtx);
    if (ctx == nullptr) return QELT_ERR_NOT_INITIALIZED;
    if (pszErrInfo == nullptr) return QELT_ERR_INVALID_ARGUMENT;
    if (ctx->pszErrMsg == nullptr) return QELT_ERR_NO_ERROR_INFO;
    const size_t needed = std::strlen(ctx->pszErrMsg) + 1;
    if (nBufLen >= 0 && needed <= static_cast<size_t>(nBufLen)) {
        std::memset(pszErrInfo, 0, needed);
        std::memcpy(pszErrInfo, ctx->pszErrMsg, needed);
        return QELT_OK;
    }
    if (nBufLen > 0) {
        std::memset(pszErrInfo, 0, static_cast<size_t>(nBufLen));
        std::memcpy(pszErrInfo, ctx->pszErrMsg, static_cast<size_t>(nBufLen) - 1);
    }
    return QELT_ERR_BUFFER_TOO_SMALL;
}

QELT_EXPORT int QELT_API_GetVersion(void* pCtx, int nBufLen, char* pszVersion) {
    return api::run(pCtx, "QELT_API_GetVersion",
                    [&](ApiCall& call) { return call.putText(kLibraryVersion, nBufLen, pszVersion, "pszVersion"); });
}

QELT_EXPORT int QELT_API_GetInfo(void* pCtx, int nBufLen, char* pszAPIInfo) {
    return api::run(pCtx, "QELT_API_GetInfo", [&](ApiCall& call) {
        ByteString info;
        ByteString line;
        const char* lines[][2] = {{"[API 명] : %s\r\n"_cp949, kLibraryName},
                                  {"[API 버전] : %s\r\n"_cp949, kLibraryVersion}};
        for (const auto& [format, value] : lines) {
            line.format(format, value);
            if (info.length() + line.length() > kInfoLimit)
                return call.fail(QELT_ERR_BUFFER_TOO_SMALL, "로컬변수(pszInfo)의 메모리 공간이 부족합니다."_cp949);
            info.append(line);
        }
        return call.putText(info.view(), nBufLen, pszAPIInfo, "pszAPIInfo");
    });
}

QELT_EXPORT int QELT_API_SetOption(void* pCtx, int nOption) {
    return api::run(pCtx, "QELT_API_SetOption", [&](ApiCall& call) {
        const auto requested = static_cast<unsigned int>(nOption);
        unsigned int& word = call.ctx().nOption;
        for (const OptionGroup& g : kOptionGroups) {
            if (requested & g.first)
                word = (word & ~g.mask) | g.first;
            else if (requested & g.second)
                word = (word & ~g.mask) | g.second;
        }
        if (requested & QELT_OPT_CMS_ADD_CACERTS) word |= QELT_OPT_CMS_ADD_CACERTS;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_API_SetConfFile(void* pCtx, const char* pszConfFilePath) {
    return api::run(pCtx, "QELT_API_SetConfFile", [&](ApiCall& call) {
        if (!hasText(pszConfFilePath)) return call.invalid("환경파일 위치(pszConfFilePath)를 지정하세요."_cp949);
        char* copy = duplicateText(pszConfFilePath);
        if (copy == nullptr) return call.noMemory("pApiCtx->pszConfFilePath");
        releaseText(call.ctx().pszConfFilePath);
        call.ctx().pszConfFilePath = copy;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_API_SetCaPubs(void* pCtx, BINSTR* pCaPubs) {
    return api::run(pCtx, "QELT_API_SetCaPubs", [&](ApiCall& call) {
        if (!hasBytes(pCaPubs)) return call.invalid("인증기관 인증서 목록(pCaPubs)를 지정하세요."_cp949);
        ByteString* bundle = ensureBytes(call.ctx().pCaPubs);
        if (bundle == nullptr || bundle->set(pCaPubs->pVal, pCaPubs->nLen) != ByteString::kOk)
            return call.noMemory("pApiCtx->pCaPubs");
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_API_FreeCaPubs(void* pCtx) {
    return api::run(pCtx, "QELT_API_FreeCaPubs", [&](ApiCall& call) {
        releaseBytes(call.ctx().pCaPubs);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_API_Str2Time(void* pCtx, const char* pszTime, time_t* pTime) {
    return api::run(pCtx, "QELT_API_Str2Time", [&](ApiCall& call) {
        if (!hasText(pszTime)) return call.invalid("시간 정보(pszTime)를 입력하세요."_cp949);
        if (pTime == nullptr) return call.nullOutput("pTime");
        int64_t t = 0;
        if (const int rc = call.convertTime(pszTime, TimeForm::LongYear, true, t)) return rc;
        *pTime = t;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_API_SetHashAlgo(void* pCtx, int nHashAlg) {
    return api::run(pCtx, "QELT_API_SetHashAlgo", [&](ApiCall& call) {
        const auto alg = hashAlgOfApiCode(nHashAlg);
        if (!alg) return call.fail(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949);
        call.ctx().nHashAlg = *alg;
        return QELT_OK;
    });
}
