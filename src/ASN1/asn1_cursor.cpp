#include "ASN1/asn1_cursor.h"

namespace qelt::asn1 {

bool classifyIdentifier(uint8_t octet, Identifier& out) {
    out.classBits = static_cast<uint8_t>(octet & 0xE0);
    const int low = octet & 0x1F;
    if (octet >= 0x40) {
        out.tagNo = low;
        if (low == 31)
            out.mode = kHighTag;
        else
            out.mode = (octet & 0x20) ? kExplicit : kImplicit;
        return true;
    }
    out.mode = kUniversal;
    out.tagNo = low;
    // 13, 14 and 15 are unassigned, 29 is CHARACTER STRING, which this engine
    // does not know, and 31 announces a high tag, which no universal type uses.
    return !(low == 13 || low == 14 || low == 15 || low == 29 || low == 31);
}

size_t readHighTag(std::span<const uint8_t> in, int& tagNo, HighTagFault& fault) {
    // The identifier octet and at most three tag-number octets: the largest
    // tag number is therefore 2^21 - 1.
    tagNo = 0;
    fault = HighTagFault::None;
    size_t pos = 1;
    for (;;) {
        if (pos >= in.size()) {
            fault = HighTagFault::Truncated;
            return 0;
        }
        if (pos > 3) {
            fault = HighTagFault::TooLong;
            return 0;
        }
        const uint8_t b = in[pos++];
        if (pos == 2 && b == 0x80) {
            fault = HighTagFault::NotMinimal;
            return 0;
        }
        tagNo = (tagNo << 7) | (b & 0x7F);
        if ((b & 0x80) != 0) continue;
        if (tagNo < 31) {
            fault = HighTagFault::NotMinimal;
            return 0;
        }
        return pos;
    }
}

LengthFault readLength(std::span<const uint8_t> in, size_t pos, Length& out) {
    out = Length{};
    if (pos >= in.size()) return LengthFault::Missing;
    const uint8_t first = in[pos];
    if (first < 0x80) {
        out.octets = 1;
        out.value = first;
        return LengthFault::None;
    }
    if (first == 0x80) {
        out.octets = 1;
        out.indefinite = true;
        return LengthFault::None;
    }
    const size_t n = first & 0x7F;
    if (n > 4 || n > in.size() - pos - 1) return LengthFault::BadLongForm;
    size_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | in[pos + 1 + i];
    out.octets = 1 + n;
    out.value = v;
    return LengthFault::None;
}

EndFault findIndefiniteEnd(std::span<const uint8_t> c, size_t& contentLen, int depth) {
    if (depth >= kMaxNestingDepth) return EndFault::TooDeep;
    const size_t size = c.size();
    size_t p = 0;
    while (p + 1 < size) {
        if (c[p] == 0 && c[p + 1] == 0) {
            contentLen = p;
            return EndFault::None;
        }
        Identifier id;
        if (!classifyIdentifier(c[p], id)) return EndFault::BadTag;
        if (id.mode == kHighTag) {
            int tagNo = 0;
            HighTagFault hf;
            const size_t used = readHighTag(c.subspan(p), tagNo, hf);
            if (used == 0) return EndFault::BadHighTag;
            p += used;
        } else {
            p += 1;
        }
        Length len;
        if (readLength(c, p, len) != LengthFault::None) return EndFault::NotFound;
        p += len.octets;
        if (len.indefinite) {
            size_t nested = 0;
            const EndFault f = findIndefiniteEnd(c.subspan(p), nested, depth + 1);
            if (f == EndFault::TooDeep) return f;
            if (f != EndFault::None) return EndFault::NestedFailed;
            if (nested + 2 > size - p) return EndFault::NestedOverrun;
            p += nested + 2;
        } else {
            if (len.value > size - p) return EndFault::NotFound;
            p += len.value;
        }
    }
    return EndFault::NotFound;
}

bool scanElement(std::span<const uint8_t> in, ElementBounds& out, int depth) {
    out = ElementBounds{};
    if (in.empty() || !classifyIdentifier(in[0], out.id)) return false;
    size_t pos = 1;
    if (out.id.mode == kHighTag) {
        HighTagFault hf;
        pos = readHighTag(in, out.id.tagNo, hf);
        if (pos == 0) return false;
    }
    Length len;
    if (readLength(in, pos, len) != LengthFault::None) return false;
    pos += len.octets;
    out.headerLen = pos;
    out.indefinite = len.indefinite;
    if (len.indefinite) {
        if (findIndefiniteEnd(in.subspan(pos), out.contentLen, depth) != EndFault::None) return false;
        if (out.contentLen + 2 > in.size() - pos) return false;
        out.totalLen = pos + out.contentLen + 2;
        return true;
    }
    if (len.value > in.size() - pos) return false;
    out.contentLen = len.value;
    out.totalLen = pos + len.value;
    return true;
}

bool readLeadingIntegers(std::span<const uint8_t> in, std::span<std::span<const uint8_t>> ints,
                         std::span<const uint8_t>& after, size_t& sequenceLen) {
    constexpr uint8_t kSequence = 0x30, kInteger = 0x02;
    ElementBounds outer;
    if (in.empty() || in[0] != kSequence || !scanElement(in, outer) || outer.indefinite) return false;
    after = in.subspan(outer.headerLen, outer.contentLen);
    for (std::span<const uint8_t>& content : ints) {
        ElementBounds e;
        if (after.empty() || after[0] != kInteger || !scanElement(after, e) || e.indefinite) return false;
        content = after.subspan(e.headerLen, e.contentLen);
        after = after.subspan(e.totalLen);
    }
    sequenceLen = outer.totalLen;
    return true;
}

}  // namespace qelt::asn1
