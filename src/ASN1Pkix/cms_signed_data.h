// CMS content information and SignedData records (RFC 5652, sections 3 and
// 5; PKCS #7 v1.5 messages read the same), with the ESS signing-certificate
// attribute (RFC 2634).
#pragma once

#include "ASN1Pkix/x509_crl.h"

namespace qelt {

// ContentInfo ::= SEQUENCE {
//     contentType   ContentType,
//     content   [0] EXPLICIT ANY DEFINED BY contentType OPTIONAL }
class RContentInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RContentInfo)
    QELT_COMPONENT(ASN1ObjectIdentifier, ContentType, contentType)
    QELT_OPTIONAL(ASN1Any, Content, content, 0x01)
};

// EncapsulatedContentInfo ::= SEQUENCE {
//     eContentType     ContentType,
//     eContent     [0] EXPLICIT OCTET STRING OPTIONAL }
// PKCS #7 signed data carries "contentInfo" with any content type here, so
// eContent is kept as received; getContentOctets() reads an OCTET STRING
// (joining the segments of a streamed, constructed one).
class REncapsulatedContentInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(REncapsulatedContentInfo)
    QELT_COMPONENT(ASN1ObjectIdentifier, EContentType, eContentType)
    QELT_OPTIONAL(ASN1Any, EContent, eContent, 0x01)
public:
    int getContentOctets(ByteString& out) const;
};

// Attribute ::= SEQUENCE {
//     attrType     OBJECT IDENTIFIER,
//     attrValues   SET OF AttributeValue }
class RAttribute : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAttribute)
    QELT_COMPONENT(ASN1ObjectIdentifier, AttrType, attrType)
    QELT_COMPONENT(ASN1Set, AttrValues, attrValues)
};

// SignedAttributes, UnsignedAttributes ::= SET SIZE (1..MAX) OF Attribute
class RAttributes : public SetOfRecord {
    QELT_LIST_RECORD(RAttributes)
public:
    // Decodes the attribute of type `oidText` into `out`; 0 when found.
    int findAttribute(const char* oidText, RAttribute& out) const;
};

// DigestAlgorithmIdentifiers ::= SET OF DigestAlgorithmIdentifier
class RDigestAlgorithmIdentifiers : public SetOfRecord {
    QELT_LIST_RECORD(RDigestAlgorithmIdentifiers)
};

// CertificateChoices ::= CHOICE {
//     certificate           Certificate,
//     extendedCertificate   [0] IMPLICIT ExtendedCertificate,  -- obsolete
//     v1AttrCert            [1] IMPLICIT AttributeCertificateV1,
//     v2AttrCert            [2] IMPLICIT AttributeCertificateV2,
//     other                 [3] IMPLICIT OtherCertificateFormat }
// Only certificates are read here; the others keep their encoding.
class RCertificateChoices : public ChoiceRecord {
    QELT_CHOICE_RECORD(RCertificateChoices)
    QELT_ALTERNATIVE(RCertificate, Certificate, certificate, 0x01)
    QELT_ALTERNATIVE(ASN1Any, ExtendedCertificate, extendedCertificate, 0x02)
    QELT_ALTERNATIVE(ASN1Any, V1AttrCert, v1AttrCert, 0x04)
    QELT_ALTERNATIVE(ASN1Any, V2AttrCert, v2AttrCert, 0x08)
    QELT_ALTERNATIVE(ASN1Any, Other, other, 0x10)
};

// CertificateSet ::= SET OF CertificateChoices
class RCertificateSet : public SetOfRecord {
    QELT_LIST_RECORD(RCertificateSet)
};

// RevocationInfoChoices ::= SET OF CertificateList (the PKCS #7 form)
class RCertificateRevocationLists : public SetOfRecord {
    QELT_LIST_RECORD(RCertificateRevocationLists)
};

// IssuerAndSerialNumber ::= SEQUENCE {
//     issuer         Name,
//     serialNumber   CertificateSerialNumber }
class RIssuerAndSerialNumber : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RIssuerAndSerialNumber)
    QELT_COMPONENT(RRDNSequence, Issuer, issuer)
    QELT_COMPONENT(ASN1Integer, SerialNumber, serialNumber)
};

// SignerIdentifier ::= CHOICE {
//     issuerAndSerialNumber IssuerAndSerialNumber,
//     subjectKeyIdentifier  [0] SubjectKeyIdentifier }
class RSignerIdentifier : public ChoiceRecord {
    QELT_CHOICE_RECORD(RSignerIdentifier)
    QELT_ALTERNATIVE(RIssuerAndSerialNumber, IssuerAndSerialNumber, issuerAndSerialNumber, 0x01)
    QELT_ALTERNATIVE(ASN1OctetString, SubjectKeyIdentifier, subjectKeyIdentifier, 0x02)
};

// SignerInfo ::= SEQUENCE {
//     version              CMSVersion,
//     sid                  SignerIdentifier,
//     digestAlgorithm      DigestAlgorithmIdentifier,
//     signedAttrs      [0] IMPLICIT SignedAttributes OPTIONAL,
//     signatureAlgorithm   SignatureAlgorithmIdentifier,
//     signature            SignatureValue,
//     unsignedAttrs    [1] IMPLICIT UnsignedAttributes OPTIONAL }
class RSignerInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSignerInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(RSignerIdentifier, Sid, sid)
    QELT_COMPONENT(RAlgorithmIdentifier, DigestAlgorithm, digestAlgorithm)
    QELT_OPTIONAL(RAttributes, SignedAttrs, signedAttrs, 0x01)
    QELT_COMPONENT(RAlgorithmIdentifier, SignatureAlgorithm, signatureAlgorithm)
    QELT_COMPONENT(ASN1OctetString, Signature, signature)
    QELT_OPTIONAL(RAttributes, UnsignedAttrs, unsignedAttrs, 0x02)
};

// SignerInfos ::= SET OF SignerInfo
class RSignerInfos : public SetOfRecord {
    QELT_LIST_RECORD(RSignerInfos)
};

// SignedData ::= SEQUENCE {
//     version            CMSVersion,
//     digestAlgorithms   DigestAlgorithmIdentifiers,
//     encapContentInfo   EncapsulatedContentInfo,
//     certificates   [0] IMPLICIT CertificateSet OPTIONAL,
//     crls           [1] IMPLICIT RevocationInfoChoices OPTIONAL,
//     signerInfos        SignerInfos }
class RSignedData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSignedData)
    QELT_VERSION(version)
    QELT_COMPONENT(RDigestAlgorithmIdentifiers, DigestAlgorithms, digestAlgorithms)
    QELT_COMPONENT(REncapsulatedContentInfo, EncapContentInfo, encapContentInfo)
    QELT_OPTIONAL(RCertificateSet, Certificates, certificates, 0x01)
    QELT_OPTIONAL(RCertificateRevocationLists, Crls, crls, 0x02)
    QELT_COMPONENT(RSignerInfos, SignerInfos, signerInfos)
};

// IssuerSerial ::= SEQUENCE {
//     issuer         GeneralNames,
//     serialNumber   CertificateSerialNumber }
class RIssuerSerial : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RIssuerSerial)
    QELT_COMPONENT(RGeneralNames, Issuer, issuer)
    QELT_COMPONENT(ASN1Integer, SerialNumber, serialNumber)
};

// ESSCertID ::= SEQUENCE {
//     certHash       Hash,                -- OCTET STRING
//     issuerSerial   IssuerSerial OPTIONAL }
class RESSCertID : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RESSCertID)
    QELT_COMPONENT(ASN1OctetString, CertHash, certHash)
    QELT_OPTIONAL(RIssuerSerial, IssuerSerial, issuerSerial, 0x01)
};

// SigningCertificate ::= SEQUENCE {
//     certs        SEQUENCE OF ESSCertID,
//     policies     SEQUENCE OF PolicyInformation OPTIONAL }
class RSigningCertificate : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSigningCertificate)
    QELT_COMPONENT(ASN1Sequence, Certs, certs)
    QELT_OPTIONAL(ASN1Sequence, Policies, policies, 0x01)
};

}  // namespace qelt
