// The validity times of the certificate objects (PCertUtil, PCertUtil2).
#pragma once

#include <cstdint>

#include "ASN1Pkix/x509_certificate.h"
#include "util/error_holder.h"

namespace qelt {

// Seconds since 1970 UTC of a notBefore or notAfter. A decoded certificate
// keeps a time whose text does not check (ASN1UTCTime reads it as kNoTime);
// asking for that time fails with code 3, the text in the message, so that no
// caller takes a made-up instant for the certificate's validity.
inline int validityTime(ErrorHolder& holder, const char* cls, const char* method, const char* label, const RTime& time,
                        int64_t& out) {
    out = time.getGMTTime();
    if (out != kNoTime) return 0;
    const ByteString& text = time.isUtcTime() ? time.getUtcTime().getValue() : time.getGeneralTime().getValue();
    ByteString message;
    message.format("The %s value (%s) is not a valid time.", label, text.c_str());
    return holder.fail(cls, method, label, 3, message.c_str());
}

}  // namespace qelt
