#include "ASN1Pkix/trust_and_identity.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RTrustedCertificate::kLayout{
    "RTrustedCertificate",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_trustedCertificateHash).is(kTagOctetString, "hashOfCert component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_trustedCertificateAttributes).opt(kTagSet, kTrustedCertificateAttributesBit),
    }};

const SequenceLayout RCertificateTrustList::kLayout{
    "RCertificateTrustList",
    atLeast(5, "At least 5 components are required."),
    {
        QELT_FIELD(m_version).opt(kTagInteger, kVersionValueBit),
        QELT_FIELD(m_subjectUsage).is(kTagSequence, "subjectUsage component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_listIdentifier).opt(kTagOctetString, kListIdentifierBit),
        QELT_FIELD(m_SequenceNumber).opt(kTagInteger, kSequenceNumberBit),
        QELT_FIELD(m_thisUpdate),
        QELT_FIELD(m_NextUpdate).opt(kTagUtcTime, kNextUpdateBit, kTagGeneralizedTime),
        QELT_FIELD(m_subjectAlgorithm).is(kTagSequence, "subjectAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_trustedSubjects).opt(kTagSequence, kTrustedSubjectsBit),
        QELT_FIELD(m_extensions).ctx(0, Tagging::Explicit, kExtensionsBit),
    }};

const SequenceLayout RCertificates::kLayout{
    "RCertificates",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_userCertificate).is(kTagSequence, "userCertificate component is not ASN1_TAG_SEQUENCE"),
        QELT_FIELD(m_certificationPath).is(kTagSequence, "certificationPath component is not ASN1_TAG_SEQUENCE"),
    }};

const SequenceLayout RVID::kLayout{
    "RVID",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_hashAlg).is(kTagSequence, "hashAlg component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_virtualID).tagged(0, Tagging::Explicit, "virtualID component's option number is not 0."),
    }};

const SequenceLayout RHashContent::kLayout{
    "RHashContent",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_idn),
        QELT_FIELD(m_randomNum),
    }};

const SequenceLayout RIdentifyData::kLayout{
    "RIdentifyData",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_realName).is(kTagUtf8String, "realName component is not ASN1_TAG_UTF8STRING."),
        QELT_FIELD(m_userInfo).is(kTagSequence, "userInfo component is not ASN1_TAG_SEQUENCE."),
    }};

// clang-format on

}  // namespace qelt
