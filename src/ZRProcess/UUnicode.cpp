#include "ZRProcess/UUnicode.h"

#include <array>
#include <memory>
#include <utility>

namespace qelt {

namespace {

constexpr unsigned kFirstCode = 0x8141;
constexpr unsigned kLastCode = 0xC8FE;  // 18366 codes: the Hangul rows end here, the Hanja rows follow

// UCS-2 value of each CP949 code 0x8141..0xC8FE; 0 where the code has no character.
constexpr uint16_t kCp949ToUcs2[kLastCode - kFirstCode + 1] = {
#include "util/cp949_to_ucs2.inc"
};

// The inverse of the table above, built once: UCS-2 value -> CP949 code (0 = none).
const std::array<uint16_t, 65536>& ucs2ToCp949() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<uint16_t, 65536>>();
        t->fill(0);
        for (unsigned i = 0; i < std::size(kCp949ToUcs2); ++i) {
            const uint16_t u = kCp949ToUcs2[i];
            if (u != 0 && (*t)[u] == 0) (*t)[u] = static_cast<uint16_t>(kFirstCode + i);
        }
        return t;
    }();
    return *table;
}

void putUcs2(ByteString& out, unsigned value) {
    const uint8_t le[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    out.append(le, 2);
}

}  // namespace

int UUnicode::KSC2Unicode(const ByteString& cp949, ByteString& ucs2) {
    ucs2.clear();
    const int room = cp949.length() * 2;
    ByteString out;
    if (out.allocZero(room) != ByteString::kOk) return kNoRoom;
    const uint8_t* s = cp949.data();
    for (int i = 0; i < cp949.length(); ++i) {
        unsigned value = s[i];
        if (value >= 0x80) {
            if (i + 1 >= cp949.length()) return kUnmapped;
            const unsigned code = value << 8 | s[++i];
            if (code < kFirstCode || code > kLastCode) return kUnmapped;
            value = kCp949ToUcs2[code - kFirstCode];
            if (value == 0) return kUnmapped;
        }
        if (out.length() + 2 > room) return kNoRoom;
        putUcs2(out, value);
    }
    ucs2 = std::move(out);
    return kOk;
}

int UUnicode::Unicode2KSC(const ByteString& ucs2, ByteString& cp949) {
    cp949.clear();
    if (ucs2.length() % 2 != 0) return kOddLength;
    const auto& table = ucs2ToCp949();
    ByteString out;
    out.allocZero(ucs2.length());
    const uint8_t* s = ucs2.data();
    for (int i = 0; i + 1 < ucs2.length(); i += 2) {
        const unsigned value = s[i] | s[i + 1] << 8;
        if (value < 0x80) {
            out.append(static_cast<uint8_t>(value));
        } else if (const uint16_t code = table[value]; code != 0) {
            const uint8_t two[2] = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code & 0xFF)};
            out.append(two, 2);
        } else {
            out.append(static_cast<uint8_t>('?'));  // no CP949 code: shown as '?', like the other conversions
        }
    }
    cp949 = std::move(out);
    return kOk;
}

int UUnicode::BMP2KSC(const ByteString& bmp, ByteString& cp949) {
    cp949.clear();
    if (bmp.length() % 2 != 0) return kOddLength;
    ByteString le(bmp);
    uint8_t* p = le.data();
    for (int i = 0; i + 1 < le.length(); i += 2) std::swap(p[i], p[i + 1]);
    return Unicode2KSC(le, cp949);
}

int UUnicode::Unicode2UTF8(const ByteString& ucs2, ByteString& utf8) {
    utf8.clear();
    if (ucs2.length() % 2 != 0) return kOddLength;
    ByteString out;
    out.allocZero(ucs2.length() / 2 * 3);
    const uint8_t* s = ucs2.data();
    for (int i = 0; i + 1 < ucs2.length(); i += 2) {
        const unsigned v = s[i] | s[i + 1] << 8;
        if (v < 0x80) {
            out.append(static_cast<uint8_t>(v));
        } else if (v < 0x800) {
            const uint8_t b[2] = {static_cast<uint8_t>(0xC0 | v >> 6), static_cast<uint8_t>(0x80 | (v & 0x3F))};
            out.append(b, 2);
        } else {
            const uint8_t b[3] = {static_cast<uint8_t>(0xE0 | v >> 12), static_cast<uint8_t>(0x80 | (v >> 6 & 0x3F)),
                                  static_cast<uint8_t>(0x80 | (v & 0x3F))};
            out.append(b, 3);
        }
    }
    utf8 = std::move(out);
    return kOk;
}

int UUTF8String::UTF8ToUnicode(const ByteString& utf8, ByteString& ucs2) {
    ucs2.clear();
    ByteString out;
    out.allocZero(utf8.length() * 2);
    const uint8_t* s = utf8.data();
    const int n = utf8.length();
    for (int i = 0; i < n;) {
        const uint8_t c = s[i];
        if (c < 0x80) {
            putUcs2(out, c);
            ++i;
            continue;
        }
        if ((c & 0xF0) == 0xE0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
            const unsigned v = (c & 0x0Fu) << 12 | (s[i + 1] & 0x3Fu) << 6 | (s[i + 2] & 0x3Fu);
            if (v >= 0xAC00 && v <= 0xD7A3) {
                putUcs2(out, v);
                i += 3;
                continue;
            }
        }
        putUcs2(out, '?');  // only this one byte is consumed
        ++i;
    }
    ucs2 = std::move(out);
    return UUnicode::kOk;
}

int UUTF8String::UTF8ToKSC(const ByteString& utf8, ByteString& cp949) {
    ByteString ucs2;
    UTF8ToUnicode(utf8, ucs2);
    return UUnicode::Unicode2KSC(ucs2, cp949);
}

int UUTF8String::KSCToUTF8(const ByteString& cp949, ByteString& utf8) {
    ByteString ucs2;
    if (UUnicode::KSC2Unicode(cp949, ucs2) != UUnicode::kOk) return 1;
    if (UUnicode::Unicode2UTF8(ucs2, utf8) != UUnicode::kOk) return 2;
    return 0;
}

}  // namespace qelt
