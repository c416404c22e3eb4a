// CMS EnvelopedData and EncryptedData (RFC 5652, sections 6 and 8), the
// PKCS #7 SignedAndEnvelopedData with its extended certificates, and the
// content-encryption parameters RSAES-OAEP-params (RFC 8017) and RC2-CBC.
#pragma once

#include "ASN1Pkix/cms_signed_data.h"

namespace qelt {

// OriginatorInfo ::= SEQUENCE {
//     certs [0] IMPLICIT CertificateSet OPTIONAL,
//     crls  [1] IMPLICIT RevocationInfoChoices OPTIONAL }
class ROriginatorInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(ROriginatorInfo)
    QELT_OPTIONAL(RCertificateSet, Certs, certs, 0x01)
    QELT_OPTIONAL(RCertificateRevocationLists, Crls, crls, 0x02)
};

// RecipientIdentifier ::= CHOICE {
//     issuerAndSerialNumber IssuerAndSerialNumber,
//     subjectKeyIdentifier  [0] SubjectKeyIdentifier }
class RRecipientIdentifier : public ChoiceRecord {
    QELT_CHOICE_RECORD(RRecipientIdentifier)
    QELT_ALTERNATIVE(RIssuerAndSerialNumber, IssuerAndSerialNumber, issuerAndSerialNumber, 0x01)
    QELT_ALTERNATIVE(ASN1OctetString, SubjectKeyIdentifier, subjectKeyIdentifier, 0x02)
};

// KeyTransRecipientInfo ::= SEQUENCE {
//     version                 CMSVersion,  -- always set to 0 or 2
//     rid                     RecipientIdentifier,
//     keyEncryptionAlgorithm  KeyEncryptionAlgorithmIdentifier,
//     encryptedKey            EncryptedKey }
class RKeyTransRecipientInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RKeyTransRecipientInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(RRecipientIdentifier, Rid, rid)
    QELT_COMPONENT(RAlgorithmIdentifier, KeyEncryptionAlgorithm, keyEncryptionAlgorithm)
    QELT_COMPONENT(ASN1OctetString, EncryptedKey, encryptedKey)
};

// OtherKeyAttribute ::= SEQUENCE {
//     keyAttrId  OBJECT IDENTIFIER,
//     keyAttr    ANY DEFINED BY keyAttrId OPTIONAL }
class ROtherKeyAttribute : public SequenceRecord {
    QELT_SEQUENCE_RECORD(ROtherKeyAttribute)
    QELT_COMPONENT(ASN1ObjectIdentifier, KeyAttrId, keyAttrId)
    QELT_OPTIONAL(ASN1Any, KeyAttr, keyAttr, 0x01)
};

// KEKIdentifier ::= SEQUENCE {
//     keyIdentifier  OCTET STRING,
//     date           GeneralizedTime OPTIONAL,
//     other          OtherKeyAttribute OPTIONAL }
class RKEKIdentifier : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RKEKIdentifier)
    QELT_COMPONENT(ASN1OctetString, KeyIdentifier, keyIdentifier)
    QELT_OPTIONAL(ASN1GeneralizedTime, Date, date, 0x01)
    QELT_OPTIONAL(ROtherKeyAttribute, Other, other, 0x02)
};

// KEKRecipientInfo ::= SEQUENCE {
//     version                 CMSVersion,  -- always set to 4
//     kekid                   KEKIdentifier,
//     keyEncryptionAlgorithm  KeyEncryptionAlgorithmIdentifier,
//     encryptedKey            EncryptedKey }
class RKEKRecipientInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RKEKRecipientInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(RKEKIdentifier, Kekid, kekid)
    QELT_COMPONENT(RAlgorithmIdentifier, KeyEncryptionAlgorithm, keyEncryptionAlgorithm)
    QELT_COMPONENT(ASN1OctetString, EncryptedKey, encryptedKey)
};

// OriginatorPublicKey ::= SEQUENCE {
//     algorithm   AlgorithmIdentifier,
//     publicKey   BIT STRING }
class ROriginatorPublicKey : public SequenceRecord {
    QELT_SEQUENCE_RECORD(ROriginatorPublicKey)
    QELT_COMPONENT(RAlgorithmIdentifier, Algorithm, algorithm)
    QELT_COMPONENT(ASN1BitString, PublicKey, publicKey)
};

// OriginatorIdentifierOrKey ::= CHOICE {
//     issuerAndSerialNumber IssuerAndSerialNumber,
//     subjectKeyIdentifier  [0] SubjectKeyIdentifier,
//     originatorKey         [1] OriginatorPublicKey }
class ROriginatorIdentifierOrKey : public ChoiceRecord {
    QELT_CHOICE_RECORD(ROriginatorIdentifierOrKey)
    QELT_ALTERNATIVE(RIssuerAndSerialNumber, IssuerAndSerialNumber, issuerAndSerialNumber, 0x01)
    QELT_ALTERNATIVE(ASN1OctetString, SubjectKeyIdentifier, subjectKeyIdentifier, 0x02)
    QELT_ALTERNATIVE(ROriginatorPublicKey, OriginatorKey, originatorKey, 0x04)
};

// RecipientEncryptedKeys ::= SEQUENCE OF RecipientEncryptedKey
class RRecipientEncryptedKeys : public SequenceOfRecord {
    QELT_LIST_RECORD(RRecipientEncryptedKeys)
};

// KeyAgreeRecipientInfo ::= SEQUENCE {
//     version                 CMSVersion,  -- always set to 3
//     originator          [0] EXPLICIT OriginatorIdentifierOrKey,
//     ukm                 [1] EXPLICIT UserKeyingMaterial OPTIONAL,
//     keyEncryptionAlgorithm  KeyEncryptionAlgorithmIdentifier,
//     recipientEncryptedKeys  RecipientEncryptedKeys }
class RKeyAgreeRecipientInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RKeyAgreeRecipientInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(ROriginatorIdentifierOrKey, Originator, originator)
    QELT_OPTIONAL(ASN1OctetString, Ukm, ukm, 0x01)
    QELT_COMPONENT(RAlgorithmIdentifier, KeyEncryptionAlgorithm, keyEncryptionAlgorithm)
    QELT_COMPONENT(RRecipientEncryptedKeys, RecipientEncryptedKeys, recipientEncryptedKeys)
};

// RecipientInfo ::= CHOICE {
//     ktri       KeyTransRecipientInfo,
//     kari   [1] KeyAgreeRecipientInfo,
//     kekri  [2] KEKRecipientInfo,
//     pwri   [3] PasswordRecipientInfo,
//     ori    [4] OtherRecipientInfo }
// Password and other recipient infos keep their encoding.
class RRecipientInfo : public ChoiceRecord {
    QELT_CHOICE_RECORD(RRecipientInfo)
    QELT_ALTERNATIVE(RKeyTransRecipientInfo, Ktri, ktri, 0x01)
    QELT_ALTERNATIVE(RKeyAgreeRecipientInfo, Kari, kari, 0x02)
    QELT_ALTERNATIVE(RKEKRecipientInfo, Kekri, kekri, 0x04)
    QELT_ALTERNATIVE(ASN1Any, Pwri, pwri, 0x08)
    QELT_ALTERNATIVE(ASN1Any, Ori, ori, 0x10)
};

// RecipientInfos ::= SET SIZE (1..MAX) OF RecipientInfo
class RRecipientInfos : public SetOfRecord {
    QELT_LIST_RECORD(RRecipientInfos)
};

// EncryptedContentInfo ::= SEQUENCE {
//     contentType                 ContentType,
//     contentEncryptionAlgorithm  ContentEncryptionAlgorithmIdentifier,
//     encryptedContent        [0] IMPLICIT EncryptedContent OPTIONAL }
class REncryptedContentInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(REncryptedContentInfo)
    QELT_COMPONENT(ASN1ObjectIdentifier, ContentType, contentType)
    QELT_COMPONENT(RAlgorithmIdentifier, ContentEncryptionAlgorithm, contentEncryptionAlgorithm)
    QELT_OPTIONAL(ASN1OctetString, EncryptedContent, encryptedContent, 0x01)
};

// EnvelopedData ::= SEQUENCE {
//     version                  CMSVersion,
//     originatorInfo       [0] IMPLICIT OriginatorInfo OPTIONAL,
//     recipientInfos           RecipientInfos,
//     encryptedContentInfo     EncryptedContentInfo,
//     unprotectedAttrs     [1] IMPLICIT UnprotectedAttributes OPTIONAL }
class REnvelopedData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(REnvelopedData)
    QELT_VERSION(version)
    QELT_OPTIONAL(ROriginatorInfo, OriginatorInfo, originatorInfo, 0x01)
    QELT_COMPONENT(RRecipientInfos, RecipientInfos, recipientInfos)
    QELT_COMPONENT(REncryptedContentInfo, EncryptedContentInfo, encryptedContentInfo)
    QELT_OPTIONAL(RAttributes, UnprotectedAttrs, unprotectedAttrs, 0x02)
};

// EncryptedData ::= SEQUENCE {
//     version                  CMSVersion,
//     encryptedContentInfo     EncryptedContentInfo,
//     unprotectedAttrs     [1] IMPLICIT UnprotectedAttributes OPTIONAL }
class REncryptedData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(REncryptedData)
    QELT_VERSION(version)
    QELT_COMPONENT(REncryptedContentInfo, EncryptedContentInfo, encryptedContentInfo)
    QELT_OPTIONAL(RAttributes, UnprotectedAttrs, unprotectedAttrs, 0x01)
};

// ExtendedCertificateInfo ::= SEQUENCE {
//     version       CMSVersion,
//     certificate   Certificate,
//     attributes    UnauthAttributes }
class RExtendedCertificateInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RExtendedCertificateInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(RCertificate, Certificate, certificate)
    QELT_COMPONENT(RAttributes, Attributes, attributes)
};

// ExtendedCertificate ::= SEQUENCE {
//     extendedCertificateInfo  ExtendedCertificateInfo,
//     signatureAlgorithm       SignatureAlgorithmIdentifier,
//     signature                Signature }   -- BIT STRING
class RExtendedCertificate : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RExtendedCertificate)
    QELT_COMPONENT(RExtendedCertificateInfo, ExtendedCertificateInfo, extendedCertificateInfo)
    QELT_COMPONENT(RAlgorithmIdentifier, SignatureAlgorithm, signatureAlgorithm)
    QELT_COMPONENT(ASN1BitString, Signature, signature)
};

// ExtendedCertificateOrCertificate ::= CHOICE {
//     certificate              Certificate,
//     extendedCertificate  [0] IMPLICIT ExtendedCertificate }
class RExtendedCertificateOrCertificate : public ChoiceRecord {
    QELT_CHOICE_RECORD(RExtendedCertificateOrCertificate)
    QELT_ALTERNATIVE(RCertificate, Certificate, certificate, 0x01)
    QELT_ALTERNATIVE(RExtendedCertificate, ExtendedCertificate, extendedCertificate, 0x02)
};

// ExtendedCertificatesAndCertificates ::= SET OF ExtendedCertificateOrCertificate
class RExtendedCertificatesAndCertificates : public SetOfRecord {
    QELT_LIST_RECORD(RExtendedCertificatesAndCertificates)
};

// SignedAndEnvelopedData ::= SEQUENCE {
//     version               Version,
//     recipientInfos        RecipientInfos,
//     digestAlgorithms      DigestAlgorithmIdentifiers,
//     encryptedContentInfo  EncryptedContentInfo,
//     certificates      [0] IMPLICIT ExtendedCertificatesAndCertificates OPTIONAL,
//     crls              [1] IMPLICIT CertificateRevocationLists OPTIONAL,
//     signerInfos           SignerInfos }
class RSignedAndEnvelopedData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSignedAndEnvelopedData)
    QELT_VERSION(version)
    QELT_COMPONENT(RRecipientInfos, RecipientInfos, recipientInfos)
    QELT_COMPONENT(RDigestAlgorithmIdentifiers, DigestAlgorithms, digestAlgorithms)
    QELT_COMPONENT(REncryptedContentInfo, EncryptedContentInfo, encryptedContentInfo)
    QELT_OPTIONAL(RExtendedCertificatesAndCertificates, Certificates, certificates, 0x01)
    QELT_OPTIONAL(RCertificateRevocationLists, Crls, crls, 0x02)
    QELT_COMPONENT(RSignerInfos, SignerInfos, signerInfos)
};

// RSAES-OAEP-params ::= SEQUENCE {
//     hashAlgorithm      [0] HashAlgorithm     DEFAULT sha1,
//     maskGenAlgorithm   [1] MaskGenAlgorithm  DEFAULT mgf1SHA1,
//     pSourceAlgorithm   [2] PSourceAlgorithm  DEFAULT pSpecifiedEmpty }
class RRSAES_OAEP_params : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRSAES_OAEP_params)
    QELT_OPTIONAL(RAlgorithmIdentifier, HashAlgorithm, hashAlgorithm, 0x01)
    QELT_OPTIONAL(RAlgorithmIdentifier, MaskGenAlgorithm, maskGenAlgorithm, 0x02)
    QELT_OPTIONAL(RAlgorithmIdentifier, PSourceAlgorithm, pSourceAlgorithm, 0x04)
};

// RC2-CBC-Parameter ::= SEQUENCE {
//     rc2ParameterVersion  INTEGER OPTIONAL,
//     iv                   OCTET STRING }
class RRC2_CBC_Parameter : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRC2_CBC_Parameter)
    QELT_OPTIONAL(ASN1Integer, Rc2ParameterVersion, rc2ParameterVersion, 0x01)
    QELT_COMPONENT(ASN1OctetString, Iv, iv)
};

}  // namespace qelt
