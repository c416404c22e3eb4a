#include "ASN1Pkix/tsp.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RMessageImprint::kLayout{
    "RMessageImprint",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_hashAlgorithm).is(kTagSequence, "hashAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_hashedMessage).is(kTagOctetString, "hashedMessage component is not ASN1_TAG_OCTETSTRING."),
    }};

const SequenceLayout RTimeStampReq::kLayout{
    "RTimeStampReq",
    atLeast(2, "At least 2 components are required."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_messageImprint),
        QELT_FIELD(m_reqPolicy).opt(kTagOid, kReqPolicyBit),
        QELT_FIELD(m_nonce).opt(kTagInteger, kNonceBit),
        QELT_FIELD(m_certReq).opt(kTagBoolean, kCertReqBit).orDefault(defaultFalse),
        QELT_FIELD(m_extensions).ctx(0, Tagging::Implicit, kExtensionsBit),
    }};

const SequenceLayout RPKIStatusInfo::kLayout{
    "RPKIStatusInfo",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_status),
        QELT_FIELD(m_statusString).opt(kTagSequence, kStatusStringBit),
        QELT_FIELD(m_failInfo).opt(kTagBitString, kFailInfoBit),
    }};

const SequenceLayout RTimeStampResp::kLayout{
    "RTimeStampResp",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_status),
        QELT_FIELD(m_timeStampToken).opt(kTagSequence, kTimeStampTokenBit),
    }};

const SequenceLayout RAccuracy::kLayout{
    "RAccuracy",
    anyCount(),
    {
        QELT_FIELD(m_seconds).opt(kTagInteger, kSecondsBit),
        QELT_FIELD(m_millis).ctx(0, Tagging::Implicit, kMillisBit),
        QELT_FIELD(m_micros).ctx(1, Tagging::Implicit, kMicrosBit),
    }};

const SequenceLayout RTSTInfo::kLayout{
    "RTSTInfo",
    atLeast(5, "At least 5 components are required."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_policy),
        QELT_FIELD(m_messageImprint),
        QELT_FIELD(m_serialNumber),
        QELT_FIELD(m_genTime).is(kTagGeneralizedTime, "genTime component is not ASN1_TAG_GENERALIZEDTIME."),
        QELT_FIELD(m_accuracy).opt(kTagSequence, kAccuracyBit),
        QELT_FIELD(m_ordering).opt(kTagBoolean, kOrderingBit).orDefault(defaultFalse),
        QELT_FIELD(m_nonce).opt(kTagInteger, kNonceBit),
        QELT_FIELD(m_tsa).ctx(0, Tagging::Explicit, kTsaBit).wrap(0),
        QELT_FIELD(m_extensions).ctx(1, Tagging::Implicit, kExtensionsBit),
    }};

// clang-format on

}  // namespace qelt
