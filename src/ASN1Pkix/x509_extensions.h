// Records of the certificate and CRL extension values (RFC 5280, 4.2).
#pragma once

#include "ASN1Pkix/or_address.h"
#include "ASN1Pkix/x509_certificate.h"

namespace qelt {

// AnotherName ::= SEQUENCE {
//     type-id    OBJECT IDENTIFIER,
//     value      [0] EXPLICIT ANY DEFINED BY type-id }
class RAnotherName : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAnotherName)
    QELT_COMPONENT(ASN1ObjectIdentifier, TypeId, typeId)
    QELT_COMPONENT(ASN1Any, Value, value)
};

// EDIPartyName ::= SEQUENCE {
//     nameAssigner    [0] DirectoryString OPTIONAL,
//     partyName       [1] DirectoryString }
class REDIPartyName : public SequenceRecord {
    QELT_SEQUENCE_RECORD(REDIPartyName)
    QELT_OPTIONAL(RDirectoryString, NameAssigner, nameAssigner, 0x01)
    QELT_COMPONENT(RDirectoryString, PartyName, partyName)
};

// GeneralName ::= CHOICE {
//     otherName                 [0] IMPLICIT AnotherName,
//     rfc822Name                [1] IMPLICIT IA5String,
//     dNSName                   [2] IMPLICIT IA5String,
//     x400Address               [3] IMPLICIT ORAddress,
//     directoryName             [4] EXPLICIT Name,
//     ediPartyName              [5] IMPLICIT EDIPartyName,
//     uniformResourceIdentifier [6] IMPLICIT IA5String,
//     iPAddress                 [7] IMPLICIT OCTET STRING,
//     registeredID              [8] IMPLICIT OBJECT IDENTIFIER }
class RGeneralName : public ChoiceRecord {
    QELT_CHOICE_RECORD(RGeneralName)
    QELT_ALTERNATIVE(RAnotherName, OtherName, otherName, 0x01)
    QELT_ALTERNATIVE(ASN1IA5String, Rfc822Name, rfc822Name, 0x02)
    QELT_ALTERNATIVE(ASN1IA5String, DNSName, dNSName, 0x04)
    QELT_ALTERNATIVE(RORAddress, X400Address, x400Address, 0x08)
    QELT_ALTERNATIVE(RRDNSequence, DirectoryName, directoryName, 0x10)
    QELT_ALTERNATIVE(REDIPartyName, EdiPartyName, ediPartyName, 0x20)
    QELT_ALTERNATIVE(ASN1IA5String, UniformResourceIdentifier, uniformResourceIdentifier, 0x40)
    QELT_ALTERNATIVE(ASN1OctetString, IPAddress, iPAddress, 0x80)
    // registeredID: the ninth alternative does not fit the byte mask; it is
    // marked by the mask value 0x81 (no other combination occurs in a CHOICE).
    QELT_ALTERNATIVE(ASN1ObjectIdentifier, RegisteredID, registeredID, 0x81)
};

// GeneralNames ::= SEQUENCE SIZE (1..MAX) OF GeneralName
class RGeneralNames : public SequenceOfRecord {
    QELT_LIST_RECORD(RGeneralNames)
};

// BasicConstraints ::= SEQUENCE {
//     cA                  BOOLEAN DEFAULT FALSE,
//     pathLenConstraint   INTEGER (0..MAX) OPTIONAL }
class RBasicConstraints : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RBasicConstraints)
    QELT_OPTIONAL(ASN1Boolean, CA, cA, 0x01)
    QELT_OPTIONAL(ASN1Integer, PathLenConstraint, pathLenConstraint, 0x02)
};

// DisplayText ::= CHOICE {
//     ia5String        IA5String,
//     visibleString    VisibleString,
//     bmpString        BMPString,
//     utf8String       UTF8String }
class RDisplayText : public ChoiceRecord {
    QELT_CHOICE_RECORD(RDisplayText)
    QELT_ALTERNATIVE(ASN1IA5String, Ia5String, ia5String, 0x01)
    QELT_ALTERNATIVE(ASN1VisibleString, VisibleString, visibleString, 0x02)
    QELT_ALTERNATIVE(ASN1BMPString, BmpString, bmpString, 0x04)
    QELT_ALTERNATIVE(ASN1UTF8String, Utf8String, utf8String, 0x08)
};

// NoticeReference ::= SEQUENCE {
//     organization     DisplayText,
//     noticeNumbers    SEQUENCE OF INTEGER }
class RNoticeReference : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RNoticeReference)
    QELT_COMPONENT(RDisplayText, Organization, organization)
    QELT_COMPONENT(ASN1Sequence, NoticeNumbers, noticeNumbers)
};

// UserNotice ::= SEQUENCE {
//     noticeRef        NoticeReference OPTIONAL,
//     explicitText     DisplayText OPTIONAL }
class RUserNotice : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RUserNotice)
    QELT_OPTIONAL(RNoticeReference, NoticeRef, noticeRef, 0x01)
    QELT_OPTIONAL(RDisplayText, ExplicitText, explicitText, 0x02)
};

// PolicyQualifierInfo ::= SEQUENCE {
//     policyQualifierId  PolicyQualifierId,
//     qualifier          ANY DEFINED BY policyQualifierId }
class RPolicyQualifierInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPolicyQualifierInfo)
    QELT_COMPONENT(ASN1ObjectIdentifier, PolicyQualifierId, policyQualifierId)
    QELT_COMPONENT(ASN1Any, Qualifier, qualifier)
};

// PolicyInformation ::= SEQUENCE {
//     policyIdentifier   CertPolicyId,
//     policyQualifiers   SEQUENCE SIZE (1..MAX) OF PolicyQualifierInfo OPTIONAL }
class RPolicyInformation : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPolicyInformation)
    QELT_COMPONENT(ASN1ObjectIdentifier, PolicyIdentifier, policyIdentifier)
    QELT_OPTIONAL(ASN1Sequence, PolicyQualifiers, policyQualifiers, 0x01)
};

// CertificatePolicies ::= SEQUENCE SIZE (1..MAX) OF PolicyInformation
class RCertificatePolicies : public SequenceOfRecord {
    QELT_LIST_RECORD(RCertificatePolicies)
};

// ExtKeyUsageSyntax ::= SEQUENCE SIZE (1..MAX) OF KeyPurposeId
class RExtKeyUsageSyntax : public SequenceOfRecord {
    QELT_LIST_RECORD(RExtKeyUsageSyntax)
};

// AuthorityKeyIdentifier ::= SEQUENCE {
//     keyIdentifier             [0] KeyIdentifier           OPTIONAL,
//     authorityCertIssuer       [1] GeneralNames            OPTIONAL,
//     authorityCertSerialNumber [2] CertificateSerialNumber OPTIONAL }
class RAuthorityKeyIdentifier : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAuthorityKeyIdentifier)
    QELT_OPTIONAL(ASN1OctetString, KeyIdentifier, keyIdentifier, 0x01)
    QELT_OPTIONAL(RGeneralNames, AuthorityCertIssuer, authorityCertIssuer, 0x02)
    QELT_OPTIONAL(ASN1Integer, AuthorityCertSerialNumber, authorityCertSerialNumber, 0x04)
};

// DistributionPointName ::= CHOICE {
//     fullName                [0] GeneralNames,
//     nameRelativeToCRLIssuer [1] RelativeDistinguishedName }
class RDistributionPointName : public ChoiceRecord {
    QELT_CHOICE_RECORD(RDistributionPointName)
    QELT_ALTERNATIVE(RGeneralNames, FullName, fullName, 0x01)
    QELT_ALTERNATIVE(RRelativeDistinguishedName, NameRelativeToCRLIssuer, nameRelativeToCRLIssuer, 0x02)
};

// DistributionPoint ::= SEQUENCE {
//     distributionPoint       [0] DistributionPointName OPTIONAL,
//     reasons                 [1] ReasonFlags OPTIONAL,
//     cRLIssuer               [2] GeneralNames OPTIONAL }
class RDistributionPoint : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RDistributionPoint)
    QELT_OPTIONAL(RDistributionPointName, DistributionPoint, distributionPoint, 0x01)
    QELT_OPTIONAL(ASN1BitString, Reasons, reasons, 0x02)
    QELT_OPTIONAL(RGeneralNames, CRLIssuer, cRLIssuer, 0x04)
};

// CRLDistributionPoints ::= SEQUENCE SIZE (1..MAX) OF DistributionPoint
class RCRLDistPointsSyntax : public SequenceOfRecord {
    QELT_LIST_RECORD(RCRLDistPointsSyntax)
};

// AccessDescription ::= SEQUENCE {
//     accessMethod     OBJECT IDENTIFIER,
//     accessLocation   GeneralName }
class RAccessDescription : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAccessDescription)
    QELT_COMPONENT(ASN1ObjectIdentifier, AccessMethod, accessMethod)
    QELT_COMPONENT(RGeneralName, AccessLocation, accessLocation)
};

// AuthorityInfoAccessSyntax ::= SEQUENCE SIZE (1..MAX) OF AccessDescription
class RAuthorityInfoAccessSyntax : public SequenceOfRecord {
    QELT_LIST_RECORD(RAuthorityInfoAccessSyntax)
};

// PolicyConstraints ::= SEQUENCE {
//     requireExplicitPolicy   [0] SkipCerts OPTIONAL,
//     inhibitPolicyMapping    [1] SkipCerts OPTIONAL }
class RPolicyConstraints : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPolicyConstraints)
    QELT_OPTIONAL(ASN1Integer, RequireExplicitPolicy, requireExplicitPolicy, 0x01)
    QELT_OPTIONAL(ASN1Integer, InhibitPolicyMapping, inhibitPolicyMapping, 0x02)
};

// PolicyMappings ::= SEQUENCE SIZE (1..MAX) OF SEQUENCE {
//     issuerDomainPolicy      CertPolicyId,
//     subjectDomainPolicy     CertPolicyId }
class RPolicyMappings : public SequenceOfRecord {
    QELT_LIST_RECORD(RPolicyMappings)
};

// GeneralSubtree ::= SEQUENCE {
//     base                    GeneralName,
//     minimum         [0]     BaseDistance DEFAULT 0,
//     maximum         [1]     BaseDistance OPTIONAL }
class RGeneralSubtree : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RGeneralSubtree)
    QELT_COMPONENT(RGeneralName, Base, base)
    QELT_OPTIONAL(ASN1Integer, Minimum, minimum, 0x01)
    QELT_OPTIONAL(ASN1Integer, Maximum, maximum, 0x02)
};

// GeneralSubtrees ::= SEQUENCE SIZE (1..MAX) OF GeneralSubtree
class RGeneralSubtrees : public SequenceOfRecord {
    QELT_LIST_RECORD(RGeneralSubtrees)
};

// NameConstraints ::= SEQUENCE {
//     permittedSubtrees       [0]     GeneralSubtrees OPTIONAL,
//     excludedSubtrees        [1]     GeneralSubtrees OPTIONAL }
class RNameConstraints : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RNameConstraints)
    QELT_OPTIONAL(RGeneralSubtrees, PermittedSubtrees, permittedSubtrees, 0x01)
    QELT_OPTIONAL(RGeneralSubtrees, ExcludedSubtrees, excludedSubtrees, 0x02)
};

}  // namespace qelt
