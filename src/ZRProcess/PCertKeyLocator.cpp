#include "ZRProcess/PCertKeyLocator.h"

#include "ASN1/asn1_cursor.h"

namespace qelt {

namespace {

constexpr uint8_t kSequence = 0x30;
constexpr uint8_t kVersionTag = 0xA0;  // [0] EXPLICIT, constructed

// The content of the element at the start of `in` when its identifier octet
// is `tag`; `rest` is what follows the element.
bool enter(std::span<const uint8_t> in, uint8_t tag, std::span<const uint8_t>& content,
           std::span<const uint8_t>& rest) {
    asn1::ElementBounds b;
    if (in.empty() || in[0] != tag || !asn1::scanElement(in, b) || b.indefinite) return false;
    content = in.subspan(b.headerLen, b.contentLen);
    rest = in.subspan(b.totalLen);
    return true;
}

bool skip(std::span<const uint8_t>& in) {
    asn1::ElementBounds b;
    if (!asn1::scanElement(in, b)) return false;
    in = in.subspan(b.totalLen);
    return true;
}

}  // namespace

bool locateSubjectPublicKeyInfo(std::span<const uint8_t> cert, std::span<const uint8_t>& spki) {
    std::span<const uint8_t> certContent, tbs, rest;
    if (!enter(cert, kSequence, certContent, rest) || !enter(certContent, kSequence, tbs, rest)) return false;
    if (!tbs.empty() && tbs[0] == kVersionTag && !skip(tbs)) return false;
    // serialNumber, signature, issuer, validity, subject
    for (int i = 0; i < 5; ++i)
        if (!skip(tbs)) return false;
    std::span<const uint8_t> content;
    if (!enter(tbs, kSequence, content, rest)) return false;
    spki = tbs.first(tbs.size() - rest.size());
    return true;
}

}  // namespace qelt
