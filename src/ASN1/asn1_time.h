// UTCTime and GeneralizedTime, with the checks of their text forms and the
// conversion to seconds since 1970-01-01 00:00:00 UTC (signed 32 bits).
#pragma once

#include <cstdint>

#include "ASN1/asn1_object.h"

namespace qelt {

class ASN1UTCTime : public ASN1Object {
public:
    ASN1UTCTime() : ASN1Object(asn1::kTagUtcTime) {}
    explicit ASN1UTCTime(Asn1Input in) : ASN1UTCTime() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    int setValue(const ByteString& value) override;
    int setValue(const void* data, int len) override;
    int setValue(const char* text) override;
    int setGMTTime(int32_t seconds);
    int32_t getGMTTime() const { return m_GMTTime; }
    // Checks YYMMDDhhmm[ss](Z|+hhmm|-hhmm) and sets m_GMTTime.
    int checkUTCTime(const char* text, int len);

private:
    int32_t m_GMTTime = 0;
};

class ASN1GeneralizedTime : public ASN1Object {
public:
    ASN1GeneralizedTime() : ASN1Object(asn1::kTagGeneralizedTime) {}
    explicit ASN1GeneralizedTime(Asn1Input in) : ASN1GeneralizedTime() { m_nErrorCode = fromASN1Object(in); }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override { return fromASN1Object(in, false); }
    // With `strict`, a time outside the 32-bit range fails the decode.
    [[nodiscard]] int fromASN1Object(Asn1Input in, bool strict);
    int setValue(const ByteString& value) override;
    int setValue(const void* data, int len) override;
    int setValue(const char* text) override;
    int setGMTTime(int32_t seconds, int fraction = 0);
    int32_t getGMTTime() const { return m_GMTTime; }
    int getFraction() const { return m_nFraction; }
    // Checks YYYYMMDDhhmmss[.f]Z and sets m_GMTTime (-1 when not representable
    // and not strict).
    int checkGMTTime(const char* text, int len, bool strict);

private:
    int32_t m_GMTTime = 0;
    int m_nFraction = 0;
};

// Seconds since 1970 of a UTC calendar time; false outside the 32-bit range.
bool utcCalendarToSeconds(int year, int month, int day, int hour, int min, int sec, int32_t& out);
int daysInMonth(int year, int month);

}  // namespace qelt
