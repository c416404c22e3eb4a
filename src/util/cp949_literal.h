// Compile-time conversion of UTF-8 source literals into CP949 bytes.
//
// The sources stay readable in UTF-8 while every text the library hands to a
// caller (messages, labels, display texts) leaves it in CP949, the code page
// of its users. Writing "인증서"_cp949 yields a `const char*` to a static CP949
// text computed by the compiler. Only ASCII and the Hangul syllables
// (U+AC00..U+D7A3) may appear in such a literal; anything else fails to compile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qelt {

namespace cp949_detail {

// CP949 code of each Hangul syllable U+AC00..U+D7A3, generated from glibc's
// converter by tools/scripts/gen_cp949_tables.py.
inline constexpr uint16_t kHangulToCp949[11172] = {
#include "util/cp949_hangul.inc"
};

template <size_t N>
struct Utf8Literal {
    char text[N];
    consteval Utf8Literal(const char (&s)[N]) {  // NOLINT: implicit on purpose
        for (size_t i = 0; i < N; ++i) text[i] = s[i];
    }
};

template <size_t N>
struct Cp949Text {
    std::array<char, N> bytes{};
    size_t length = 0;
};

template <size_t N>
consteval Cp949Text<N> toCp949(const char (&s)[N]) {
    Cp949Text<N> out;
    size_t i = 0;
    while (i + 1 < N) {  // the last element is the literal's NUL
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.bytes[out.length++] = static_cast<char>(c);
            ++i;
            continue;
        }
        if ((c & 0xF0) != 0xE0 || i + 3 >= N) throw "only ASCII and Hangul syllables are allowed";
        const unsigned u = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                           (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        if (u < 0xAC00 || u > 0xD7A3) throw "only ASCII and Hangul syllables are allowed";
        const uint16_t code = kHangulToCp949[u - 0xAC00];
        out.bytes[out.length++] = static_cast<char>(code >> 8);
        out.bytes[out.length++] = static_cast<char>(code & 0xFF);
        i += 3;
    }
    out.bytes[out.length] = 0;
    return out;
}

template <Utf8Literal L>
inline constexpr auto kConverted = toCp949(L.text);

}  // namespace cp949_detail

// "텍스트"_cp949: the literal's CP949 bytes, NUL-terminated, in static storage.
template <cp949_detail::Utf8Literal L>
constexpr const char* operator""_cp949() {
    return cp949_detail::kConverted<L>.bytes.data();
}

}  // namespace qelt
