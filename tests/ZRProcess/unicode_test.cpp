#include <gtest/gtest.h>
#include <iconv.h>

#include "ZRProcess/UUnicode.h"

using qelt::ByteString;
using qelt::UUnicode;
using qelt::UUTF8String;

namespace {
// glibc's converter, the source the committed table was generated from.
std::string iconvConvert(const std::string& in, const char* to, const char* from, bool& ok) {
    iconv_t cd = iconv_open(to, from);
    std::string out(in.size() * 4 + 4, '\0');
    char* ip = const_cast<char*>(in.data());
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}
ByteString bs(const std::string& s) { return ByteString(s.data(), static_cast<int>(s.size())); }
}  // namespace

TEST(CodePage, TableAgreesWithGlibcForEveryCode) {
    int mapped = 0;
    for (unsigned code = 0x8141; code <= 0xC8FE; ++code) {
        const std::string two{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        bool ok = false;
        const std::string ref = iconvConvert(two, "UCS-2LE", "CP949", ok);
        ByteString ours;
        const int rc = UUnicode::KSC2Unicode(bs(two), ours);
        if (ok && ref.size() == 2) {
            ASSERT_EQ(rc, 0) << std::hex << code;
            ASSERT_EQ(ours.view(), ref) << std::hex << code;
            ++mapped;
        } else {
            ASSERT_EQ(rc, UUnicode::kUnmapped) << std::hex << code;
        }
    }
    EXPECT_GT(mapped, 11172);  // all 11172 Hangul syllables and the symbol rows
}

TEST(CodePage, HangulRoundTripsAndRules) {
    const std::string utf8 = "가나다 ABC 홍길동";
    ByteString cp, back;
    ASSERT_EQ(UUTF8String::UTF8ToKSC(bs(utf8), cp), 0);
    bool ok = false;
    EXPECT_EQ(cp.view(), iconvConvert(utf8, "CP949", "UTF-8", ok));
    ASSERT_EQ(UUTF8String::KSCToUTF8(cp, back), 0);
    EXPECT_EQ(back.view(), utf8);

    // Non-Hangul characters become one '?' per byte: "é" (2 bytes) gives two, "€" (3 bytes) three.
    ASSERT_EQ(UUTF8String::UTF8ToKSC(bs("caf\xC3\xA9 \xE2\x82\xAC"), cp), 0);
    EXPECT_EQ(cp.view(), "caf?? ???");
    // A truncated three-byte Hangul sequence is not read as one.
    ASSERT_EQ(UUTF8String::UTF8ToKSC(bs("\xEA\xB0"), cp), 0);
    EXPECT_EQ(cp.view(), "??");

    // The Hanja code 0xCAA1 lies outside the converted range.
    EXPECT_EQ(UUnicode::KSC2Unicode(bs("\xCA\xA1"), back), UUnicode::kUnmapped);
    EXPECT_EQ(UUTF8String::KSCToUTF8(bs("a\xCA\xA1"), back), 1);
    EXPECT_EQ(UUnicode::KSC2Unicode(bs("a\xB0"), back), UUnicode::kUnmapped);  // lead byte cut off

    EXPECT_EQ(UUnicode::Unicode2UTF8(bs("abc"), back), UUnicode::kOddLength);
    EXPECT_EQ(UUnicode::Unicode2KSC(bs("abc"), back), UUnicode::kOddLength);
    // UCS-2 -> UTF-8 lengths: 1, 2 and 3 bytes.
    ASSERT_EQ(UUnicode::Unicode2UTF8(bs(std::string("A\0\xE9\0\x00\xAC", 6)), back), 0);
    EXPECT_EQ(back.view(), "A\xC3\xA9\xEA\xB0\x80");
    // A value without a CP949 code becomes '?'.
    ASSERT_EQ(UUnicode::Unicode2KSC(bs(std::string("\x00\x01", 2)), back), 0);
    EXPECT_EQ(back.view(), "?");
}
