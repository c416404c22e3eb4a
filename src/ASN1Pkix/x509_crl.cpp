#include "ASN1Pkix/x509_crl.h"

#include <string.h>

#include <cstring>

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RRevokedCertificate::kLayout{
    "RRevokedCertificate",
    atLeast(2, "At least 2 components are required."),
    {
        QELT_FIELD(m_userCertificate).is(kTagInteger, "userCertificate component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_revocationDate),
        QELT_FIELD(m_crlEntryExtensions).opt(kTagSequence, kCrlEntryExtensionsBit),
    }};

const SequenceLayout GTBSCertList::kLayout{
    "GTBSCertList",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_version).opt(kTagInteger, kVersionValueBit),
        QELT_FIELD(m_signature).is(kTagSequence, "signature component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_issuer).is(kTagSequence, "issuer component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_thisUpdate)
            .isEither(kTagUtcTime, kTagGeneralizedTime,
                      "thisUpdate component is not ASN1_TAG_UTCTIME or ASN1_TAG_GENERALIZEDTIME."),
        QELT_FIELD(m_nextUpdate).opt(kTagUtcTime, kNextUpdateBit, kTagGeneralizedTime),
        QELT_FIELD(m_revokedCertificates).opt(kTagSequence, kRevokedCertificatesBit),
        QELT_FIELD(m_crlExtensions).ctx(0, Tagging::Explicit, kCrlExtensionsBit),
    },
    false,
    true};

const SequenceLayout GCertificateList::kLayout{
    "GCertificateList",
    exactly(3, "The number of components is not 3."),
    {
        QELT_FIELD(m_tbsCertList).is(kTagSequence, "tbsCertList component is not ASN1_TAG_SEQUENCE"),
        QELT_FIELD(m_signatureAlgorithm).is(kTagSequence, "signatureAlgorithm component is not ASN1_TAG_SEQUENCE"),
        QELT_FIELD(m_signature).is(kTagBitString, "signature component is not ASN1_TAG_BITSTRING"),
    },
    false,
    true};

const SequenceLayout RIssuingDistributionPoint::kLayout{
    "RIssuingDistributionPoint",
    anyCount(),
    {
        QELT_FIELD(m_distributionPoint).ctx(0, Tagging::Explicit, kDistributionPointBit).wrap(0),
        QELT_FIELD(m_onlyContainsUserCerts).ctx(1, Tagging::Implicit, kOnlyContainsUserCertsBit),
        QELT_FIELD(m_onlyContainsCACerts).ctx(2, Tagging::Implicit, kOnlyContainsCACertsBit),
        QELT_FIELD(m_onlySomeReasons).ctx(3, Tagging::Implicit, kOnlySomeReasonsBit),
        QELT_FIELD(m_indirectCRL).ctx(4, Tagging::Implicit, kIndirectCRLBit),
        QELT_FIELD(m_onlyContainsAttributeCerts).ctx(5, Tagging::Implicit, kOnlyContainsAttributeCertsBit),
    }};

// clang-format on

// ---- the raw revoked list

namespace {

constexpr const char* kTbsClass = "GTBSCertList";

enum class WalkFault { None, NotSequence, BadLength, Overrun };

const char* walkMessage(WalkFault fault) {
    switch (fault) {
        case WalkFault::NotSequence:
            return "The tag is not SEQUENCE(0x30).";
        case WalkFault::BadLength:
            return "Fail getAsnLength().";
        default:
            return "Length error.";
    }
}

// The SEQUENCE header at raw[pos]: the tag must be 0x30, the length short or
// long with one to four octets, and the content must fit in `raw`.
WalkFault readSequenceHeader(std::span<const uint8_t> raw, size_t pos, size_t& headerLen, size_t& contentLen) {
    if (pos >= raw.size() || raw[pos] != 0x30) return WalkFault::NotSequence;
    if (pos + 1 >= raw.size()) return WalkFault::BadLength;
    const uint8_t first = raw[pos + 1];
    if (first < 0x80) {
        headerLen = 2;
        contentLen = first;
    } else {
        const size_t octets = first & 0x7F;
        if (octets == 0 || octets > 4 || pos + 2 + octets > raw.size()) return WalkFault::BadLength;
        contentLen = 0;
        for (size_t k = 0; k < octets; ++k) contentLen = contentLen << 8 | raw[pos + 2 + k];
        headerLen = 2 + octets;
    }
    if (contentLen > raw.size() - pos - headerLen) return WalkFault::Overrun;
    return WalkFault::None;
}

// The entries of the list, from `offset` (0: before the first) on.
WalkFault nextEntry(std::span<const uint8_t> raw, size_t& offset, std::span<const uint8_t>& entry, bool& end) {
    size_t outerHeader = 0, outerLen = 0;
    end = false;
    if (const WalkFault f = readSequenceHeader(raw, 0, outerHeader, outerLen); f != WalkFault::None) return f;
    const size_t limit = outerHeader + outerLen;
    if (offset < outerHeader) offset = outerHeader;
    if (offset >= limit) {
        end = true;
        return WalkFault::None;
    }
    size_t header = 0, len = 0;
    const auto inside = raw.first(limit);
    if (const WalkFault f = readSequenceHeader(inside, offset, header, len); f != WalkFault::None) return f;
    entry = inside.subspan(offset, header + len);
    offset += header + len;
    return WalkFault::None;
}

}  // namespace

int GTBSCertList::fromASN1Object(Asn1Input in) {
    m_RevokedView = {};
    return SequenceRecord::fromASN1Object(in);
}

void GTBSCertList::reset() {
    SequenceRecord::reset();
    m_RevokedView = {};
}

const ByteString& GTBSCertList::toASN1Object(int omitTag) {
    if (!m_RevokedView.empty()) {
        // A list read in place is copied only when the record is encoded.
        m_revokedCertificates.set(ByteString(m_RevokedView));
        m_ucBitMask |= kRevokedCertificatesBit;
        m_RevokedView = {};
    }
    return SequenceRecord::toASN1Object(omitTag);
}

std::span<const uint8_t> GTBSCertList::revokedCertificatesBytes() const {
    if (!m_RevokedView.empty()) return m_RevokedView;
    if (!hasRevokedCertificates()) return {};
    return componentOrEmpty(m_revokedCertificates).getEncoding().bytes();
}

void GTBSCertList::viewRevokedCertificates(std::span<const uint8_t> element) {
    m_revokedCertificates.reset();
    m_RevokedView = element;
    if (element.empty())
        m_ucBitMask &= static_cast<uint8_t>(~kRevokedCertificatesBit);
    else
        m_ucBitMask |= kRevokedCertificatesBit;
}

int GTBSCertList::isRevoked(const ByteString& serialNumber, bool& found, std::span<const uint8_t>& entry) {
    found = false;
    entry = {};
    const std::span<const uint8_t> raw = revokedCertificatesBytes();
    // The pattern is the serial's DER INTEGER: 02, one length octet, and a 00
    // in front of a value whose first octet would read as a sign.
    uint8_t pattern[2 + 1 + 127];
    size_t len = 0;
    pattern[len++] = 0x02;
    const bool pad = !serialNumber.isEmpty() && serialNumber.data()[0] >= 0x80;
    const size_t valueLen = static_cast<size_t>(serialNumber.length()) + (pad ? 1 : 0);
    if (raw.empty() || serialNumber.isEmpty() || valueLen > 127) return 0;
    pattern[len++] = static_cast<uint8_t>(valueLen);
    if (pad) pattern[len++] = 0x00;
    std::memcpy(pattern + len, serialNumber.data(), static_cast<size_t>(serialNumber.length()));
    len += static_cast<size_t>(serialNumber.length());

    // One search over the whole list: most serials are not there at all.
    if (memmem(raw.data(), raw.size(), pattern, len) == nullptr) return 0;
    // The pattern may sit inside another entry's extensions: only an entry
    // that begins with it is the serial's.
    size_t offset = 0;
    for (;;) {
        std::span<const uint8_t> next;
        bool end = false;
        const WalkFault f = nextEntry(raw, offset, next, end);
        if (f != WalkFault::None) return fail(kTbsClass, "isRevoked", "revokedCertificates", 2, walkMessage(f));
        if (end) return 0;
        size_t header = 0, contentLen = 0;
        readSequenceHeader(next, 0, header, contentLen);
        if (contentLen >= len && std::memcmp(next.data() + header, pattern, len) == 0) {
            found = true;
            entry = next;
            return 0;
        }
    }
}

int GTBSCertList::getRevokedCertificateCount() const {
    const std::span<const uint8_t> raw = revokedCertificatesBytes();
    if (raw.empty()) return 0;
    int count = 0;
    size_t offset = 0;
    for (;;) {
        std::span<const uint8_t> next;
        bool end = false;
        if (nextEntry(raw, offset, next, end) != WalkFault::None) return -1;
        if (end) return count;
        ++count;
    }
}

int GTBSCertList::nextRevokedCertificate(size_t& offset, std::span<const uint8_t>& entry) const {
    const std::span<const uint8_t> raw = revokedCertificatesBytes();
    if (raw.empty()) return 1;
    bool end = false;
    if (nextEntry(raw, offset, entry, end) != WalkFault::None) return 2;
    return end ? 1 : 0;
}

int GTBSCertList::getRevokedCertificate(int index, RRevokedCertificate& out) const {
    size_t offset = 0;
    std::span<const uint8_t> entry;
    for (int i = 0; i <= index; ++i) {
        const int rc = nextRevokedCertificate(offset, entry);
        if (rc != 0 || index < 0) return 1;
    }
    return out.fromASN1Object(entry) == 0 ? 0 : 2;
}

// ---- reading a CRL in place

int GCertificateList::fromASN1Object(Asn1Input in) {
    m_SignedView = {};
    return SequenceRecord::fromASN1Object(in);
}

void GCertificateList::reset() {
    SequenceRecord::reset();
    m_SignedView = {};
}

std::span<const uint8_t> GCertificateList::signedBytes() const {
    if (!m_SignedView.empty()) return m_SignedView;
    return getTbsCertList().getReceivedEncoding().bytes();
}

int GCertificateList::decodeInPlace(std::span<const uint8_t> in) {
    reset();
    // The components of a definite-length SEQUENCE; false for anything else.
    const auto components = [](std::span<const uint8_t> element, std::vector<std::span<const uint8_t>>& out) {
        ElementBounds outer;
        if (!scanElement(element, outer) || element[0] != 0x30 || outer.indefinite) return false;
        auto content = element.subspan(outer.headerLen, outer.contentLen);
        while (!content.empty()) {
            ElementBounds one;
            if (!scanElement(content, one) || one.indefinite) return false;
            out.push_back(content.first(one.totalLen));
            content = content.subspan(one.totalLen);
        }
        return true;
    };
    std::vector<std::span<const uint8_t>> parts, tbsParts;
    if (!components(in, parts) || parts.size() != 3 || !components(parts[0], tbsParts) || tbsParts.size() < 3)
        return fromASN1Object(in);  // the ordinary decode gives the refusal, or reads BER

    // The revoked list sits after version?, signature, issuer, thisUpdate and nextUpdate?.
    const auto isTime = [](std::span<const uint8_t> p) { return p[0] == 0x17 || p[0] == 0x18; };
    size_t revoked = tbsParts.size();
    size_t pos = (tbsParts[0][0] == 0x02 ? 1 : 0) + 3;
    if (pos < tbsParts.size() && isTime(tbsParts[pos])) ++pos;
    if (pos < tbsParts.size() && tbsParts[pos][0] == 0x30) revoked = pos;
    if (revoked == tbsParts.size()) return fromASN1Object(in);  // small: nothing to gain

    // The TBSCertList without its list decodes as a record; the list stays a view.
    ByteString rest;
    size_t restLen = 0;
    for (size_t k = 0; k < tbsParts.size(); ++k)
        if (k != revoked) restLen += tbsParts[k].size();
    rest.append(static_cast<uint8_t>(0x30));
    appendLengthOctets(rest, restLen);
    for (size_t k = 0; k < tbsParts.size(); ++k)
        if (k != revoked) rest.append(tbsParts[k].data(), static_cast<int>(tbsParts[k].size()));
    if (m_tbsCertList.fromASN1Object(rest) != 0)
        return decodeFailure("GCertificateList", "m_tbsCertList", 4, m_tbsCertList.errorText());
    m_tbsCertList.viewRevokedCertificates(tbsParts[revoked]);
    if (parts[1][0] != 0x30)
        return decodeFailure("GCertificateList", "m_signatureAlgorithm", 5,
                             "signatureAlgorithm component is not ASN1_TAG_SEQUENCE");
    if (m_signatureAlgorithm.fromASN1Object(parts[1]) != 0)
        return decodeFailure("GCertificateList", "m_signatureAlgorithm", 6, m_signatureAlgorithm.errorText());
    if (parts[2][0] != 0x03)
        return decodeFailure("GCertificateList", "m_signature", 7, "signature component is not ASN1_TAG_BITSTRING");
    if (m_signature.fromASN1Object(parts[2]) != 0)
        return decodeFailure("GCertificateList", "m_signature", 8, m_signature.errorText());
    m_SignedView = parts[0];
    return 0;
}

}  // namespace qelt
