// Time-stamp protocol records (RFC 3161, section 2.4).
#pragma once

#include "ASN1Pkix/cms_signed_data.h"

namespace qelt {

// MessageImprint ::= SEQUENCE {
//     hashAlgorithm   AlgorithmIdentifier,
//     hashedMessage   OCTET STRING }
class RMessageImprint : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RMessageImprint)
    QELT_COMPONENT(RAlgorithmIdentifier, HashAlgorithm, hashAlgorithm)
    QELT_COMPONENT(ASN1OctetString, HashedMessage, hashedMessage)
};

// TimeStampReq ::= SEQUENCE {
//     version          INTEGER { v1(1) },
//     messageImprint   MessageImprint,
//     reqPolicy        TSAPolicyId OPTIONAL,
//     nonce            INTEGER OPTIONAL,
//     certReq          BOOLEAN DEFAULT FALSE,
//     extensions   [0] IMPLICIT Extensions OPTIONAL }
class RTimeStampReq : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RTimeStampReq)
    QELT_VERSION(version)
    QELT_COMPONENT(RMessageImprint, MessageImprint, messageImprint)
    QELT_OPTIONAL(ASN1ObjectIdentifier, ReqPolicy, reqPolicy, 0x01)
    QELT_OPTIONAL(ASN1Integer, Nonce, nonce, 0x02)
    QELT_OPTIONAL(ASN1Boolean, CertReq, certReq, 0x04)
    QELT_OPTIONAL(RExtensions, Extensions, extensions, 0x08)
};

// PKIFreeText ::= SEQUENCE SIZE (1..MAX) OF UTF8String
class RPKIFreeText : public SequenceOfRecord {
    QELT_LIST_RECORD(RPKIFreeText)
};

// PKIStatusInfo ::= SEQUENCE {
//     status         PKIStatus,         -- INTEGER
//     statusString   PKIFreeText OPTIONAL,
//     failInfo       PKIFailureInfo OPTIONAL }   -- BIT STRING
class RPKIStatusInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPKIStatusInfo)
    QELT_COMPONENT(ASN1Integer, Status, status)
    QELT_OPTIONAL(RPKIFreeText, StatusString, statusString, 0x01)
    QELT_OPTIONAL(ASN1BitString, FailInfo, failInfo, 0x02)
};

// TimeStampResp ::= SEQUENCE {
//     status           PKIStatusInfo,
//     timeStampToken   TimeStampToken OPTIONAL }   -- ContentInfo
class RTimeStampResp : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RTimeStampResp)
    QELT_COMPONENT(RPKIStatusInfo, Status, status)
    QELT_OPTIONAL(RContentInfo, TimeStampToken, timeStampToken, 0x01)
};

// Accuracy ::= SEQUENCE {
//     seconds      INTEGER OPTIONAL,
//     millis   [0] INTEGER (1..999) OPTIONAL,
//     micros   [1] INTEGER (1..999) OPTIONAL }
class RAccuracy : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RAccuracy)
    QELT_OPTIONAL(ASN1Integer, Seconds, seconds, 0x01)
    QELT_OPTIONAL(ASN1Integer, Millis, millis, 0x02)
    QELT_OPTIONAL(ASN1Integer, Micros, micros, 0x04)
};

// TSTInfo ::= SEQUENCE {
//     version          INTEGER { v1(1) },
//     policy           TSAPolicyId,
//     messageImprint   MessageImprint,
//     serialNumber     INTEGER,
//     genTime          GeneralizedTime,
//     accuracy         Accuracy OPTIONAL,
//     ordering         BOOLEAN DEFAULT FALSE,
//     nonce            INTEGER OPTIONAL,
//     tsa          [0] GeneralName OPTIONAL,
//     extensions   [1] IMPLICIT Extensions OPTIONAL }
class RTSTInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RTSTInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(ASN1ObjectIdentifier, Policy, policy)
    QELT_COMPONENT(RMessageImprint, MessageImprint, messageImprint)
    QELT_COMPONENT(ASN1Integer, SerialNumber, serialNumber)
    QELT_COMPONENT(ASN1GeneralizedTime, GenTime, genTime)
    QELT_OPTIONAL(RAccuracy, Accuracy, accuracy, 0x01)
    QELT_OPTIONAL(ASN1Boolean, Ordering, ordering, 0x02)
    QELT_OPTIONAL(ASN1Integer, Nonce, nonce, 0x04)
    QELT_OPTIONAL(RGeneralName, Tsa, tsa, 0x08)
    QELT_OPTIONAL(RExtensions, Extensions, extensions, 0x10)
};

}  // namespace qelt
