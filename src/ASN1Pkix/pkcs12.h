// PKCS #12 personal information exchange records (RFC 7292).
#pragma once

#include "ASN1Pkix/pkcs_keys.h"

namespace qelt {

// MacData ::= SEQUENCE {
//     mac          DigestInfo,
//     macSalt      OCTET STRING,
//     iterations   INTEGER DEFAULT 1 }
class RMacData : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RMacData)
    QELT_COMPONENT(RDigestInfo, Mac, mac)
    QELT_COMPONENT(ASN1OctetString, MacSalt, macSalt)
    QELT_OPTIONAL(ASN1Integer, Iterations, iterations, 0x01)
};

// PFX ::= SEQUENCE {
//     version     INTEGER {v3(3)}(v3,...),
//     authSafe    ContentInfo,
//     macData     MacData OPTIONAL }
class RPFX : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPFX)
    QELT_VERSION(version)
    QELT_COMPONENT(RContentInfo, AuthSafe, authSafe)
    QELT_OPTIONAL(RMacData, MacData, macData, 0x01)
};

// AuthenticatedSafe ::= SEQUENCE OF ContentInfo
class RAuthenticatedSafe : public SequenceOfRecord {
    QELT_LIST_RECORD(RAuthenticatedSafe)
};

// PKCS12Attribute sets: SET OF Attribute (friendlyName, localKeyId, ...)
class RPKCS12Attributes : public SetOfRecord {
    QELT_LIST_RECORD(RPKCS12Attributes)
};

// SafeBag ::= SEQUENCE {
//     bagId          BAG-TYPE.&id ({PKCS12BagSet}),
//     bagValue       [0] EXPLICIT BAG-TYPE.&Type({PKCS12BagSet}{@bagId}),
//     bagAttributes  SET OF PKCS12Attribute OPTIONAL }
class RSafeBag : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RSafeBag)
    QELT_COMPONENT(ASN1ObjectIdentifier, BagId, bagId)
    QELT_COMPONENT(ASN1Any, BagValue, bagValue)
    QELT_OPTIONAL(RPKCS12Attributes, BagAttributes, bagAttributes, 0x01)
};

// SafeContents ::= SEQUENCE OF SafeBag
class RSafeContents : public SequenceOfRecord {
    QELT_LIST_RECORD(RSafeContents)
};

// CertBag ::= SEQUENCE {
//     certId      BAG-TYPE.&id   ({CertTypes}),
//     certValue   [0] EXPLICIT BAG-TYPE.&Type ({CertTypes}{@certId}) }
class RCertBag : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RCertBag)
    QELT_COMPONENT(ASN1ObjectIdentifier, CertId, certId)
    QELT_COMPONENT(ASN1Any, CertValue, certValue)
};

// CRLBag ::= SEQUENCE {
//     crlId      BAG-TYPE.&id ({CRLTypes}),
//     crlValue   [0] EXPLICIT BAG-TYPE.&Type ({CRLTypes}{@crlId}) }
class RCRLBag : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RCRLBag)
    QELT_COMPONENT(ASN1ObjectIdentifier, CrlId, crlId)
    QELT_COMPONENT(ASN1Any, CrlValue, crlValue)
};

}  // namespace qelt
