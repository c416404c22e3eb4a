// QELT_UTIL_*Profile*: applications read and write their own profile entries.
#include <cstdio>
#include <cstring>
#include <functional>

#include "api/api_call.h"
#include "util/cp949_literal.h"
#include "util/profile.h"

using namespace qelt;

namespace {

constexpr const char* kSetPathLabel = "QELT_UTIL_SetProfilePath";
constexpr size_t kValueBuffer = 4096;

// The checks every profile function shares: path, section, entry, then the path itself.
// A missing path is reported under the label of the step that takes the path.
int openProfile(ApiCall& call, Profile& profile, const char* path, const char* section, const char* entry,
                const std::function<int()>& checkRest) {
    if (!hasText(path)) {
        RecordError(&call.ctx(), QELT_ERR_INVALID_ARGUMENT, static_cast<int>(ErrKind::Frame), kSetPathLabel,
                    "Profile 경로를 지정하세요."_cp949, nullptr, 0, nullptr);
        return QELT_ERR_INVALID_ARGUMENT;
    }
    if (!hasText(section)) return call.invalid("섹션 이름을 지정하세요."_cp949);
    if (!hasText(entry)) return call.invalid("엔트리 명을 지정하세요."_cp949);
    if (const int rc = checkRest()) return rc;
    if (profile.setPath(path) != Profile::kPathOk)
        return call.fail(QELT_ERR_CONF_READ, "환경파일을 읽는데 실패하였습니다."_cp949);
    return QELT_OK;
}

int writeEntry(ApiCall& call, const Profile& profile, const char* section, const char* entry, const char* value) {
    if (profile.write(section, entry, value) != Profile::kWritten)
        return call.failf(QELT_ERR_FILE_WRITE, "[%s]의 %s 값을 저장하는데 실패하였습니다."_cp949, section, entry);
    return QELT_OK;
}

}  // namespace

QELT_EXPORT int QELT_UTIL_GetProfileInt(void* pCtx, char* pszPath, char* pszSection, char* pszEntry, int* pOut) {
    return api::run(pCtx, "QELT_UTIL_GetProfileInt", [&](ApiCall& call) {
        Profile profile;
        if (const int rc = openProfile(call, profile, pszPath, pszSection, pszEntry,
                                       [&] { return pOut ? QELT_OK : call.nullOutput("pOut"); }))
            return rc;
        *pOut = profile.getIntLine(pszSection, pszEntry, 0);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_UTIL_GetProfileString(void* pCtx, char* pszPath, char* pszSection, char* pszEntry, int nBuffSize,
                                           char* pszBuff) {
    return api::run(pCtx, "QELT_UTIL_GetProfileString", [&](ApiCall& call) {
        Profile profile;
        if (const int rc = openProfile(call, profile, pszPath, pszSection, pszEntry, [&] {
                if (nBuffSize <= 0) return call.invalid("버퍼 사이즈를 지정하세요."_cp949);
                return pszBuff ? QELT_OK : call.nullOutput("pszBuff");
            }))
            return rc;
        char value[kValueBuffer];
        if (profile.readB(pszSection, pszEntry, value, sizeof value) != Profile::kFound) {
            pszBuff[0] = 0;
            return call.failf(QELT_ERR_CERT_FIELD_ABSENT, "[%s]의 %s 값이 없습니다."_cp949, pszSection, pszEntry);
        }
        const size_t n = std::min(std::strlen(value), static_cast<size_t>(nBuffSize) - 1);
        std::memcpy(pszBuff, value, n);
        pszBuff[n] = 0;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_UTIL_SetProfileInt(void* pCtx, char* pszPath, char* pszSection, char* pszEntry, int nIn) {
    return api::run(pCtx, "QELT_UTIL_SetProfileInt", [&](ApiCall& call) {
        Profile profile;
        if (const int rc = openProfile(call, profile, pszPath, pszSection, pszEntry, [] { return QELT_OK; })) return rc;
        char value[16];
        std::snprintf(value, sizeof value, "%d", nIn);
        return writeEntry(call, profile, pszSection, pszEntry, value);
    });
}

QELT_EXPORT int QELT_UTIL_SetProfileString(void* pCtx, char* pszPath, char* pszSection, char* pszEntry, char* pszIn) {
    return api::run(pCtx, "QELT_UTIL_SetProfileString", [&](ApiCall& call) {
        Profile profile;
        if (const int rc = openProfile(call, profile, pszPath, pszSection, pszEntry,
                                       [&] { return pszIn ? QELT_OK : call.nullOutput("pszIn"); }))
            return rc;
        return writeEntry(call, profile, pszSection, pszEntry, pszIn);
    });
}
