// Code-page conversions between CP949 (the local code page of names and
// messages), UCS-2 little-endian (the content of BMPString) and UTF-8 (the
// content of UTF8String).
//
// The library's own rules differ from a general converter's: UTF-8 input is
// read for ASCII and the Hangul syllables only, and every other byte becomes
// one '?'; CP949 two-byte codes outside 0x8141..0xC8FE (the Hanja rows among
// them) are not converted.
#pragma once

#include "util/byte_string.h"

namespace qelt {

class UUnicode {
public:
    enum Result : int { kOk = 0, kOddLength = 1, kUnmapped = 2, kNoRoom = 3 };

    // CP949 -> UCS-2 LE. kUnmapped for a two-byte code outside the table (or
    // without a character in it, or cut off at the end of the input).
    static int KSC2Unicode(const ByteString& cp949, ByteString& ucs2);
    // UCS-2 LE -> CP949. Values without a CP949 code become '?'. kOddLength for an odd input.
    static int Unicode2KSC(const ByteString& ucs2, ByteString& cp949);
    // BMPString content (UCS-2 big-endian, as DER carries it) -> CP949 through
    // Unicode2KSC. kOddLength for an odd input.
    static int BMP2KSC(const ByteString& bmp, ByteString& cp949);
    // UCS-2 LE -> UTF-8 (one to three bytes per value). kOddLength for an odd input.
    static int Unicode2UTF8(const ByteString& ucs2, ByteString& utf8);
};

class UUTF8String {
public:
    // UTF-8 -> UCS-2 LE: ASCII and Hangul syllables; any other byte gives one '?'.
    static int UTF8ToUnicode(const ByteString& utf8, ByteString& ucs2);
    // UTF-8 -> CP949 through UCS-2.
    static int UTF8ToKSC(const ByteString& utf8, ByteString& cp949);
    // CP949 -> UTF-8 through UCS-2: 1 when the first step fails, 2 when the second does.
    static int KSCToUTF8(const ByteString& cp949, ByteString& utf8);
};

}  // namespace qelt
