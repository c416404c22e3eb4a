// Bounded reading of BER elements.
//
// Every read of the ASN.1 engine goes through these helpers: they look only at
// the span they are given and check each length against the octets that remain
// before using it, so no decoder can run past its input. Walking nested
// indefinite lengths is recursive and stops at kMaxNestingDepth levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qelt::asn1 {

// Deepest nesting of indefinite-length elements the engine walks. Real
// messages stay far below it; a crafted one cannot exhaust the stack.
inline constexpr int kMaxNestingDepth = 64;

// Tagging modes of an identifier octet.
enum TaggedType : uint8_t { kUniversal = 0, kImplicit = 1, kExplicit = 2, kHighTag = 3 };

// Universal tag numbers used by the record checks.
enum UniversalTag : uint8_t {
    kTagBoolean = 1,
    kTagInteger = 2,
    kTagBitString = 3,
    kTagOctetString = 4,
    kTagNull = 5,
    kTagOid = 6,
    kTagEnumerated = 10,
    kTagUtf8String = 12,
    kTagSequence = 16,
    kTagSet = 17,
    kTagNumericString = 18,
    kTagPrintableString = 19,
    kTagT61String = 20,
    kTagIa5String = 22,
    kTagUtcTime = 23,
    kTagGeneralizedTime = 24,
    kTagVisibleString = 26,
    kTagUniversalString = 28,
    kTagBmpString = 30,
    kTagUnset = 255,
};

// The reading of one identifier octet.
struct Identifier {
    uint8_t classBits = 0;  // octet & 0xE0: class and constructed bit
    uint8_t mode = kUniversal;
    int tagNo = 0;  // universal tag number, or the context tag number (low form)
};

// Classifies an identifier octet. False for a universal tag number that is
// not an ASN.1 member (13, 14, 15, 29, 31).
bool classifyIdentifier(uint8_t octet, Identifier& out);

enum class HighTagFault { None, TooLong, Truncated, NotMinimal };
// Reads a high tag number starting at the identifier octet in[0]. Returns the
// number of identifier octets (1 + tag-number octets), 0 on a fault. The
// number must need the high form (31 and above) and be written without a
// leading 0x80 octet: any other spelling of a tag would be read one way and
// written back another.
size_t readHighTag(std::span<const uint8_t> in, int& tagNo, HighTagFault& fault);

enum class LengthFault { None, Missing, BadLongForm };
struct Length {
    size_t octets = 0;  // octets of the length field
    size_t value = 0;   // content length (definite forms)
    bool indefinite = false;
};
// Reads the length field at in[pos]. A long form may use at most four length
// octets, and they must all lie inside `in`.
LengthFault readLength(std::span<const uint8_t> in, size_t pos, Length& out);

enum class EndFault { None, BadTag, BadHighTag, NestedFailed, NestedOverrun, NotFound, TooDeep };
// Finds where the content after an indefinite length octet ends (the offset of
// its two end-of-contents octets), walking nested elements.
EndFault findIndefiniteEnd(std::span<const uint8_t> content, size_t& contentLen, int depth = 0);

// Header and full size of the element that starts at in[0], without checking
// anything beyond its bounds. False when the element does not fit in `in`.
struct ElementBounds {
    Identifier id;
    size_t headerLen = 0;   // identifier and length octets
    size_t contentLen = 0;  // content octets (without end-of-contents octets)
    size_t totalLen = 0;    // whole element, end-of-contents octets included
    bool indefinite = false;
};
bool scanElement(std::span<const uint8_t> in, ElementBounds& out, int depth = 0);

// Reads a definite-length SEQUENCE at in[0] that opens with definite-length
// INTEGERs (as an RSA key does): the contents of the first ints.size()
// of them into `ints`, what follows them inside the SEQUENCE into `after`,
// and the SEQUENCE's whole size into `sequenceLen`. False when `in` does not
// start so.
bool readLeadingIntegers(std::span<const uint8_t> in, std::span<std::span<const uint8_t>> ints,
                         std::span<const uint8_t>& after, size_t& sequenceLen);

}  // namespace qelt::asn1
