// What a step of the identity-verification client hands back when it fails:
// the API code, the message the exported function records, and how the
// detail is composed (a core object's chain, the directory's code and text,
// or the server's response code and description).
#pragma once

#include <cstdarg>

#include "api/error_record.h"
#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt::ivs {

struct Failure {
    int code = 0;
    ByteString message;
    ErrKind kind = ErrKind::Frame;
    int extraCode = 0;  // the directory's result (Ldap) or the server's RespCode (Ivs)
    ByteString detail;  // a core chain (Core), the directory's text (Ldap) or RespDesc (Ivs)

    int set(int c, const char* text) {
        code = c;
        message.assign(text);
        kind = ErrKind::Frame;
        extraCode = 0;
        detail.clear();
        return c;
    }
    int setf(int c, const char* format, ...) __attribute__((format(printf, 3, 4))) {
        va_list args;
        va_start(args, format);
        ByteString text;
        text.vformat(format, args);
        va_end(args);
        return set(c, text.c_str());
    }
    int setCore(int c, const char* text, const char* chain) {
        set(c, text);
        kind = ErrKind::Core;
        detail.assign(chain);
        return c;
    }
    int setCore(int c, const char* text, const ErrorHolder& object) { return setCore(c, text, object.errorText()); }
    int setIvs(int c, const char* text, int respCode, const ByteString& respDesc) {
        set(c, text);
        kind = ErrKind::Ivs;
        extraCode = respCode;
        detail.assign(respDesc);
        return c;
    }
    int setLdap(int c, const char* text, int ldapCode, const char* ldapText) {
        set(c, text);
        kind = ErrKind::Ldap;
        extraCode = ldapCode;
        detail.assign(ldapText == nullptr ? "" : ldapText);
        return c;
    }
};

}  // namespace qelt::ivs
