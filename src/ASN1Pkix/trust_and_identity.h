// Certificate trust lists, CA certificate bundles and identity-verification
// data.
#pragma once

#include "ASN1Pkix/cms_signed_data.h"

namespace qelt {

// SubjectUsage ::= SEQUENCE OF OBJECT IDENTIFIER
class RSubjectUsage : public SequenceOfRecord {
    QELT_LIST_RECORD(RSubjectUsage)
};

// TrustedCertificateAttributes ::= SET OF Attribute
class RTrustedCertificateAttributes : public SetOfRecord {
    QELT_LIST_RECORD(RTrustedCertificateAttributes)
};

// TrustedSubject ::= SEQUENCE {
//     subjectIdentifier   OCTET STRING,         -- hash of the certificate
//     subjectAttributes   Attributes OPTIONAL }
class RTrustedCertificate : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RTrustedCertificate)
    QELT_COMPONENT(ASN1OctetString, TrustedCertificateHash, trustedCertificateHash)
    QELT_OPTIONAL(RTrustedCertificateAttributes, TrustedCertificateAttributes, trustedCertificateAttributes, 0x01)
};

// TrustedSubjects ::= SEQUENCE OF TrustedSubject
class RTrustedSubjects : public SequenceOfRecord {
    QELT_LIST_RECORD(RTrustedSubjects)
};

// CertificateTrustList ::= SEQUENCE {
//     version            CTLVersion DEFAULT v1,     -- INTEGER
//     subjectUsage       SubjectUsage,
//     listIdentifier     OCTET STRING OPTIONAL,
//     sequenceNumber     INTEGER OPTIONAL,
//     ctlThisUpdate      Time,
//     ctlNextUpdate      Time OPTIONAL,
//     subjectAlgorithm   AlgorithmIdentifier,
//     trustedSubjects    TrustedSubjects OPTIONAL,
//     ctlExtensions  [0] EXPLICIT Extensions OPTIONAL }
class RCertificateTrustList : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RCertificateTrustList)
    QELT_OPTIONAL(ASN1Integer, VersionValue, version, 0x01)
    QELT_COMPONENT(RSubjectUsage, SubjectUsage, subjectUsage)
    QELT_OPTIONAL(ASN1OctetString, ListIdentifier, listIdentifier, 0x02)
    QELT_OPTIONAL(ASN1Integer, SequenceNumber, SequenceNumber, 0x04)
    QELT_COMPONENT(RTime, ThisUpdate, thisUpdate)
    QELT_OPTIONAL(RTime, NextUpdate, NextUpdate, 0x08)
    QELT_COMPONENT(RAlgorithmIdentifier, SubjectAlgorithm, subjectAlgorithm)
    QELT_OPTIONAL(RTrustedSubjects, TrustedSubjects, trustedSubjects, 0x10)
    QELT_OPTIONAL(RExtensions, Extensions, extensions, 0x20)
public:
    // The version as an int: 0 (v1) when absent.
    int getVersion() const { return hasVersionValue() ? componentOrEmpty(m_version).getInteger() : 0; }
};

// CaPubs ::= SEQUENCE OF Certificate
class RPCaPubs : public SequenceOfRecord {
    QELT_LIST_RECORD(RPCaPubs)
};

// Certificates ::= SEQUENCE {
//     userCertificate     Certificate,
//     certificationPath   SEQUENCE OF Certificate }
class RCertificates : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RCertificates)
    QELT_COMPONENT(RCertificate, UserCertificate, userCertificate)
    QELT_COMPONENT(RPCaPubs, CertificationPath, certificationPath)
};

// VID ::= SEQUENCE {
//     hashAlg          AlgorithmIdentifier,
//     virtualID    [0] EXPLICIT OCTET STRING }
class RVID : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RVID)
    QELT_COMPONENT(RAlgorithmIdentifier, HashAlg, hashAlg)
    QELT_COMPONENT(ASN1OctetString, VirtualID, virtualID)
};

// HashContent ::= SEQUENCE {
//     idn         PrintableString,   -- the identity number
//     randomNum   BIT STRING }
class RHashContent : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RHashContent)
    QELT_COMPONENT(ASN1PrintableString, Idn, idn)
    QELT_COMPONENT(ASN1BitString, RandomNum, randomNum)
};

// IdentifyData ::= SEQUENCE {
//     realName   UTF8String,
//     userInfo   SEQUENCE OF ANY }
class RIdentifyData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RIdentifyData)
    QELT_COMPONENT(ASN1UTF8String, RealName, realName)
    QELT_COMPONENT(ASN1Sequence, UserInfo, userInfo)
};

// PlainText ::= SEQUENCE OF OCTET STRING   -- a list of texts, one per entry
class RPlainText : public SequenceOfRecord {
    QELT_LIST_RECORD(RPlainText)
};

}  // namespace qelt
