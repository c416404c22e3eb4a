#include "api/api_call.h"

#include <cstring>

#include "util/cp949_literal.h"

namespace qelt {

int ApiCall::fail(int code, const char* message) {
    RecordError(&m_ctx, code, static_cast<int>(ErrKind::Frame), m_function, message, nullptr, 0, nullptr);
    return code;
}

int ApiCall::failf(int code, const char* format, ...) {
    ByteString message;
    va_list args;
    va_start(args, format);
    message.vformat(format, args);
    va_end(args);
    return fail(code, message.c_str());
}

int ApiCall::failCore(int code, const char* message, const ErrorHolder& object) {
    return failCore(code, message, object.errorText());
}

int ApiCall::failCore(int code, const char* message, const char* chain) {
    RecordError(&m_ctx, code, static_cast<int>(ErrKind::Core), m_function, message, nullptr, 0, chain);
    return code;
}

int ApiCall::failLdap(int code, const char* message, int ldapResult, const char* ldapText) {
    RecordError(&m_ctx, code, static_cast<int>(ErrKind::Ldap), m_function, message, nullptr, ldapResult, ldapText);
    return code;
}

int ApiCall::failDynamic(int code, const char* message, const char* libFunction, int libResult, const char* libText) {
    RecordError(&m_ctx, code, static_cast<int>(ErrKind::Dynamic), m_function, message, libFunction, libResult, libText);
    return code;
}

int ApiCall::failIvs(int code, const char* message, int respCode, const char* respDesc) {
    RecordError(&m_ctx, code, static_cast<int>(ErrKind::Ivs), m_function, message, nullptr, respCode, respDesc);
    return code;
}

int ApiCall::failCodeOnly(int code) {
    RecordError(&m_ctx, code, static_cast<int>(ErrKind::Frame), m_function, nullptr, nullptr, 0, nullptr);
    return code;
}

int ApiCall::nullOutput(const char* paramName) {
    return failf(QELT_ERR_INVALID_ARGUMENT, "%s%s", paramName, "의 포인터가 NULL입니다."_cp949);
}

int ApiCall::noMemory(const char* what) {
    return failf(QELT_ERR_MEMORY, "메모리를(%s) 할당하는데 실패하였습니다."_cp949, what);
}

int ApiCall::putText(std::string_view text, int bufLen, char* buf, const char* paramName) {
    if (buf == nullptr) return nullOutput(paramName);
    const auto needed = static_cast<long long>(text.size()) + 1;
    if (needed > bufLen)
        return failf(QELT_ERR_BUFFER_TOO_SMALL, "%s에 할당된 메모리가 부족합니다. (필요한 메모리 크기 : %d)"_cp949,
                     paramName, static_cast<int>(needed));
    std::memset(buf, 0, static_cast<size_t>(needed));
    std::memcpy(buf, text.data(), text.size());
    return QELT_OK;
}

int ApiCall::putBytes(BINSTR* out, const void* data, int len, const char* outName) {
    const int rc = QELT_BINSTR_SetData(static_cast<const unsigned char*>(data), len, out);
    if (rc != QELT_OK) return failf(rc, "QELT_BINSTR_SetData : %s", outName);
    return QELT_OK;
}

int ApiCall::putBytes(BINSTR* out, const ByteString& bytes, const char* outName) {
    return putBytes(out, bytes.data(), bytes.length(), outName);
}

int ApiCall::convertTime(const char* text, TimeForm form, bool local, int64_t& out) {
    switch (convertTimeText(text, form, local, out)) {
        case TimeTextResult::Ok:
            return QELT_OK;
        case TimeTextResult::BadLongForm:
            return fail(QELT_ERR_TIME_FORMAT, "시간은 YYYYMMDDhhmmss(z(Z)) 형식으로 설정해야 한다."_cp949);
        case TimeTextResult::BadShortForm:
            return fail(QELT_ERR_TIME_FORMAT, "시간이 YYMMDDhhmmss 형식이 아닙니다."_cp949);
        case TimeTextResult::OutOfRange:
            break;
    }
    return fail(QELT_ERR_TIME_FORMAT,
                "1970년 이전 시간이나 2038년 1월 19일 03:14:07이후 시간은 지원하지 않습니다."_cp949);
}

}  // namespace qelt
