#include "ASN1/asn1_types.h"

#include <charconv>
#include <cstring>

namespace qelt {

using namespace asn1;

// ---- BOOLEAN

int ASN1Boolean::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, kTagBoolean, "ASN1Boolean", "TagType(%d) is not ASN1_TAG_BOOLEAN");
}

void ASN1Boolean::setBoolean(int value) { m_bsValue.assign(static_cast<uint8_t>(value > 0 ? 0xFF : 0x00)); }

bool ASN1Boolean::getBoolean() const { return m_bsValue.length() > 0 && m_bsValue.data()[0] == 0xFF; }

// ---- INTEGER, ENUMERATED

int ASN1Integer::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, kTagInteger, "ASN1Integer", "TagType(%d)is not ASN1_TAG_INTEGER");
}

int ASN1Enumerated::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, kTagEnumerated, "ASN1Enumerated", "TagType(%d) is not ASN1_TAG_ENUMERATED.");
}

void ASN1Integer::setInteger(int value) {
    uint8_t buf[5];
    int n = 0;
    // Big-endian octets of the two's complement, then drop the redundant
    // leading ones: 00 before a clear top bit, FF before a set top bit.
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = 3; i >= 0; --i) buf[n++] = static_cast<uint8_t>(u >> (8 * i));
    int start = 0;
    while (start < 3) {
        const uint8_t lead = buf[start], next = buf[start + 1];
        if ((lead == 0x00 && next < 0x80) || (lead == 0xFF && next >= 0x80))
            ++start;
        else
            break;
    }
    m_bsValue.set(buf + start, n - start);
}

void ASN1Integer::setInteger(const uint8_t* bytes, int len, int signFlag) {
    m_bsValue.clear();
    if (bytes == nullptr || len < 1) return;
    if (signFlag == 0 && bytes[0] >= 0x80) m_bsValue.append(static_cast<uint8_t>(0x00));
    if (signFlag == -1 && bytes[0] < 0x80) m_bsValue.append(static_cast<uint8_t>(0xFF));
    m_bsValue.append(bytes, len);
}

int ASN1Integer::getInteger() const {
    const int n = m_bsValue.length();
    if (n == 0 || n >= 5) return 0;
    const uint8_t* p = m_bsValue.data();
    uint32_t v = p[0] >= 0x80 ? 0xFFFFFFFFu : 0u;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return static_cast<int>(v);
}

int ASN1Integer::getInteger(ByteString& out, int raw) const {
    out.clear();
    const int n = m_bsValue.length();
    if (n == 0) return 0;
    const uint8_t* p = m_bsValue.data();
    const int sign = p[0] >= 0x80 ? -1 : 0;
    const int skip = (raw == 0 && n > 1 && (p[0] == 0x00 || p[0] == 0xFF)) ? 1 : 0;
    out.set(p + skip, n - skip);
    return sign;
}

// ---- BIT STRING

int ASN1BitString::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, kTagBitString, "ASN1BitString", "TagType(%d) is not ASN1_TAG_BITSTRING");
}

int ASN1BitString::setBitString(const uint8_t* bytes, int len, int namedBits) {
    if (bytes == nullptr || len < 0) len = 0;
    int unused = 0;
    if (namedBits == 1) {
        // Named bit lists drop trailing zero bits (DER).
        while (len > 0 && bytes[len - 1] == 0) --len;
        if (len == 0) return fail("ASN1BitString", "setBitString", "nLen", 1, "The input data value is null.");
        for (uint8_t last = bytes[len - 1]; (last & 1) == 0; last >>= 1) ++unused;
    }
    m_bsValue.assign(static_cast<uint8_t>(unused));
    m_bsValue.append(bytes, len);
    return 0;
}

const ByteString& ASN1BitString::getBitString(int& unusedBits) {
    m_nErrorCode = 0;
    m_bsEncoded.clear();
    unusedBits = 0;
    if (m_bsValue.isEmpty()) {
        fail("ASN1BitString", "getBitString", "m_bsValue", 1, "ASN1BitString Format Error(Length = 0)");
        return m_bsEncoded;
    }
    unusedBits = m_bsValue.data()[0];
    m_bsEncoded.set(m_bsValue.data() + 1, m_bsValue.length() - 1);
    return m_bsEncoded;
}

// ---- OCTET STRING

int ASN1OctetString::fromASN1Object(Asn1Input in) {
    if (const int rc = decodeTyped(in, kTagOctetString, "ASN1OctetString", "TagType(%d)is not ASN1_TAG_OCTETSTRING"))
        return rc;
    if (m_ucConstructed == 0x20 && extractValue() != 0)
        return fail("ASN1OctetString", "fromASN1Object", "extractValue", 3, m_ErrorChain.c_str());
    return 0;
}

int ASN1OctetString::extractValue() {
    // A constructed (BER) OCTET STRING: primitive segments joined in order.
    const ByteString segments(m_bsValue);
    const std::span<const uint8_t> v = segments.bytes();
    ByteString joined;
    size_t p = 0;
    while (p < v.size()) {
        if (v[p] != 0x04) {
            ByteString msg;
            msg.format("TagType(%d)is not ASN1_TAG_OCTETSTRING", v[p] & 0x1F);
            return location("ASN1OctetString", "extractValue", "Value", 1, msg.c_str());
        }
        Length len;
        if (readLength(v, p + 1, len) != LengthFault::None || len.indefinite ||
            len.value > v.size() - p - 1 - len.octets)
            return location("ASN1OctetString", "extractValue", "nLength", 2, "Wrong length.");
        joined.append(v.data() + p + 1 + len.octets, static_cast<int>(len.value));
        p += 1 + len.octets + len.value;
    }
    // The joined octets are the value from now on: it is written back as one
    // primitive (DER) OCTET STRING, not as segments it no longer holds.
    m_bsValue.assign(joined);
    m_ucConstructed = 0;
    return 0;
}

// ---- NULL

int ASN1Null::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, kTagNull, "ASN1Null", "TagType(%d)is not ASN1_TAG_NULLTAG");
}

// ---- OBJECT IDENTIFIER

namespace {
constexpr int kMaxOidArcs = 19;
constexpr const char* kOidClass = "ASN1ObjectIdentifier";

// Appends v in base 128, high groups first, to out at `at`; the new end.
size_t putSubidentifier(uint8_t* out, size_t at, uint64_t v) {
    uint8_t tmp[10];
    int n = 0;
    do {
        tmp[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n-- > 0) out[at++] = static_cast<uint8_t>(tmp[n] | (n > 0 ? 0x80 : 0));
    return at;
}
}  // namespace

ASN1ObjectIdentifier::ASN1ObjectIdentifier(const char* text) : ASN1ObjectIdentifier() { m_nErrorCode = setOID(text); }

int ASN1ObjectIdentifier::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, kTagOid, kOidClass, "TagType(%d) is not ASN1_TAG_OID");
}

int ASN1ObjectIdentifier::setOID(const char* text) {
    return setOID(text, text == nullptr ? 0 : static_cast<int>(std::strlen(text)));
}

int ASN1ObjectIdentifier::setOID(const char* text, int len) {
    // Parsed straight from the text and encoded on the stack: identifiers are
    // set on every record a message builds, and each heap copy shows.
    if (text == nullptr || len < 0) len = 0;
    uint64_t arcs[kMaxOidArcs];
    int count = 0;
    bool inDigits = false;
    uint64_t current = 0;
    auto refuse = [&](int code) {
        ByteString msg;
        msg.format("Value(%s) is not ASN1 OID Format", ByteString(text, len).c_str());
        return fail(kOidClass, "setOID", "nOID", code, msg.c_str());
    };
    for (int i = 0; i <= len; ++i) {
        const char c = i < len ? text[i] : '\0';  // anything but a digit separates arcs
        if (c >= '0' && c <= '9') {
            // Arcs beyond 64 bits are clamped; no real identifier comes near.
            current = current > (UINT64_MAX / 16) ? current : current * 10 + static_cast<uint64_t>(c - '0');
            inDigits = true;
            continue;
        }
        if (inDigits) {
            if (count == kMaxOidArcs) return refuse(2);
            arcs[count++] = current;
            current = 0;
            inDigits = false;
        }
    }
    if (count < 2) return refuse(3);
    uint8_t content[kMaxOidArcs * 10];
    size_t n = putSubidentifier(content, 0, 40 * arcs[0] + arcs[1]);
    for (int i = 2; i < count; ++i) n = putSubidentifier(content, n, arcs[i]);
    m_bsValue.set(content, static_cast<int>(n));
    m_nErrorCode = 0;
    return 0;
}

const ByteString& ASN1ObjectIdentifier::getOID(char separator) {
    m_nErrorCode = 0;
    m_bsEncoded.clear();
    const std::span<const uint8_t> v = m_bsValue.bytes();
    if (v.empty()) {
        fail(kOidClass, "getOID", "nOID", 2, "ASN1 OID Format Error");
        return m_bsEncoded;
    }
    uint32_t subs[kMaxOidArcs];
    int count = 0;
    size_t p = 0;
    while (p < v.size()) {
        uint32_t value = 0;
        int octets = 0;
        bool done = false;
        while (p < v.size() && octets < 4) {
            const uint8_t b = v[p++];
            ++octets;
            value = (value << 7) | (b & 0x7F);
            if ((b & 0x80) == 0) {
                done = true;
                break;
            }
        }
        if (!done || count == kMaxOidArcs) {
            fail(kOidClass, "getOID", "nOID", 1, "ASN1 OID Format Error");
            m_bsEncoded.clear();
            return m_bsEncoded;
        }
        subs[count++] = value;
    }
    // Written straight into one buffer: certificate and key handling ask for
    // the text of several identifiers per call.
    char text[kMaxOidArcs * 11 + 12];
    char* w = text;
    char* const end = text + sizeof text;
    auto put = [&](uint32_t number) { w = std::to_chars(w, end, number).ptr; };
    const uint32_t first = subs[0];
    put(first < 80 ? first / 40 : 2);
    *w++ = separator;
    put(first < 80 ? first % 40 : first - 80);
    for (int i = 1; i < count; ++i) {
        *w++ = separator;
        put(subs[i]);
    }
    m_bsEncoded.set(text, static_cast<int>(w - text));
    return m_bsEncoded;
}

bool ASN1ObjectIdentifier::is(const char* text) const {
    ASN1ObjectIdentifier other;
    return other.setOID(text) == 0 && other.m_bsValue == m_bsValue;
}

// ---- character strings

namespace {
bool isAlnum(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
bool printableChar(uint8_t c) { return isAlnum(c) || (c != 0 && std::strchr(" '()+,-./:=?", c) != nullptr); }
bool ia5Char(uint8_t c) { return c >= 0x20 && c <= 0x7E; }
bool numericChar(uint8_t c) { return (c >= '0' && c <= '9') || c == ' '; }
bool visibleChar(uint8_t c) {
    return isAlnum(c) || (c != 0 && std::strchr(" \"!%&'()*+,-./:;<=>?@\\^_|~", c) != nullptr);
}
}  // namespace

const ASN1String::Kind ASN1UTF8String::kKind{kTagUtf8String, "ASN1UTF8String", "Tag(%0x2d) is not ASN1_TAG_UTF8STRING",
                                             nullptr, nullptr};
const ASN1String::Kind ASN1PrintableString::kKind{kTagPrintableString, "ASN1PrintableString",
                                                  "TagType(%d)is not ASN1_TAG_PRINTABLESTRING", printableChar,
                                                  "Value(%x)is not ASN1PrintableString"};
const ASN1String::Kind ASN1T61String::kKind{kTagT61String, "ASN1T61String", "TagType(%d) is not ASN1_TAG_T61STRING",
                                            nullptr, nullptr};
const ASN1String::Kind ASN1IA5String::kKind{kTagIa5String, "ASN1IA5String", "TagType(%d)is not ASN1_TAG_IA5STRING",
                                            ia5Char, "Value(%x)is not ASN1IA5String"};
const ASN1String::Kind ASN1VisibleString::kKind{kTagVisibleString, "ASN1VisibleString",
                                                "Tag(%0x2d) is not ASN1_TAG_VISIBLESTRING", visibleChar,
                                                "Char (%0x2d)does not in ASN1_TAG_VISIBLESTRING"};
const ASN1String::Kind ASN1BMPString::kKind{kTagBmpString, "ASN1BMPString", "TagType(%d) is not ASN1_TAG_BMPSTRING",
                                            nullptr, nullptr};

int ASN1String::fromASN1Object(Asn1Input in) {
    return decodeTyped(in, m_pKind->tag, m_pKind->cls, m_pKind->tagMessage);
}

int ASN1String::setValue(const void* data, int len) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (m_pKind->allowed != nullptr && p != nullptr) {
        for (int i = 0; i < len; ++i) {
            if (!m_pKind->allowed(p[i])) {
                ByteString msg;
                msg.format(m_pKind->charMessage, p[i]);
                return fail(m_pKind->cls, "setValue", "data", 1, msg.c_str());
            }
        }
    }
    m_bsValue.set(data, len);
    m_nErrorCode = 0;
    return 0;
}

int ASN1String::setValue(const ByteString& value) { return setValue(value.data(), value.length()); }

int ASN1String::setValue(const char* text) {
    return setValue(text, text == nullptr ? 0 : static_cast<int>(std::strlen(text)));
}

const ASN1String::Kind ASN1NumericString::kKind{kTagNumericString, "ASN1NumericString",
                                                "TagType(%d)is not ASN1_TAG_NUMERICSTRING", numericChar,
                                                "Value(%x)is not ASN1NumericString"};

// ---- open types

void ASN1Any::reset() {
    m_bsEncoded.clear();
    m_nErrorCode = 0;
    m_ErrorChain.clear();
}

int ASN1Any::fromASN1Object(Asn1Input input) {
    const auto in = input.bytes();
    m_bsEncoded.clear();
    m_nErrorCode = 0;
    ElementBounds b;
    if (!scanElement(in, b)) return fail("ASN1Any", "fromASN1Object", "baData", 1, "ASN1 Format(Length) Error");
    m_bsEncoded.set(in.data(), static_cast<int>(b.totalLen));
    return 0;
}

}  // namespace qelt
