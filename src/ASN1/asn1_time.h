// UTCTime and GeneralizedTime, with the checks of their text forms and the
// conversion to seconds since 1970-01-01 00:00:00 UTC.
//
// Times are 64-bit: a text converts to the calendar date it names, before 1970
// and after 2038 included (UTCTime covers 1950 to 2049, GeneralizedTime the
// years 0000 to 9999), so a certificate valid to 2049 or issued in 1950 keeps
// its dates. Only the exported calls that take a time text from a caller keep
// the 1970 to 2038 window (util/time_text.h).
#pragma once

#include <cstdint>
#include <ctime>
#include <limits>

#include "ASN1/asn1_object.h"

namespace qelt {

// The time of a received value whose text does not check (a decoded
// certificate keeps such a value instead of failing as a whole); callers that
// compare or show times must test for it (ASN1UTCTime::hasTime()).
inline constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

class ASN1UTCTime : public ASN1Object {
public:
    ASN1UTCTime() : ASN1Object(asn1::kTagUtcTime) {}
    explicit ASN1UTCTime(Asn1Input in) : ASN1UTCTime() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    int setValue(const ByteString& value) override;
    int setValue(const void* data, int len) override;
    int setValue(const char* text) override;
    // Writes YYMMDDhhmmssZ; code 1 outside 1950-01-01 to 2049-12-31 23:59:59.
    int setGMTTime(int64_t seconds);
    int64_t getGMTTime() const { return m_GMTTime; }
    bool hasTime() const { return m_GMTTime != kNoTime; }
    // Checks YYMMDDhhmm[ss](Z|+hhmm|-hhmm) and sets m_GMTTime.
    int checkUTCTime(const char* text, int len);

private:
    int64_t m_GMTTime = 0;
};

class ASN1GeneralizedTime : public ASN1Object {
public:
    ASN1GeneralizedTime() : ASN1Object(asn1::kTagGeneralizedTime) {}
    explicit ASN1GeneralizedTime(Asn1Input in) : ASN1GeneralizedTime() { m_nErrorCode = fromASN1Object(in); }
    // A value whose text does not check fails the decode (code 3), except one
    // starting with "0" (years 0000 to 0999), kept unchecked with kNoTime.
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    int setValue(const ByteString& value) override;
    int setValue(const void* data, int len) override;
    int setValue(const char* text) override;
    // Writes YYYYMMDDhhmmssZ (no fraction in the text); code 1 outside the
    // years 0000 to 9999.
    int setGMTTime(int64_t seconds, int fraction = 0);
    int64_t getGMTTime() const { return m_GMTTime; }
    bool hasTime() const { return m_GMTTime != kNoTime; }
    int getFraction() const { return m_nFraction; }
    // Checks YYYYMMDDhhmmss[.f]Z and sets m_GMTTime. Every four-digit year
    // converts, so a text that checks always names a time.
    int checkGMTTime(const char* text, int len);

private:
    int64_t m_GMTTime = 0;
    int m_nFraction = 0;
};

// Seconds since 1970 of a UTC calendar time (negative before 1970).
int64_t utcCalendarToSeconds(int year, int month, int day, int hour, int min, int sec);
// The UTC calendar fields of seconds since 1970; false when the year falls
// outside 0000 to 9999 (or for kNoTime).
bool secondsToUtcCalendar(int64_t seconds, struct tm& out);
int daysInMonth(int year, int month);

}  // namespace qelt
