// Times of certificates and CRLs as the path engine and the CRL checker use
// them: 64-bit seconds since 1970-01-01 00:00:00 UTC, and the text they are
// shown in by validation messages.
#pragma once

#include <cstdint>
#include <optional>

#include "ASN1Pkix/x509_certificate.h"
#include "util/byte_string.h"

namespace qelt {

// Seconds of a Time; nullopt when its text did not name a time.
std::optional<int64_t> pkixSeconds(const RTime& time);

// The current time.
int64_t currentSeconds();

// "%Y-%m-%d %H:%M:%S" in the machine's local time, as the other displayed times.
ByteString pkixTimeText(int64_t seconds);

}  // namespace qelt
