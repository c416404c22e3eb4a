// Certificate revocation list records (RFC 5280, section 5.1).
#pragma once

#include <span>

#include "ASN1Pkix/x509_certificate.h"
#include "ASN1Pkix/x509_extensions.h"

namespace qelt {

// revokedCertificates entry ::= SEQUENCE {
//     userCertificate         CertificateSerialNumber,
//     revocationDate          Time,
//     crlEntryExtensions      Extensions OPTIONAL }
class RRevokedCertificate : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRevokedCertificate)
    QELT_COMPONENT(ASN1Integer, UserCertificate, userCertificate)
    QELT_COMPONENT(RTime, RevocationDate, revocationDate)
    QELT_OPTIONAL(RExtensions, CrlEntryExtensions, crlEntryExtensions, 0x01)
};

// TBSCertList ::= SEQUENCE {
//     version                 Version OPTIONAL,  -- if present, v2
//     signature               AlgorithmIdentifier,
//     issuer                  Name,
//     thisUpdate              Time,
//     nextUpdate              Time OPTIONAL,
//     revokedCertificates     SEQUENCE OF SEQUENCE { ... } OPTIONAL,
//     crlExtensions       [0] EXPLICIT Extensions OPTIONAL }
//
// The revoked certificates stay raw DER: a CRL of a hundred thousand entries is
// never decoded entry by entry. isRevoked searches the raw list for the
// serial number's INTEGER encoding and walks only the entry headers to find
// whose serial it is; the count and the entries are read by the same walk.
class GTBSCertList : public SequenceRecord {
    QELT_SEQUENCE_RECORD(GTBSCertList)
    QELT_OPTIONAL(ASN1Integer, VersionValue, version, 0x01)
    QELT_COMPONENT(RAlgorithmIdentifier, Signature, signature)
    QELT_COMPONENT(RRDNSequence, Issuer, issuer)
    QELT_COMPONENT(RTime, ThisUpdate, thisUpdate)
    QELT_OPTIONAL(RTime, NextUpdate, nextUpdate, 0x02)
    // The whole SEQUENCE OF element as received.
    QELT_OPTIONAL(ASN1Any, RevokedCertificates, revokedCertificates, 0x04)
    QELT_OPTIONAL(RExtensions, CrlExtensions, crlExtensions, 0x08)
public:
    // The version as an int: 0 (v1) when absent.
    int getVersion() const { return hasVersionValue() ? componentOrEmpty(m_version).getInteger() : 0; }
    void setVersion(int v) {
        m_version.setInteger(v);
        m_ucBitMask |= kVersionValueBit;
    }
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    const ByteString& toASN1Object(int omitTag = 0) override;
    void reset() override;

    // The revokedCertificates element (tag, length and entries); empty when absent.
    std::span<const uint8_t> revokedCertificatesBytes() const;
    // Reads the revoked list in place: `element` (the caller's bytes, which must
    // outlive this record and its copies) stands for the revokedCertificates component.
    void viewRevokedCertificates(std::span<const uint8_t> element);

    // Looks `serialNumber` (the INTEGER's magnitude, without a sign octet) up in
    // the raw list. 0 with `found` and the entry's DER; 2 when the list is
    // malformed ("The tag is not SEQUENCE(0x30).", "Fail getAsnLength().", "Length error.").
    int isRevoked(const ByteString& serialNumber, bool& found, std::span<const uint8_t>& entry);
    // The number of entries by a header-only walk; -1 when the list is malformed.
    int getRevokedCertificateCount() const;
    // Entry `index`: 0; 1 no such entry; 2 it does not decode.
    int getRevokedCertificate(int index, RRevokedCertificate& out) const;
    // Steps through the entries: start with offset 0; 0 and the next entry's
    // DER, 1 at the end, 2 when the list is malformed.
    int nextRevokedCertificate(size_t& offset, std::span<const uint8_t>& entry) const;

private:
    std::span<const uint8_t> m_RevokedView;  // set by viewRevokedCertificates
};

// CertificateList ::= SEQUENCE {
//     tbsCertList          TBSCertList,
//     signatureAlgorithm   AlgorithmIdentifier,
//     signature            BIT STRING }
class GCertificateList : public SequenceRecord {
    QELT_SEQUENCE_RECORD(GCertificateList)
    QELT_COMPONENT(GTBSCertList, TbsCertList, tbsCertList)
    QELT_COMPONENT(RAlgorithmIdentifier, SignatureAlgorithm, signatureAlgorithm)
    QELT_COMPONENT(ASN1BitString, Signature, signature)
public:
    // Decodes a CRL where it lies, with the same checks and codes as
    // fromASN1Object: the to-be-signed octets and the revoked list are views of
    // `in`, which must stay unchanged while this record (or a copy) is read.
    // Nothing of the size of the list is copied; a BER-encoded CRL with
    // indefinite lengths is decoded the ordinary way instead.
    [[nodiscard]] int decodeInPlace(std::span<const uint8_t> in);
    // The octets the signature covers: the tbsCertList as received.
    std::span<const uint8_t> signedBytes() const;
    [[nodiscard]] int fromASN1Object(Asn1Input in) override;
    void reset() override;

private:
    std::span<const uint8_t> m_SignedView;  // set by decodeInPlace
};

// IssuingDistributionPoint ::= SEQUENCE {
//     distributionPoint          [0] DistributionPointName OPTIONAL,
//     onlyContainsUserCerts      [1] BOOLEAN DEFAULT FALSE,
//     onlyContainsCACerts        [2] BOOLEAN DEFAULT FALSE,
//     onlySomeReasons            [3] ReasonFlags OPTIONAL,
//     indirectCRL                [4] BOOLEAN DEFAULT FALSE,
//     onlyContainsAttributeCerts [5] BOOLEAN DEFAULT FALSE }
class RIssuingDistributionPoint : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RIssuingDistributionPoint)
    QELT_OPTIONAL(RDistributionPointName, DistributionPoint, distributionPoint, 0x01)
    QELT_OPTIONAL(ASN1Boolean, OnlyContainsUserCerts, onlyContainsUserCerts, 0x02)
    QELT_OPTIONAL(ASN1Boolean, OnlyContainsCACerts, onlyContainsCACerts, 0x04)
    QELT_OPTIONAL(ASN1BitString, OnlySomeReasons, onlySomeReasons, 0x08)
    QELT_OPTIONAL(ASN1Boolean, IndirectCRL, indirectCRL, 0x10)
    QELT_OPTIONAL(ASN1Boolean, OnlyContainsAttributeCerts, onlyContainsAttributeCerts, 0x20)
};

}  // namespace qelt
