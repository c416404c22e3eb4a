// OCSP request and response records (RFC 6960, section 4).
#pragma once

#include "ASN1Pkix/x509_extensions.h"

namespace qelt {

// CertID ::= SEQUENCE {
//     hashAlgorithm       AlgorithmIdentifier,
//     issuerNameHash      OCTET STRING,
//     issuerKeyHash       OCTET STRING,
//     serialNumber        CertificateSerialNumber }
class ROCSPCertID : public SequenceRecord {
    QELT_SEQUENCE_RECORD(ROCSPCertID)
    QELT_COMPONENT(RAlgorithmIdentifier, HashAlgorithm, hashAlgorithm)
    QELT_COMPONENT(ASN1OctetString, IssuerNameHash, issuerNameHash)
    QELT_COMPONENT(ASN1OctetString, IssuerKeyHash, issuerKeyHash)
    QELT_COMPONENT(ASN1Integer, SerialNumber, serialNumber)
};

// Request ::= SEQUENCE {
//     reqCert                     CertID,
//     singleRequestExtensions [0] EXPLICIT Extensions OPTIONAL }
class RRequest : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRequest)
    QELT_COMPONENT(ROCSPCertID, ReqCert, reqCert)
    QELT_OPTIONAL(RExtensions, SingleRequestExtensions, singleRequestExtensions, 0x01)
};

// TBSRequest ::= SEQUENCE {
//     version             [0] EXPLICIT Version DEFAULT v1,
//     requestorName       [1] EXPLICIT GeneralName OPTIONAL,
//     requestList             SEQUENCE OF Request,
//     requestExtensions   [2] EXPLICIT Extensions OPTIONAL }
class RTBSRequest : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RTBSRequest)
    QELT_OPTIONAL_VERSION(version, 0x01)
    QELT_OPTIONAL(RGeneralName, RequestorName, requestorName, 0x02)
    // Elements are RRequest encodings.
    QELT_COMPONENT(ASN1Sequence, RequestList, requestList)
    QELT_OPTIONAL(RExtensions, RequestExtensions, requestExtensions, 0x04)
};

// Signature ::= SEQUENCE {
//     signatureAlgorithm      AlgorithmIdentifier,
//     signature               BIT STRING,
//     certs               [0] EXPLICIT SEQUENCE OF Certificate OPTIONAL }
class RSignature : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSignature)
    QELT_COMPONENT(RAlgorithmIdentifier, SignatureAlgorithm, signatureAlgorithm)
    QELT_COMPONENT(ASN1BitString, Signature, signature)
    QELT_OPTIONAL(ASN1Sequence, Certs, certs, 0x01)
};

// OCSPRequest ::= SEQUENCE {
//     tbsRequest                  TBSRequest,
//     optionalSignature   [0]     EXPLICIT Signature OPTIONAL }
class ROCSPRequest : public SequenceRecord {
    QELT_SEQUENCE_RECORD(ROCSPRequest)
    QELT_COMPONENT(RTBSRequest, TbsRequest, tbsRequest)
    QELT_OPTIONAL(RSignature, OptionalSignature, optionalSignature, 0x01)
};

// ServiceLocator ::= SEQUENCE {
//     issuer    Name,
//     locator   AuthorityInfoAccessSyntax }
class RServiceLocator : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RServiceLocator)
    QELT_COMPONENT(RRDNSequence, Issuer, issuer)
    QELT_COMPONENT(RAuthorityInfoAccessSyntax, Locator, locator)
};

// AcceptableResponses ::= SEQUENCE OF OBJECT IDENTIFIER
class RAcceptableResponses : public SequenceOfRecord {
    QELT_LIST_RECORD(RAcceptableResponses)
};

// ResponseBytes ::= SEQUENCE {
//     responseType   OBJECT IDENTIFIER,
//     response       OCTET STRING }
class RResponseBytes : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RResponseBytes)
    QELT_COMPONENT(ASN1ObjectIdentifier, ResponseType, responseType)
    QELT_COMPONENT(ASN1OctetString, Response, response)
};

// OCSPResponse ::= SEQUENCE {
//     responseStatus         OCSPResponseStatus,   -- ENUMERATED
//     responseBytes      [0] EXPLICIT ResponseBytes OPTIONAL }
class ROCSPResponse : public SequenceRecord {
    QELT_SEQUENCE_RECORD(ROCSPResponse)
    QELT_COMPONENT(ASN1Enumerated, ResponseStatus, responseStatus)
    QELT_OPTIONAL(RResponseBytes, ResponseBytes, responseBytes, 0x01)
};

// ResponderID ::= CHOICE {
//     byName   [1] Name,
//     byKey    [2] KeyHash }   -- OCTET STRING
class RResponderID : public ChoiceRecord {
    QELT_CHOICE_RECORD(RResponderID)
    QELT_ALTERNATIVE(RRDNSequence, ByName, byName, 0x01)
    QELT_ALTERNATIVE(ASN1OctetString, ByKey, byKey, 0x02)
};

// RevokedInfo ::= SEQUENCE {
//     revocationTime            GeneralizedTime,
//     revocationReason      [0] EXPLICIT CRLReason OPTIONAL }
class RRevokedInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRevokedInfo)
    QELT_COMPONENT(ASN1GeneralizedTime, RevocationTime, revocationTime)
    QELT_OPTIONAL(ASN1Enumerated, RevocationReason, revocationReason, 0x01)
};

// CertStatus ::= CHOICE {
//     good        [0] IMPLICIT NULL,
//     revoked     [1] IMPLICIT RevokedInfo,
//     unknown     [2] IMPLICIT UnknownInfo }   -- NULL
class RCertStatus : public ChoiceRecord {
    QELT_CHOICE_RECORD(RCertStatus)
    QELT_ALTERNATIVE(ASN1Null, Good, good, 0x01)
    QELT_ALTERNATIVE(RRevokedInfo, Revoked, revoked, 0x02)
    QELT_ALTERNATIVE(ASN1Null, Unknown, unknown, 0x04)
};

// SingleResponse ::= SEQUENCE {
//     certID                       CertID,
//     certStatus                   CertStatus,
//     thisUpdate                   GeneralizedTime,
//     nextUpdate         [0]       EXPLICIT GeneralizedTime OPTIONAL,
//     singleExtensions   [1]       EXPLICIT Extensions OPTIONAL }
class RSingleResponse : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSingleResponse)
    QELT_COMPONENT(ROCSPCertID, CertID, certID)
    QELT_COMPONENT(RCertStatus, CertStatus, certStatus)
    QELT_COMPONENT(ASN1GeneralizedTime, ThisUpdate, thisUpdate)
    QELT_OPTIONAL(ASN1GeneralizedTime, NextUpdate, nextUpdate, 0x01)
    QELT_OPTIONAL(RExtensions, SingleExtensions, singleExtensions, 0x02)
};

// ResponseData ::= SEQUENCE {
//     version              [0] EXPLICIT Version DEFAULT v1,
//     responderID              ResponderID,
//     producedAt               GeneralizedTime,
//     responses                SEQUENCE OF SingleResponse,
//     responseExtensions   [1] EXPLICIT Extensions OPTIONAL }
class RResponseData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RResponseData)
    QELT_OPTIONAL_VERSION(version, 0x01)
    QELT_COMPONENT(RResponderID, ResponderID, responderID)
    QELT_COMPONENT(ASN1GeneralizedTime, ProducedAt, producedAt)
    // Elements are RSingleResponse encodings.
    QELT_COMPONENT(ASN1Sequence, Responses, responses)
    QELT_OPTIONAL(RExtensions, ResponseExtensions, responseExtensions, 0x02)
};

// BasicOCSPResponse ::= SEQUENCE {
//     tbsResponseData      ResponseData,
//     signatureAlgorithm   AlgorithmIdentifier,
//     signature            BIT STRING,
//     certs            [0] EXPLICIT SEQUENCE OF Certificate OPTIONAL }
class RBasicOCSPResponse : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RBasicOCSPResponse)
    QELT_COMPONENT(RResponseData, TbsResponseData, tbsResponseData)
    QELT_COMPONENT(RAlgorithmIdentifier, SignatureAlgorithm, signatureAlgorithm)
    QELT_COMPONENT(ASN1BitString, Signature, signature)
    QELT_OPTIONAL(ASN1Sequence, Certs, certs, 0x01)
};

}  // namespace qelt
