// Times of certificates and CRLs as 64-bit seconds since 1970-01-01 00:00:00
// UTC, and the text they are shown in by validation messages.
//
// A certificate issued in 1950 or valid until 2049 keeps those dates: the
// seconds are read from the time text itself, so they are not limited to the
// 32-bit range of the times that cross the exported interface.
#pragma once

#include <cstdint>
#include <optional>

#include "ASN1Pkix/x509_certificate.h"
#include "util/byte_string.h"

namespace qelt {

// Seconds of a Time (UTCTime or GeneralizedTime, "Z" or a +hhmm/-hhmm offset);
// nullopt when the text is not a readable time.
std::optional<int64_t> pkixSeconds(const RTime& time);
std::optional<int64_t> utcTimeSeconds(const ByteString& text);
std::optional<int64_t> generalizedTimeSeconds(const ByteString& text);

// The current time.
int64_t currentSeconds();

// "%Y-%m-%d %H:%M:%S" in the machine's local time, as the other displayed times.
ByteString pkixTimeText(int64_t seconds);

}  // namespace qelt
