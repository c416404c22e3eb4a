#include "ASN1Pkix/ocsp.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout ROCSPCertID::kLayout{
    "ROCSPCertID",
    exactly(4, "The number of components is not 4."),
    {
        QELT_FIELD(m_hashAlgorithm).is(kTagSequence, "hashAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_issuerNameHash).is(kTagOctetString, "issuerNameHash component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_issuerKeyHash).is(kTagOctetString, "issuerKeyHash component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_serialNumber),
    }};

const SequenceLayout RRequest::kLayout{
    "RRequest",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_reqCert),
        QELT_FIELD(m_singleRequestExtensions).ctx(0, Tagging::Explicit, kSingleRequestExtensionsBit),
    }};

const SequenceLayout RTBSRequest::kLayout{
    "RTBSRequest",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_version).ctx(0, Tagging::Explicit, 0x01).orDefault(defaultVersionZero),
        QELT_FIELD(m_requestorName).ctx(1, Tagging::Explicit, kRequestorNameBit).wrap(1),
        QELT_FIELD(m_requestList).is(kTagSequence, "requestList component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_requestExtensions).ctx(2, Tagging::Explicit, kRequestExtensionsBit),
    },
    false,
    true};

const SequenceLayout RSignature::kLayout{
    "RSignature",
    atLeast(2, "At least 2 components are required."),
    {
        QELT_FIELD(m_signatureAlgorithm),
        QELT_FIELD(m_signature),
        QELT_FIELD(m_certs).ctx(0, Tagging::Explicit, kCertsBit),
    }};

const SequenceLayout ROCSPRequest::kLayout{
    "ROCSPRequest",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_tbsRequest),
        QELT_FIELD(m_optionalSignature).ctx(0, Tagging::Explicit, kOptionalSignatureBit),
    }};

const SequenceLayout RServiceLocator::kLayout{
    "RServiceLocator",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_issuer),
        QELT_FIELD(m_locator),
    }};

const SequenceLayout RResponseBytes::kLayout{
    "RResponseBytes",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_responseType).is(kTagOid, "responseType component is not ASN1_TAG_OID."),
        QELT_FIELD(m_response),
    }};

const SequenceLayout ROCSPResponse::kLayout{
    "ROCSPResponse",
    atLeast(1, "At least 1 component is required."),
    {
        // The system's message for a status that is not an ENUMERATED.
        QELT_FIELD(m_responseStatus).is(kTagEnumerated, "responseStatus component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_responseBytes).ctx(0, Tagging::Explicit, kResponseBytesBit),
    }};

const ChoiceLayout RResponderID::kLayout{
    "RResponderID",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_byName).context(1, Tagging::Explicit, kByNameBit),
        QELT_ALT(m_byKey).context(2, Tagging::Explicit, kByKeyBit),
    }};

const SequenceLayout RRevokedInfo::kLayout{
    "RRevokedInfo",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_revocationTime)
            .is(kTagGeneralizedTime, "revocationTime component is not ASN1_TAG_GENERALIZEDTIME."),
        QELT_FIELD(m_revocationReason).ctx(0, Tagging::Explicit, kRevocationReasonBit),
    }};

const ChoiceLayout RCertStatus::kLayout{
    "RCertStatus",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_good).context(0, Tagging::Implicit, kGoodBit),
        QELT_ALT(m_revoked).context(1, Tagging::Implicit, kRevokedBit),
        QELT_ALT(m_unknown).context(2, Tagging::Implicit, kUnknownBit),
    }};

const SequenceLayout RSingleResponse::kLayout{
    "RSingleResponse",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_certID),
        QELT_FIELD(m_certStatus),
        QELT_FIELD(m_thisUpdate).is(kTagGeneralizedTime, "thisUpdate component is not ASN1_TAG_GENERALIZEDTIME."),
        QELT_FIELD(m_nextUpdate).ctx(0, Tagging::Explicit, kNextUpdateBit),
        QELT_FIELD(m_singleExtensions).ctx(1, Tagging::Explicit, kSingleExtensionsBit),
    }};

const SequenceLayout RResponseData::kLayout{
    "RResponseData",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_version).ctx(0, Tagging::Explicit, 0x01).orDefault(defaultVersionZero),
        QELT_FIELD(m_responderID),
        QELT_FIELD(m_producedAt).is(kTagGeneralizedTime, "producedAt component is not ASN1_TAG_GENERALIZEDTIME."),
        QELT_FIELD(m_responses),
        QELT_FIELD(m_responseExtensions).ctx(1, Tagging::Explicit, kResponseExtensionsBit),
    },
    false,
    true};

const SequenceLayout RBasicOCSPResponse::kLayout{
    "RBasicOCSPResponse",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_tbsResponseData),
        QELT_FIELD(m_signatureAlgorithm),
        QELT_FIELD(m_signature),
        QELT_FIELD(m_certs).ctx(0, Tagging::Explicit, kCertsBit),
    }};

// clang-format on

}  // namespace qelt
