// X.509 certificate records (RFC 5280, section 4.1).
#pragma once

#include "ASN1Pkix/record.h"

namespace qelt {

// AlgorithmIdentifier ::= SEQUENCE {
//     algorithm    OBJECT IDENTIFIER,
//     parameters   ANY DEFINED BY algorithm OPTIONAL }
class RAlgorithmIdentifier : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAlgorithmIdentifier)
    QELT_COMPONENT(ASN1ObjectIdentifier, Algorithm, algorithm)
    QELT_OPTIONAL(ASN1Any, Parameters, parameters, 0x01)
};

// AttributeTypeAndValue ::= SEQUENCE {
//     type    AttributeType,            -- OBJECT IDENTIFIER
//     value   AttributeValue }          -- ANY DEFINED BY type
class RAttributeTypeAndValue : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAttributeTypeAndValue)
    QELT_COMPONENT(ASN1ObjectIdentifier, Type, type)
    QELT_COMPONENT(ASN1Any, Value, value)
};

// RelativeDistinguishedName ::= SET SIZE (1..MAX) OF AttributeTypeAndValue
class RRelativeDistinguishedName : public SetOfRecord {
    QELT_LIST_RECORD(RRelativeDistinguishedName)
};

// Name ::= CHOICE { rdnSequence RDNSequence }
// RDNSequence ::= SEQUENCE OF RelativeDistinguishedName
class RRDNSequence : public SequenceOfRecord {
    QELT_LIST_RECORD(RRDNSequence)
};

// DirectoryString ::= CHOICE {
//     teletexString     TeletexString,
//     printableString   PrintableString,
//     universalString   UniversalString,
//     utf8String        UTF8String,
//     bmpString         BMPString }
class RDirectoryString : public ChoiceRecord {
    QELT_CHOICE_RECORD(RDirectoryString)
    QELT_ALTERNATIVE(ASN1T61String, TeletexString, teletexString, 0x01)
    QELT_ALTERNATIVE(ASN1PrintableString, PrintableString, printableString, 0x02)
    // No class of its own: the universal value keeps tag 28 and its octets.
    QELT_ALTERNATIVE(ASN1Object, UniversalString, universalString, 0x04)
    QELT_ALTERNATIVE(ASN1UTF8String, Utf8String, utf8String, 0x08)
    QELT_ALTERNATIVE(ASN1BMPString, BmpString, bmpString, 0x10)
};

// Time ::= CHOICE {
//     utcTime        UTCTime,
//     generalTime    GeneralizedTime }
class RTime : public ChoiceRecord {
    QELT_CHOICE_RECORD(RTime)
    QELT_ALTERNATIVE(ASN1UTCTime, UtcTime, utcTime, 0x01)
    QELT_ALTERNATIVE(ASN1GeneralizedTime, GeneralTime, generalTime, 0x02)
public:
    // Seconds since 1970 of whichever alternative is chosen; kNoTime when
    // none is, or when the chosen one's text does not name a time.
    int64_t getGMTTime() const;
};

// Validity ::= SEQUENCE {
//     notBefore      Time,
//     notAfter       Time }
class RValidity : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RValidity)
    QELT_COMPONENT(RTime, NotBefore, notBefore)
    QELT_COMPONENT(RTime, NotAfter, notAfter)
};

// SubjectPublicKeyInfo ::= SEQUENCE {
//     algorithm            AlgorithmIdentifier,
//     subjectPublicKey     BIT STRING }
class RSubjectPublicKeyInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSubjectPublicKeyInfo)
    QELT_COMPONENT(RAlgorithmIdentifier, Algorithm, algorithm)
    QELT_COMPONENT(ASN1BitString, SubjectPublicKey, subjectPublicKey)
};

// Extension ::= SEQUENCE {
//     extnID      OBJECT IDENTIFIER,
//     critical    BOOLEAN DEFAULT FALSE,
//     extnValue   OCTET STRING }
class RExtension : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RExtension)
    QELT_COMPONENT(ASN1ObjectIdentifier, ExtnID, extnID)
    QELT_OPTIONAL(ASN1Boolean, Critical, critical, 0x01)
    QELT_COMPONENT(ASN1OctetString, ExtnValue, extnValue)
};

// Extensions ::= SEQUENCE SIZE (1..MAX) OF Extension
class RExtensions : public SequenceOfRecord {
    QELT_LIST_RECORD(RExtensions)
public:
    // Decodes the extension whose extnID is `oidText` into `out`; 0 when found.
    int findExtension(const char* oidText, RExtension& out) const;
};

// TBSCertificate ::= SEQUENCE {
//     version         [0] EXPLICIT Version DEFAULT v1,
//     serialNumber         CertificateSerialNumber,
//     signature            AlgorithmIdentifier,
//     issuer               Name,
//     validity             Validity,
//     subject              Name,
//     subjectPublicKeyInfo SubjectPublicKeyInfo,
//     issuerUniqueID  [1]  IMPLICIT UniqueIdentifier OPTIONAL,
//     subjectUniqueID [2]  IMPLICIT UniqueIdentifier OPTIONAL,
//     extensions      [3]  EXPLICIT Extensions OPTIONAL }
class RTBSCertificate : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RTBSCertificate)
    QELT_OPTIONAL_VERSION(version, 0x01)
    QELT_COMPONENT(ASN1Integer, SerialNumber, serialNumber)
    QELT_COMPONENT(RAlgorithmIdentifier, Signature, signature)
    QELT_COMPONENT(RRDNSequence, Issuer, issuer)
    QELT_COMPONENT(RValidity, Validity, validity)
    QELT_COMPONENT(RRDNSequence, Subject, subject)
    QELT_COMPONENT(RSubjectPublicKeyInfo, SubjectPublicKeyInfo, subjectPublicKeyInfo)
    QELT_OPTIONAL(ASN1BitString, IssuerUniqueID, issuerUniqueID, 0x02)
    QELT_OPTIONAL(ASN1BitString, SubjectUniqueID, subjectUniqueID, 0x04)
    QELT_OPTIONAL(RExtensions, Extensions, extensions, 0x08)
};

// Certificate ::= SEQUENCE {
//     tbsCertificate       TBSCertificate,
//     signatureAlgorithm   AlgorithmIdentifier,
//     signature            BIT STRING }
class RCertificate : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RCertificate)
    QELT_COMPONENT(RTBSCertificate, TbsCertificate, tbsCertificate)
    QELT_COMPONENT(RAlgorithmIdentifier, SignatureAlgorithm, signatureAlgorithm)
    QELT_COMPONENT(ASN1BitString, Signature, signature)
};

}  // namespace qelt
