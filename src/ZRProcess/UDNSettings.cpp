#include "ZRProcess/UDNSettings.h"

#include <array>
#include <cstring>
#include <vector>

#include "ZRProcess/UUnicode.h"

namespace qelt {

namespace {

struct AttributeName {
    const char* oid;
    const char* name;
};
constexpr AttributeName kAttributeNames[] = {
    {"2 5 4 6", "c"},
    {"2 5 4 10", "o"},
    {"2 5 4 11", "ou"},
    {"2 5 4 3", "cn"},
    {"2 5 4 7", "l"},
    {"1 2 840 113549 1 9 1", "e"},
    {"2 5 4 8", "s"},
    {"2 5 4 9", "street"},
    {"2 5 4 4", "sn"},
    {"2 5 4 5", "serialNumber"},
    {"2 5 4 12", "title"},
    {"2 5 4 15", "businessCategory"},
    {"2 5 4 42", "givenName"},
    {"2 5 4 43", "initials"},
    {"2 5 4 44", "generationQualifier"},
    {"2 5 4 46", "dnQualifier"},
    {"0 9 2342 19200300 100 1 25", "dc"},
};

// The content octets of each attribute type above, encoded once so that a
// lookup is a byte comparison rather than a text conversion.
const std::vector<ByteString>& attributeTypeContents() {
    static const std::vector<ByteString> contents = [] {
        std::vector<ByteString> v;
        for (const AttributeName& a : kAttributeNames) v.push_back(ASN1ObjectIdentifier(a.oid).getValue());
        return v;
    }();
    return contents;
}

bool isStringTag(int tag) { return tag >= asn1::kTagUtf8String && tag <= asn1::kTagBmpString; }

// One AttributeTypeAndValue of an RDN, read for comparison.
struct ReadAttribute {
    ByteString type;  // OID content octets
    int tag = 0;      // universal tag of the value
    ByteString content;
};

// Reads a name whose RDNs each hold one attribute; `base` offsets the codes
// (0 for the first name, 5 for the second).
int readSingleValued(const RRDNSequence& name, int base, std::vector<ReadAttribute>& out) {
    for (int i = 0; i < name.getElementCount(); ++i) {
        RRelativeDistinguishedName rdn;
        if (name.getElement(i, rdn) != 0) return 2 + base;
        if (rdn.getElementCount() != 1) return 3 + base;
        RAttributeTypeAndValue atv;
        if (rdn.getElement(0, atv) != 0) return 4 + base;
        if (atv.getType().getValue().isEmpty()) return 5 + base;
        ASN1Object value;
        if (value.fromASN1Object(atv.getValue().getEncoding()) != 0) return 6 + base;
        out.push_back({atv.getType().getValue(), value.getPrimitiveTag(), value.getValue()});
    }
    return 0;
}

// Every run of blanks and tabs becomes one blank; leading and trailing blanks go.
ByteString normalised(const ByteString& text) {
    ByteString out;
    bool pendingBlank = false;
    for (const uint8_t c : text.bytes()) {
        if (c == ' ' || c == '\t') {
            pendingBlank = true;
            continue;
        }
        if (pendingBlank && !out.isEmpty()) out.append(static_cast<uint8_t>(' '));
        pendingBlank = false;
        out.append(c);
    }
    return out;
}

}  // namespace

const char* UDNSettings::attributeName(const ASN1ObjectIdentifier& type) {
    const auto& contents = attributeTypeContents();
    for (size_t i = 0; i < contents.size(); ++i)
        if (contents[i] == type.getValue()) return kAttributeNames[i].name;
    return nullptr;
}

int UDNSettings::stringValueText(int tag, const ByteString& content, ByteString& out) {
    out.clear();
    if (!isStringTag(tag)) return 2;
    if (tag == asn1::kTagUtf8String) return UUTF8String::UTF8ToKSC(content, out) == 0 ? 0 : 3;
    if (tag == asn1::kTagBmpString) return UUnicode::BMP2KSC(content, out) == 0 ? 0 : 3;
    out.assign(content);
    return 0;
}

int UDNSettings::stringValueText(const ByteString& encodedValue, ByteString& out) {
    out.clear();
    ASN1Object value;
    if (value.fromASN1Object(encodedValue) != 0) return 1;
    return stringValueText(value.getPrimitiveTag(), value.getValue(), out);
}

int UDNSettings::RDN2Str(const RRDNSequence& name, ByteString& out) {
    out.clear();
    ByteString text, value;
    for (int i = name.getElementCount() - 1; i >= 0; --i) {
        RRelativeDistinguishedName rdn;
        if (name.getElement(i, rdn) != 0) return 1;
        for (int j = 0; j < rdn.getElementCount(); ++j) {
            RAttributeTypeAndValue atv;
            if (rdn.getElement(j, atv) != 0) return 2;
            if (!text.isEmpty()) text.append(j == 0 ? "," : "+");
            if (const char* known = attributeName(atv.getType())) {
                text.append(known);
            } else {
                ASN1ObjectIdentifier type = atv.getType();
                const ByteString& oid = type.getOID();
                if (type.errorCode() != 0) return 3;
                text.append(oid);
            }
            text.append("=");
            if (const int rc = stringValueText(atv.getValue().getEncoding(), value); rc != 0) return 3 + rc;
            text.append(value);
        }
    }
    out = std::move(text);
    return 0;
}

int UDNSettings::RDN2Str(const ByteString& encodedName, ByteString& out) {
    out.clear();
    RRDNSequence name;
    if (name.fromASN1Object(encodedName) != 0) return 14;
    return RDN2Str(name, out);
}

namespace {

// One attribute of a plainly encoded single-valued RDN, read in place.
struct PlainAttribute {
    std::span<const uint8_t> type;  // OID content octets
    int tag = 0;
    std::span<const uint8_t> content;
};

// The definite-length element at in[0] with a one-octet tag: its tag, header
// length and content; false for anything else (high tags, indefinite lengths,
// lengths past the input, length fields of more than two octets).
bool plainElement(std::span<const uint8_t> in, uint8_t& tag, size_t& header, size_t& length) {
    if (in.size() < 2 || (in[0] & 0x1F) == 0x1F) return false;
    tag = in[0];
    if (in[1] < 0x80) {
        header = 2;
        length = in[1];
    } else if (in[1] == 0x81 && in.size() >= 3) {
        header = 3;
        length = in[2];
    } else if (in[1] == 0x82 && in.size() >= 4) {
        header = 4;
        length = static_cast<size_t>(in[2]) << 8 | in[3];
    } else {
        return false;
    }
    return length <= in.size() - header;
}

// Reads every RDN of `name` when each is SET { SEQUENCE { OID, primitive
// string } } in the plain form above (a BMPString of even length): exactly the
// names the record decodes below read without a failure, so comparing them in
// place gives the same answer without copying. False sends the caller to the
// record decodes.
bool readPlain(const RRDNSequence& name, PlainAttribute* out, int capacity) {
    const int n = name.getElementCount();
    if (n > capacity) return false;
    for (int i = 0; i < n; ++i) {
        const std::span<const uint8_t> rdn = name.elementBytes(i);
        uint8_t tag = 0;
        size_t h = 0, len = 0;
        if (!plainElement(rdn, tag, h, len) || tag != 0x31 || h + len != rdn.size()) return false;
        const std::span<const uint8_t> atv = rdn.subspan(h);
        if (!plainElement(atv, tag, h, len) || tag != 0x30 || h + len != atv.size()) return false;
        std::span<const uint8_t> rest = atv.subspan(h);
        if (!plainElement(rest, tag, h, len) || tag != 0x06 || len == 0) return false;
        out[i].type = rest.subspan(h, len);
        rest = rest.subspan(h + len);
        // A universal string type the value decoder accepts (13-15 and 29 are no ASN.1 types).
        if (!plainElement(rest, tag, h, len) || h + len != rest.size() || !isStringTag(tag) || tag == 13 || tag == 14 ||
            tag == 15 || tag == 29)
            return false;
        if (tag == asn1::kTagBmpString && len % 2 != 0) return false;
        out[i].tag = tag;
        out[i].content = rest.subspan(h, len);
    }
    return true;
}

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

int UDNSettings::CompareByName(const RRDNSequence& first, const RRDNSequence& second) {
    if (first.getElementCount() != second.getElementCount()) return 1;
    // Names are compared again and again during path validation: plainly
    // encoded ones are compared where they lie, and the texts are made only
    // for values whose octets differ.
    constexpr int kPlainCapacity = 16;
    PlainAttribute pa[kPlainCapacity], pb[kPlainCapacity];
    if (readPlain(first, pa, kPlainCapacity) && readPlain(second, pb, kPlainCapacity)) {
        ByteString textA, textB;
        for (int i = 0; i < first.getElementCount(); ++i) {
            bool matched = false;
            for (int j = 0; j < second.getElementCount() && !matched; ++j) {
                if (!sameBytes(pa[i].type, pb[j].type) || pa[i].tag != pb[j].tag) continue;
                if (sameBytes(pa[i].content, pb[j].content)) {
                    matched = true;
                    continue;
                }
                stringValueText(pa[i].tag, ByteString(pa[i].content), textA);
                stringValueText(pb[j].tag, ByteString(pb[j].content), textB);
                matched = textA == textB || normalised(textA) == normalised(textB);
            }
            if (!matched) return 16;
        }
        return 0;
    }

    std::vector<ReadAttribute> a, b;
    if (const int rc = readSingleValued(first, 0, a)) return rc;
    if (const int rc = readSingleValued(second, 5, b)) return rc;

    ByteString textA, textB;
    for (const ReadAttribute& x : a) {
        bool matched = false;
        for (const ReadAttribute& y : b) {
            if (!(x.type == y.type)) continue;
            // Values of different string types are treated as different values.
            if (x.tag != y.tag) continue;
            if (const int rc = stringValueText(x.tag, x.content, textA); rc != 0) return rc == 2 ? 14 : 12;
            if (const int rc = stringValueText(y.tag, y.content, textB); rc != 0) return rc == 2 ? 15 : 13;
            if (textA == textB || normalised(textA) == normalised(textB)) {
                matched = true;
                break;
            }
        }
        if (!matched) return 16;
    }
    return 0;
}

bool UDNSettings::IncludeAttribute(const RRDNSequence& name, const char* oidText) {
    const ASN1ObjectIdentifier wanted(oidText);
    for (int i = 0; i < name.getElementCount(); ++i) {
        RRelativeDistinguishedName rdn;
        if (name.getElement(i, rdn) != 0) continue;
        for (int j = 0; j < rdn.getElementCount(); ++j) {
            RAttributeTypeAndValue atv;
            if (rdn.getElement(j, atv) == 0 && atv.getType().getValue() == wanted.getValue()) return true;
        }
    }
    return false;
}

}  // namespace qelt
