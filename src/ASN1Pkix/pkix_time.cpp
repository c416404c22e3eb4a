#include "ASN1Pkix/pkix_time.h"

#include <ctime>

#include "ASN1/asn1_time.h"
#include "util/time_text.h"

namespace qelt {

namespace {

// Decimal value of n digits at text[pos], -1 when one is not a digit.
int digits(const ByteString& text, int pos, int n) {
    if (pos + n > text.length()) return -1;
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const uint8_t c = text.data()[pos + i];
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<int64_t> calendarSeconds(int year, int month, int day, int hour, int min, int sec) {
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 || hour > 23 ||
        min < 0 || min > 59 || sec < 0 || sec > 59)
        return std::nullopt;
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + min * 60 + sec;
}

// The zone at text[pos..]: "Z" gives 0, "+hhmm"/"-hhmm" the seconds to take
// away to reach UTC; nullopt for anything else.
std::optional<int64_t> zoneShift(const ByteString& text, int pos) {
    const int rest = text.length() - pos;
    if (rest == 1 && text.data()[pos] == 'Z') return 0;
    if (rest != 5) return std::nullopt;
    const uint8_t sign = text.data()[pos];
    const int hh = digits(text, pos + 1, 2), mm = digits(text, pos + 3, 2);
    if ((sign != '+' && sign != '-') || hh < 0 || hh > 23 || mm < 0 || mm > 59) return std::nullopt;
    const int64_t offset = hh * 3600 + mm * 60;
    return sign == '+' ? -offset : offset;
}

}  // namespace

std::optional<int64_t> utcTimeSeconds(const ByteString& text) {
    // YYMMDDhhmm[ss] followed by the zone; years 50-99 are 19xx, 00-49 20xx.
    if (text.length() < 11) return std::nullopt;
    const int yy = digits(text, 0, 2);
    if (yy < 0) return std::nullopt;
    const bool withSeconds = digits(text, 10, 2) >= 0;
    const auto shift = zoneShift(text, withSeconds ? 12 : 10);
    const auto base = calendarSeconds(yy < 50 ? 2000 + yy : 1900 + yy, digits(text, 2, 2), digits(text, 4, 2),
                                      digits(text, 6, 2), digits(text, 8, 2), withSeconds ? digits(text, 10, 2) : 0);
    if (!shift || !base) return std::nullopt;
    return *base + *shift;
}

std::optional<int64_t> generalizedTimeSeconds(const ByteString& text) {
    // YYYYMMDDhhmmss, an optional fraction of a second, then the zone.
    if (text.length() < 15) return std::nullopt;
    int pos = 14;
    if (text.data()[pos] == '.' || text.data()[pos] == ',') {
        ++pos;
        while (pos < text.length() && text.data()[pos] >= '0' && text.data()[pos] <= '9') ++pos;
    }
    const auto shift = zoneShift(text, pos);
    const auto base = calendarSeconds(digits(text, 0, 4), digits(text, 4, 2), digits(text, 6, 2), digits(text, 8, 2),
                                      digits(text, 10, 2), digits(text, 12, 2));
    if (!shift || !base) return std::nullopt;
    return *base + *shift;
}

std::optional<int64_t> pkixSeconds(const RTime& time) {
    if (time.isUtcTime()) return utcTimeSeconds(time.getUtcTime().getValue());
    if (time.isGeneralTime()) return generalizedTimeSeconds(time.getGeneralTime().getValue());
    return std::nullopt;
}

int64_t currentSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

ByteString pkixTimeText(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    char text[40] = {0};
    if (localtime_r(&t, &local) == nullptr) return ByteString("?");
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return ByteString(text);
}

}  // namespace qelt
