// Certificate revocation list records (RFC 5280, section 5.1).
#pragma once

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
class GTBSCertList : public SequenceRecord {
    QELT_SEQUENCE_RECORD(GTBSCertList)
    QELT_OPTIONAL(ASN1Integer, VersionValue, version, 0x01)
    QELT_COMPONENT(RAlgorithmIdentifier, Signature, signature)
    QELT_COMPONENT(RRDNSequence, Issuer, issuer)
    QELT_COMPONENT(RTime, ThisUpdate, thisUpdate)
    QELT_OPTIONAL(RTime, NextUpdate, nextUpdate, 0x02)
    // Elements are RRevokedCertificate encodings.
    QELT_OPTIONAL(ASN1Sequence, RevokedCertificates, revokedCertificates, 0x04)
    QELT_OPTIONAL(RExtensions, CrlExtensions, crlExtensions, 0x08)
public:
    // The version as an int: 0 (v1) when absent.
    int getVersion() const { return hasVersionValue() ? componentOrEmpty(m_version).getInteger() : 0; }
    void setVersion(int v) {
        m_version.setInteger(v);
        m_ucBitMask |= kVersionValueBit;
    }
    int getRevokedCertificateCount() const { return componentOrEmpty(m_revokedCertificates).getComponentCount(); }
    int getRevokedCertificate(int index, RRevokedCertificate& out) const;
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
