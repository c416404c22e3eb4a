#include "util/time_text.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

namespace qelt {

namespace {

constexpr int64_t kMaxTime = 2147483647;  // 2038-01-19 03:14:07 UTC
constexpr int64_t kMinResult = 50;        // results below this are refused as well
constexpr long long kFieldLimit = 1000000000;

bool isSeparator(char c) { return c == '-' || c == ':' || c == ' '; }

// Splits the written form (at most its first 29 characters) into six decimal
// fields; false when a field is missing.
bool splitFields(const char* text, int64_t fields[6]) {
    const std::string_view all(text);
    const std::string_view view = all.substr(0, 29);
    int n = 0;
    size_t p = 0;
    while (p < view.size() && n < 6) {
        while (p < view.size() && isSeparator(view[p])) ++p;
        if (p == view.size()) break;
        long long v = 0;
        for (; p < view.size() && !isSeparator(view[p]); ++p) {
            if (view[p] < '0' || view[p] > '9') {  // like strtol: the field ends at a non-digit
                while (p < view.size() && !isSeparator(view[p])) ++p;
                break;
            }
            // Clamped so that absurd fields cannot overflow the day arithmetic; they fall out of range anyway.
            v = v * 10 + (view[p] - '0');
            if (v > kFieldLimit) v = kFieldLimit;
        }
        fields[n++] = v;
    }
    return n == 6;
}

}  // namespace

// Days from 1970-01-01 to the given proleptic Gregorian date; any month
// number is normalised into the year first (month 13 is January next year).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y += (m - 1) >= 0 ? (m - 1) / 12 : -((12 - m) / 12);
    m = ((m - 1) % 12 + 12) % 12 + 1;
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long localUtcOffset() {
    static const long offset = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local.tm_gmtoff;
    }();
    return offset;
}

TimeTextResult convertTimeText(const char* text, TimeForm form, bool local, int64_t& out) {
    char written[64];
    const char* fieldsText = text;
    if (std::strpbrk(text, "-:") == nullptr) {
        const size_t len = std::strlen(text);
        char year[5];
        const char* rest;
        if (form == TimeForm::LongYear) {
            if (len != 14 && len != 15) return TimeTextResult::BadLongForm;
            if (len == 15 && (text[14] == 'Z' || text[14] == 'z')) local = false;
            std::memcpy(year, text, 4);
            year[4] = 0;
            rest = text + 4;
        } else {
            if (len != 12) return TimeTextResult::BadShortForm;
            const int yy = (text[0] - '0') * 10 + (text[1] - '0');
            std::snprintf(year, sizeof year, "%s%.2s", yy < 50 ? "20" : "19", text);
            rest = text + 2;
        }
        std::snprintf(written, sizeof written, "%s-%.2s-%.2s %.2s:%.2s:%.2s", year, rest, rest + 2, rest + 4, rest + 6,
                      rest + 8);
        fieldsText = written;
    }
    int64_t f[6];
    if (!splitFields(fieldsText, f)) return TimeTextResult::OutOfRange;
    // Fields are not range-checked: out-of-range values roll over like a calendar does.
    const int64_t t = daysFromCivil(f[0], f[1], f[2]) * 86400 + f[3] * 3600 + f[4] * 60 + f[5];
    if (t < kMinResult || t > kMaxTime) return TimeTextResult::OutOfRange;
    out = local ? t - localUtcOffset() : t;
    return TimeTextResult::Ok;
}

}  // namespace qelt
