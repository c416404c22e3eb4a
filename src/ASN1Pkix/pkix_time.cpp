#include "ASN1Pkix/pkix_time.h"

#include <ctime>

#include "ASN1/asn1_time.h"

namespace qelt {

std::optional<int64_t> pkixSeconds(const RTime& time) {
    const int64_t seconds = time.getGMTTime();
    if (seconds == kNoTime || !(time.isUtcTime() || time.isGeneralTime())) return std::nullopt;
    return seconds;
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
