// ServiceFailure: what a step of the directory client, the certificate
// verification service or the identity-verification client hands back when it
// fails: the result code, the message the exported function records, and, when
// a lower layer failed, that layer's own detail (the directory's result code
// and text, the identity server's response code and description, or a core
// object's error chain). Outer steps put their own words in front of the message
// ("... - <message>") and keep the code and the detail, so the caller sees
// one composed message.
#pragma once

#include <cstdarg>

#include "api/error_record.h"
#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

struct ServiceFailure {
    int code = 0;
    ByteString message;
    ErrKind kind = ErrKind::Frame;
    int libCode = 0;     // the directory's result code (ErrKind::Ldap) or the server's RespCode (ErrKind::Ivs)
    ByteString libText;  // the directory's text, the server's RespDesc, or a core object's error chain

    // Each setter replaces the whole failure and returns the code.
    int set(int c, const char* text) {
        code = c;
        message.assign(text);
        kind = ErrKind::Frame;
        libCode = 0;
        libText.clear();
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
    int setLdap(int c, const char* text, int ldapCode, const char* ldapText) {
        set(c, text);
        kind = ErrKind::Ldap;
        libCode = ldapCode;
        libText.assign(ldapText == nullptr ? "" : ldapText);
        return c;
    }
    int setIvs(int c, const char* text, int respCode, const ByteString& respDesc) {
        set(c, text);
        kind = ErrKind::Ivs;
        libCode = respCode;
        libText.assign(respDesc);
        return c;
    }
    int setCore(int c, const char* text, const char* chain) {
        set(c, text);
        kind = ErrKind::Core;
        libText.assign(chain);
        return c;
    }
    int setCore(int c, const char* text, const ErrorHolder& object) { return setCore(c, text, object.errorText()); }
    // Puts the composed `format` in front of the message, as in "<format>%s";
    // code and detail stay.
    void prepend(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        ByteString text;
        text.vformat(format, args);
        va_end(args);
        text.append(message);
        message = std::move(text);
    }
};

}  // namespace qelt
