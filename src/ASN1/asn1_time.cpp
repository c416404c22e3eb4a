#include "ASN1/asn1_time.h"

#include <cstring>
#include <ctime>

#include "util/time_text.h"

namespace qelt {

using namespace asn1;

namespace {
constexpr const char* kOutsideUtcTime = "%lld lies outside the years UTCTime can write (1950 to 2049)";
constexpr const char* kOutsideGeneralizedTime = "%lld lies outside the years GeneralizedTime can write (0000 to 9999)";

// UTCTime's window: 1950-01-01 00:00:00 to 2049-12-31 23:59:59 UTC.
constexpr int64_t kUtcTimeFirst = -631152000;
constexpr int64_t kUtcTimeLast = 2524607999;

// Decimal value of text[pos..pos+n), -1 when a character is not a digit.
int digits(const char* text, int pos, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// One field check: on failure writes "<text> : <what>" and returns the code.
struct TextCheck {
    ErrorHolder& holder;
    const char* cls;
    const char* method;
    const ByteString& text;
    int operator()(bool ok, const char* what, const char* label, int code) const {
        if (ok) return 0;
        ByteString msg;
        msg.format("%s : %s", text.c_str(), what);
        return holder.fail(cls, method, label, code, msg.c_str());
    }
};
}  // namespace

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

int64_t utcCalendarToSeconds(int year, int month, int day, int hour, int min, int sec) {
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + min * 60 + sec;
}

bool secondsToUtcCalendar(int64_t seconds, struct tm& out) {
    // Years 0000 to 9999: -62167219200 is 0000-01-01, 253402300799 is 9999-12-31 23:59:59.
    if (seconds < -62167219200LL || seconds > 253402300799LL) return false;
    const time_t t = static_cast<time_t>(seconds);
    return gmtime_r(&t, &out) != nullptr;
}

// ---- GeneralizedTime

int ASN1GeneralizedTime::checkGMTTime(const char* data, int len) {
    constexpr const char* kCls = "ASN1GeneralizedTime";
    const ByteString text(data, len);
    if (len < 15) return fail(kCls, "checkGMTTime", "length", 1, "Invalid GMT Format");
    const char* t = text.c_str();
    if (t[14] == '.') {
        int fraction = 0;
        for (int i = 15; i < len - 1; ++i)
            if (t[i] >= '0' && t[i] <= '9' && fraction < 100000000) fraction = fraction * 10 + (t[i] - '0');
        m_nFraction = fraction;
    }
    const int year = digits(t, 0, 4), month = digits(t, 4, 2), day = digits(t, 6, 2);
    const int hour = digits(t, 8, 2), min = digits(t, 10, 2), sec = digits(t, 12, 2);
    const TextCheck check{*this, kCls, "checkGMTTime", text};
    if (int rc = check(sec >= 0 && sec <= 59, "seconds error", "nSec", 2)) return rc;
    if (int rc = check(min >= 0 && min <= 59, "minutes error", "nMin", 3)) return rc;
    if (int rc = check(hour >= 0 && hour <= 23, "hour error", "nHour", 4)) return rc;
    if (int rc = check(month >= 1 && month <= 12, "month error", "nMonth", 5)) return rc;
    if (int rc = check(day >= 1 && day <= daysInMonth(year, month), "day error", "nDay", month == 2 ? 6 : 7)) return rc;
    if (int rc = check(t[len - 1] == 'Z' && year >= 0, "invalid format", "data", 8)) return rc;
    m_GMTTime = utcCalendarToSeconds(year, month, day, hour, min, sec);
    return 0;
}

int ASN1GeneralizedTime::fromASN1Object(Asn1Input in) {
    constexpr const char* kCls = "ASN1GeneralizedTime";
    if (const int rc = decodeTyped(in, kTagGeneralizedTime, kCls, "TagType(%d) is not ASN1_TAG_GENERALIZEDTIME"))
        return rc;
    // A value starting with "0" (years 0000-0999) is kept without checks, and
    // so without a time.
    if (!m_bsValue.isEmpty() && m_bsValue.data()[0] == '0') {
        m_GMTTime = kNoTime;
        return 0;
    }
    if (checkGMTTime(m_bsValue.c_str(), m_bsValue.length()) != 0)
        return fail(kCls, "fromASN1Object", "checkGMTTime", 3, m_ErrorChain.c_str());
    return 0;
}

int ASN1GeneralizedTime::setValue(const void* data, int len) {
    if (checkGMTTime(static_cast<const char*>(data), len) != 0)
        return fail("ASN1GeneralizedTime", "setValue", "checkGMTTime", 1, m_ErrorChain.c_str());
    m_bsValue.set(data, len);
    m_nErrorCode = 0;
    return 0;
}
int ASN1GeneralizedTime::setValue(const ByteString& v) { return setValue(v.data(), v.length()); }
int ASN1GeneralizedTime::setValue(const char* t) { return setValue(t, t ? static_cast<int>(std::strlen(t)) : 0); }

int ASN1GeneralizedTime::setGMTTime(int64_t seconds, int fraction) {
    struct tm tm {};
    if (!secondsToUtcCalendar(seconds, tm)) {
        ByteString msg;
        msg.format(kOutsideGeneralizedTime, static_cast<long long>(seconds));
        return fail("ASN1GeneralizedTime", "setGMTTime", "m_GMTTime", 1, msg.c_str());
    }
    m_GMTTime = seconds;
    m_nFraction = fraction;
    m_bsValue.format("%04d%02d%02d%02d%02d%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                     tm.tm_sec);
    return 0;
}

// ---- UTCTime

int ASN1UTCTime::checkUTCTime(const char* data, int len) {
    constexpr const char* kCls = "ASN1UTCTime";
    const ByteString text(data, len);
    const char* t = text.c_str();
    const TextCheck check{*this, kCls, "checkUTCTime", text};
    // 11 and 13 characters end in Z; 15 and 17 carry an offset instead.
    const bool withSeconds = len == 13 || len == 17;
    const bool zulu = (len == 11 || len == 13) && t[len - 1] == 'Z';
    const bool offset = (len == 15 || len == 17) && (t[len - 5] == '+' || t[len - 5] == '-');
    if (int rc = check(zulu || offset, "UTC Time Format Error", "length", 1)) return rc;
    const int yy = digits(t, 0, 2), month = digits(t, 2, 2), day = digits(t, 4, 2);
    const int hour = digits(t, 6, 2), min = digits(t, 8, 2);
    // The 17-character form's seconds are checked like the 13-character form's.
    const int sec = withSeconds ? digits(t, 10, 2) : 0;
    const int year = yy < 0 ? -1 : (yy < 50 ? 2000 + yy : 1900 + yy);
    if (int rc = check(sec >= 0 && sec <= 59, "sec error", "nSec", 2)) return rc;
    if (int rc = check(min >= 0 && min <= 59, "minutes error", "nMin", 3)) return rc;
    if (int rc = check(hour >= 0 && hour <= 23, "hour error", "nHour", 4)) return rc;
    if (int rc = check(month >= 1 && month <= 12 && year >= 0, "month error", "nMonth", 5)) return rc;
    if (int rc = check(day >= 1 && day <= daysInMonth(year, month), "day error", "nDay", 6)) return rc;
    int64_t shift = 0;
    if (offset) {
        const int oh = digits(t, len - 4, 2), om = digits(t, len - 2, 2);
        if (int rc = check(oh >= 0 && oh <= 23 && om >= 0 && om <= 59, "UTC Time Format Error", "nOffset", 7))
            return rc;
        // Local time = UTC + offset, so a plus offset is taken away.
        shift = (t[len - 5] == '+' ? -1 : 1) * static_cast<int64_t>(oh * 3600 + om * 60);
    }
    // The offset may carry the time across a year, even out of 1950-2049:
    // the result is the instant the text names.
    m_GMTTime = utcCalendarToSeconds(year, month, day, hour, min, sec) + shift;
    return 0;
}

int ASN1UTCTime::fromASN1Object(Asn1Input in) {
    constexpr const char* kCls = "ASN1UTCTime";
    if (const int rc = decodeTyped(in, kTagUtcTime, kCls, "TagType(%d) is not ASN1_TAG_UTCTIME")) return rc;
    // Received times are kept as they are: a text that does not check reads as
    // kNoTime instead of making the whole certificate or message undecodable.
    if (checkUTCTime(m_bsValue.c_str(), m_bsValue.length()) != 0) {
        m_GMTTime = kNoTime;
        m_nErrorCode = 0;
        m_ErrorChain.clear();
    }
    return 0;
}

int ASN1UTCTime::setValue(const void* data, int len) {
    if (checkUTCTime(static_cast<const char*>(data), len) != 0)
        return fail("ASN1UTCTime", "setValue", "checkUTCTime", 1, m_ErrorChain.c_str());
    m_bsValue.set(data, len);
    m_nErrorCode = 0;
    return 0;
}
int ASN1UTCTime::setValue(const ByteString& v) { return setValue(v.data(), v.length()); }
int ASN1UTCTime::setValue(const char* t) { return setValue(t, t ? static_cast<int>(std::strlen(t)) : 0); }

int ASN1UTCTime::setGMTTime(int64_t seconds) {
    struct tm tm {};
    if (seconds < kUtcTimeFirst || seconds > kUtcTimeLast || !secondsToUtcCalendar(seconds, tm)) {
        ByteString msg;
        msg.format(kOutsideUtcTime, static_cast<long long>(seconds));
        return fail("ASN1UTCTime", "setGMTTime", "m_GMTTime", 1, msg.c_str());
    }
    m_GMTTime = seconds;
    m_bsValue.format("%02d%02d%02d%02d%02d%02dZ", (tm.tm_year + 1900) % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                     tm.tm_min, tm.tm_sec);
    return 0;
}

}  // namespace qelt
