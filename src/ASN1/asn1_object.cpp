#include "ASN1/asn1_object.h"

#include <cstring>

namespace qelt {

using namespace asn1;

namespace {
constexpr const char* kCls = "ASN1Object";

// Octets of a tag number written in base 128.
size_t base128Count(uint32_t v) {
    size_t n = 1;
    while (v >>= 7) ++n;
    return n;
}
void appendBase128(ByteString& out, uint32_t v) {
    const size_t n = base128Count(v);
    for (size_t i = n; i-- > 0;) {
        uint8_t digit = static_cast<uint8_t>((v >> (7 * i)) & 0x7F);
        if (i != 0) digit |= 0x80;
        out.append(digit);
    }
}
}  // namespace

size_t lengthOctetCount(size_t len) {
    if (len < 128) return 1;
    size_t n = 0;
    for (size_t v = len; v; v >>= 8) ++n;
    return 1 + n;
}

size_t writeLengthOctets(uint8_t* out, size_t len) {
    if (len < 128) {
        out[0] = static_cast<uint8_t>(len);
        return 1;
    }
    const size_t n = lengthOctetCount(len) - 1;
    out[0] = static_cast<uint8_t>(0x80 + n);
    for (size_t i = 0; i < n; ++i) out[1 + i] = static_cast<uint8_t>(len >> (8 * (n - 1 - i)));
    return 1 + n;
}

ByteString derElement(uint8_t tag, std::initializer_list<std::span<const uint8_t>> parts) {
    size_t length = 0;
    for (const auto& part : parts) length += part.size();
    uint8_t head[1 + kMaxLengthOctets] = {tag};
    const size_t headLength = 1 + writeLengthOctets(head + 1, length);
    ByteString out;
    if (out.allocZero(static_cast<int>(headLength + length)) != 0) return out;
    out.append(head, static_cast<int>(headLength));
    for (const auto& part : parts) out.append(part.data(), static_cast<int>(part.size()));
    return out;
}

// In one append: a byte string without room to spare grows once, not once per octet.
void appendLengthOctets(ByteString& out, size_t len) {
    uint8_t octets[kMaxLengthOctets];
    out.append(octets, static_cast<int>(writeLengthOctets(octets, len)));
}

void ASN1Object::clearDecodedState() {
    m_ucPrimitiveTag = m_ucInitialTag;
    m_ucTaggedType = kUniversal;
    m_nOptionTagNo = -1;
    m_ucClass = 0;
    m_ucConstructed = 0;
    m_nErrorCode = 0;
    m_bsValue.clear();
}

void ASN1Object::reset() {
    clearDecodedState();
    m_bsEncoded.clear();
    m_ErrorChain.clear();
}

void ASN1Object::setTagging(uint8_t taggedType, int optionTagNo, uint8_t cls) {
    m_ucTaggedType = taggedType;
    m_nOptionTagNo = optionTagNo;
    m_ucClass = cls;
}

void ASN1Object::setImplicitTag(int tagNo, uint8_t cls) { setTagging(kImplicit, tagNo, cls); }

void ASN1Object::setExplicitTag(int tagNo, uint8_t cls) {
    setTagging(kExplicit, tagNo, static_cast<uint8_t>(cls | 0x20));
}

int ASN1Object::setValue(const ByteString& value) {
    m_bsValue.assign(value);
    return 0;
}

int ASN1Object::setValue(const void* data, int len) {
    m_bsValue.set(data, len);
    return 0;
}

int ASN1Object::setValue(const char* text) {
    return ASN1Object::setValue(text, text == nullptr ? 0 : static_cast<int>(std::strlen(text)));
}

const ByteString& ASN1Object::toASN1Object() {
    m_nErrorCode = 0;
    m_bsEncoded.clear();
    // An object without a universal type has no inner identifier to write.
    // The explicitly tagged variant of that case would produce an element with
    // a missing inner header, so it is refused like the others.
    if (m_ucPrimitiveTag == kTagUnset) {
        fail(kCls, "toASN1Object", "m_ucTaggedType", 1, "ASN1 Format Error");
        return m_bsEncoded;
    }
    const bool constructedType = m_ucPrimitiveTag == kTagSequence || m_ucPrimitiveTag == kTagSet;
    const uint8_t innerId =
        static_cast<uint8_t>(m_ucPrimitiveTag | ((constructedType || m_ucConstructed == 0x20) ? 0x20 : 0));
    const size_t valueLen = static_cast<size_t>(m_bsValue.length());
    const size_t innerLen = 1 + lengthOctetCount(valueLen) + valueLen;

    if (m_ucTaggedType == kUniversal) {
        m_bsEncoded.allocZero(static_cast<int>(innerLen));
        m_bsEncoded.append(innerId);
        appendLengthOctets(m_bsEncoded, valueLen);
        m_bsEncoded.append(m_bsValue);
        return m_bsEncoded;
    }
    if (m_nOptionTagNo < 0) {
        fail(kCls, "toASN1Object", "m_nOptionTagNo", 2, "ASN1 Format Error");
        return m_bsEncoded;
    }
    const bool implicit = m_ucTaggedType == kImplicit;
    uint8_t classOctet = m_ucClass;
    if (implicit && constructedType) classOctet |= 0x20;
    const bool high = m_nOptionTagNo >= 31;
    const size_t outerIdLen = high ? 1 + base128Count(static_cast<uint32_t>(m_nOptionTagNo)) : 1;
    const size_t total = implicit ? outerIdLen + (innerLen - 1) : outerIdLen + lengthOctetCount(innerLen) + innerLen;
    m_bsEncoded.allocZero(static_cast<int>(total));
    if (high) {
        m_bsEncoded.append(static_cast<uint8_t>(classOctet | 0x1F));
        appendBase128(m_bsEncoded, static_cast<uint32_t>(m_nOptionTagNo));
    } else {
        m_bsEncoded.append(static_cast<uint8_t>(classOctet | m_nOptionTagNo));
    }
    if (!implicit) {
        appendLengthOctets(m_bsEncoded, innerLen);
        m_bsEncoded.append(innerId);
    }
    appendLengthOctets(m_bsEncoded, valueLen);
    m_bsEncoded.append(m_bsValue);
    return m_bsEncoded;
}

bool ASN1Object::checkASN1Member(uint8_t octet, Identifier& id) {
    if (classifyIdentifier(octet, id)) return true;
    ByteString msg;
    msg.format("Tag(%d) is not  ASN1 Member", octet & 0x1F);
    location(kCls, "checkASN1Member", "ucTag", 1, msg.c_str());
    return false;
}

size_t ASN1Object::getHighTag(std::span<const uint8_t> in, int& tagNo) {
    HighTagFault fault;
    const size_t used = readHighTag(in, tagNo, fault);
    if (fault == HighTagFault::TooLong) location(kCls, "getHighTag", "nTagValue", 1, "Too Long(>4)");
    if (fault == HighTagFault::Truncated) location(kCls, "getHighTag", "nRemainLen", 1, "Length error.");
    if (fault == HighTagFault::NotMinimal)
        location(kCls, "getHighTag", "nTagValue", 1, "Tag number not in its shortest form");
    return used;
}

int ASN1Object::readContent(std::span<const uint8_t> in, size_t pos, const LengthCodes& codes,
                            std::span<const uint8_t>& content) {
    Length len;
    const LengthFault lf = readLength(in, pos, len);
    if (lf == LengthFault::Missing) return fail(kCls, "fromASN1Object", "nRemainLen", codes.missing, "Wrong length.");
    if (lf == LengthFault::BadLongForm)
        return fail(kCls, "fromASN1Object", "pRemainLen", codes.longForm, "Wrong length.");
    const size_t start = pos + len.octets;
    const size_t rest = in.size() - start;
    if (len.indefinite) {
        size_t contentLen = 0;
        const EndFault ef = findIndefiniteEnd(in.subspan(start), contentLen);
        if (ef != EndFault::None) {
            location(kCls, "findIndefiniteLengthEnd", "nLen", static_cast<int>(ef),
                     ef == EndFault::TooDeep ? "Too deep nesting of indefinite lengths"
                                             : "Error at finding Indefinitive Length End(0x00 0x00)");
            return fail(kCls, "fromASN1Object", "Value Length", codes.endSearch, m_ErrorChain.c_str());
        }
        if (contentLen + 2 > rest)
            return fail(kCls, "fromASN1Object", "nValueLen", codes.endOverrun, "ASN1 Format(Length) Error");
        content = in.subspan(start, contentLen);
        return 0;
    }
    if (len.value > rest) {
        const int code = len.octets > 1 ? codes.longOverrun : codes.shortOverrun;
        return fail(kCls, "fromASN1Object", "nValueLen", code, "ASN1 Format(Length) Error");
    }
    content = in.subspan(start, len.value);
    return 0;
}

int ASN1Object::fromASN1Object(Asn1Input input) {
    std::span<const uint8_t> in = input.bytes();
    clearDecodedState();

    if (in.data() == nullptr || in.empty())
        return fail(kCls, "fromASN1Object", "baData", 1, "The bsData is NULL pointer.");
    if (in.size() < 2) return fail(kCls, "fromASN1Object", "nRemainLen", 1, "ASN1 Format(Length) Error");

    Identifier id;
    if (!checkASN1Member(in[0], id)) return fail(kCls, "fromASN1Object", "checkASN1Member", 2, m_ErrorChain.c_str());
    m_ucTaggedType = id.mode;
    m_ucClass = id.classBits;
    if (id.mode == kUniversal)
        m_ucPrimitiveTag = static_cast<uint8_t>(id.tagNo);
    else
        m_nOptionTagNo = id.tagNo;

    size_t pos = 0;  // offset of the identifier octet still to skip, or past it
    bool idConsumed = false;
    if (id.mode == kHighTag) {
        const size_t used = getHighTag(in, m_nOptionTagNo);
        if (used == 0) return fail(kCls, "fromASN1Object", "GetHighTag", 3, m_ErrorChain.c_str());
        pos = used;
        idConsumed = true;
        m_ucTaggedType = in[0] == 0xBF ? kExplicit : kImplicit;
    }
    if (m_bExpectImplicit && m_ucTaggedType == kExplicit) m_ucTaggedType = kImplicit;

    if (m_ucTaggedType == kExplicit) {
        if (!idConsumed) pos = 1;
        std::span<const uint8_t> outer;
        static constexpr LengthCodes kOuter{4, 5, 5, 6, 7, 7};
        if (const int rc = readContent(in, pos, kOuter, outer)) return rc;
        if (outer.empty()) return 0;
        if (outer.size() < 2) return fail(kCls, "fromASN1Object", "nRemainLen", 7, "Wrong length.");
        Identifier inner;
        if (!checkASN1Member(outer[0], inner))
            return fail(kCls, "fromASN1Object", "checkASN1Member", 8, m_ErrorChain.c_str());
        if (inner.mode != kUniversal) {
            // A tagged element inside the explicit tag: the content is kept
            // whole for the caller to decode. The element is then in effect
            // [n] IMPLICIT over that content, and is recorded so, so that
            // encoding writes back the element that was read.
            m_bsValue.set(outer.data(), static_cast<int>(outer.size()));
            m_ucTaggedType = kImplicit;
            m_ucConstructed = 0x20;
            return 0;
        }
        m_ucConstructed = outer[0] & 0x20;
        m_ucPrimitiveTag = static_cast<uint8_t>(inner.tagNo);
        in = outer;  // continue on the inner element, bounded by the outer content
        pos = 0;
        idConsumed = false;
    } else {
        m_ucConstructed = in[0] & 0x20;
    }

    if (m_ucTaggedType != kImplicit && m_ucPrimitiveTag == kTagUnset) m_ucPrimitiveTag = in[pos] & 0x1F;
    if (!idConsumed) pos += 1;

    std::span<const uint8_t> content;
    static constexpr LengthCodes kInner{4, 9, 10, 11, 12, 7};
    if (const int rc = readContent(in, pos, kInner, content)) return rc;
    m_bsValue.set(content.data(), static_cast<int>(content.size()));
    return 0;
}

int ASN1Object::decodeTyped(Asn1Input in, uint8_t tag, const char* cls, const char* tagMessage) {
    if (ASN1Object::fromASN1Object(in) != 0)
        return fail(cls, "fromASN1Object", "ASN1Object::fromASN1Object", 1, m_ErrorChain.c_str());
    if (m_ucTaggedType == kImplicit) {
        m_ucPrimitiveTag = tag;
    } else if (m_ucPrimitiveTag != tag) {
        ByteString msg;
        msg.format(tagMessage, m_ucPrimitiveTag);
        return fail(cls, "fromASN1Object", "m_ucPrimitiveTag", 2, msg.c_str());
    }
    return 0;
}

}  // namespace qelt
