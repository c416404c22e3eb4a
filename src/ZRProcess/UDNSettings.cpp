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

int UDNSettings::CompareByName(const RRDNSequence& first, const RRDNSequence& second) {
    if (first.getElementCount() != second.getElementCount()) return 1;
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
