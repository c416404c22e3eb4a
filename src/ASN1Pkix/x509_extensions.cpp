#include "ASN1Pkix/x509_extensions.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RAnotherName::kLayout{
    "RAnotherName",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_typeId).is(kTagOid, "First component is not ASN1_TAG_OID."),
        QELT_FIELD(m_value).wrap(0),
    }};

const SequenceLayout REDIPartyName::kLayout{
    "REDIPartyName",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_nameAssigner).ctx(0, Tagging::Explicit, kNameAssignerBit).wrap(0),
        QELT_FIELD(m_partyName).checkContext(1, "partyName component's option number is not 1.").wrap(1),
    }};

const ChoiceLayout RGeneralName::kLayout{
    "RGeneralName",
    "Any component does not chosen.",
    "Any component does not chosen.",
    {
        QELT_ALT(m_otherName).context(0, Tagging::Implicit, kOtherNameBit),
        QELT_ALT(m_rfc822Name).context(1, Tagging::Implicit, kRfc822NameBit),
        QELT_ALT(m_dNSName).context(2, Tagging::Implicit, kDNSNameBit),
        QELT_ALT(m_x400Address).context(3, Tagging::Implicit, kX400AddressBit),
        QELT_ALT(m_directoryName).context(4, Tagging::Explicit, kDirectoryNameBit),
        QELT_ALT(m_ediPartyName).context(5, Tagging::Implicit, kEdiPartyNameBit),
        QELT_ALT(m_uniformResourceIdentifier).context(6, Tagging::Implicit, kUniformResourceIdentifierBit),
        QELT_ALT(m_iPAddress).context(7, Tagging::Implicit, kIPAddressBit),
        QELT_ALT(m_registeredID).context(8, Tagging::Implicit, kRegisteredIDBit),
    }};

const SequenceLayout RBasicConstraints::kLayout{
    "RBasicConstraints",
    anyCount(),
    {
        QELT_FIELD(m_cA).opt(kTagBoolean, kCABit).orDefault(defaultFalse),
        QELT_FIELD(m_pathLenConstraint).opt(kTagInteger, kPathLenConstraintBit),
    }};

const ChoiceLayout RDisplayText::kLayout{
    "RDisplayText",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_ia5String).universal(kTagIa5String, kIa5StringBit),
        QELT_ALT(m_visibleString).universal(kTagVisibleString, kVisibleStringBit),
        QELT_ALT(m_bmpString).universal(kTagBmpString, kBmpStringBit),
        QELT_ALT(m_utf8String).universal(kTagUtf8String, kUtf8StringBit),
    }};

const SequenceLayout RNoticeReference::kLayout{
    "RNoticeReference",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_organization),
        QELT_FIELD(m_noticeNumbers).is(kTagSequence, "noticeNumbers component is not ASN1_TAG_SEQUENCE."),
    }};

const SequenceLayout RUserNotice::kLayout{
    "RUserNotice",
    anyCount(),
    {
        QELT_FIELD(m_noticeRef).opt(kTagSequence, kNoticeRefBit),
        QELT_FIELD(m_explicitText).optAny(kExplicitTextBit),
    }};

const SequenceLayout RPolicyQualifierInfo::kLayout{
    "RPolicyQualifierInfo",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_policyQualifierId),
        QELT_FIELD(m_qualifier),
    }};

const SequenceLayout RPolicyInformation::kLayout{
    "RPolicyInformation",
    atLeast(1, "At least 1 component is requried."),
    {
        // The system's message for a policy identifier that is not an OID.
        QELT_FIELD(m_policyIdentifier).is(kTagOid, "policyIdentifier component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_policyQualifiers).opt(kTagSequence, kPolicyQualifiersBit),
    }};

const SequenceLayout RAuthorityKeyIdentifier::kLayout{
    "RAuthorityKeyIdentifier",
    anyCount(),
    {
        QELT_FIELD(m_keyIdentifier).ctx(0, Tagging::Implicit, kKeyIdentifierBit),
        QELT_FIELD(m_authorityCertIssuer).ctx(1, Tagging::Implicit, kAuthorityCertIssuerBit),
        QELT_FIELD(m_authorityCertSerialNumber).ctx(2, Tagging::Implicit, kAuthorityCertSerialNumberBit),
    }};

const ChoiceLayout RDistributionPointName::kLayout{
    "RDistributionPointName",
    "Any component dose not chosen.",
    "Any component dose not chosen.",
    {
        QELT_ALT(m_fullName).context(0, Tagging::Implicit, kFullNameBit),
        QELT_ALT(m_nameRelativeToCRLIssuer).context(1, Tagging::Implicit, kNameRelativeToCRLIssuerBit),
    }};

const SequenceLayout RDistributionPoint::kLayout{
    "RDistributionPoint",
    anyCount(),
    {
        QELT_FIELD(m_distributionPoint).ctx(0, Tagging::Explicit, kDistributionPointBit).wrap(0),
        QELT_FIELD(m_reasons).ctx(1, Tagging::Implicit, kReasonsBit),
        QELT_FIELD(m_cRLIssuer).ctx(2, Tagging::Implicit, kCRLIssuerBit),
    }};

const SequenceLayout RAccessDescription::kLayout{
    "RAccessDescription",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_accessMethod).is(kTagOid, "First component is not ASN1_TAG_OID."),
        QELT_FIELD(m_accessLocation),
    }};

const SequenceLayout RPolicyConstraints::kLayout{
    "RPolicyConstraints",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_requireExplicitPolicy).ctx(0, Tagging::Implicit, kRequireExplicitPolicyBit),
        QELT_FIELD(m_inhibitPolicyMapping).ctx(1, Tagging::Implicit, kInhibitPolicyMappingBit),
    }};

const SequenceLayout RGeneralSubtree::kLayout{
    "RGeneralSubtree",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_base),
        QELT_FIELD(m_minimum).ctx(0, Tagging::Implicit, kMinimumBit),
        QELT_FIELD(m_maximum).ctx(1, Tagging::Implicit, kMaximumBit),
    }};

const SequenceLayout RNameConstraints::kLayout{
    "RNameConstraints",
    anyCount(),
    {
        QELT_FIELD(m_permittedSubtrees).ctx(0, Tagging::Implicit, kPermittedSubtreesBit),
        QELT_FIELD(m_excludedSubtrees).ctx(1, Tagging::Implicit, kExcludedSubtreesBit),
    }};

// clang-format on

}  // namespace qelt
