#include "ASN1Pkix/cms_enveloped_data.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

namespace {
constexpr const char* kVersionNotInteger = "version component is not ASN1_TAG_INTEGER.";
}

const SequenceLayout ROriginatorInfo::kLayout{
    "ROriginatorInfo",
    anyCount(),
    {
        QELT_FIELD(m_certs).ctx(0, Tagging::Implicit, kCertsBit),
        QELT_FIELD(m_crls).ctx(1, Tagging::Implicit, kCrlsBit),
    }};

const ChoiceLayout RRecipientIdentifier::kLayout{
    "RRecipientIdentifier",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_issuerAndSerialNumber).universal(kTagSequence, kIssuerAndSerialNumberBit),
        QELT_ALT(m_subjectKeyIdentifier).context(0, Tagging::Implicit, kSubjectKeyIdentifierBit),
    }};

const SequenceLayout RKeyTransRecipientInfo::kLayout{
    "RKeyTransRecipientInfo",
    exactly(4, "The number of components is not 4."),
    {
        QELT_FIELD(m_version).is(kTagInteger, kVersionNotInteger),
        QELT_FIELD(m_rid),
        // The system's message for an algorithm that is not a SEQUENCE.
        QELT_FIELD(m_keyEncryptionAlgorithm)
            .is(kTagSequence, "keyEncryptionAlgorithm component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_encryptedKey).is(kTagOctetString, "encryptedKey component is not ASN1_TAG_OCTETSTRING."),
    }};

const SequenceLayout ROtherKeyAttribute::kLayout{
    "ROtherKeyAttribute",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_keyAttrId).is(kTagOid, "keyAttrId component is not ASN1_TAG_OID."),
        QELT_FIELD(m_keyAttr).optAny(kKeyAttrBit),
    }};

const SequenceLayout RKEKIdentifier::kLayout{
    "RKEKIdentifier",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_keyIdentifier).is(kTagOctetString, "keyIdentifier component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_date).opt(kTagGeneralizedTime, kDateBit),
        QELT_FIELD(m_other).opt(kTagSequence, kOtherBit),
    }};

const SequenceLayout RKEKRecipientInfo::kLayout{
    "RKEKRecipientInfo",
    exactly(4, "The number of components is not 4."),
    {
        QELT_FIELD(m_version).is(kTagInteger, kVersionNotInteger),
        QELT_FIELD(m_kekid).is(kTagSequence, "kekid component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_keyEncryptionAlgorithm)
            .is(kTagSequence, "keyEncryptionAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_encryptedKey).is(kTagOctetString, "encryptedKey component is not ASN1_TAG_OCTETSTRING."),
    }};

const SequenceLayout ROriginatorPublicKey::kLayout{
    "ROriginatorPublicKey",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_algorithm),
        QELT_FIELD(m_publicKey),
    }};

const ChoiceLayout ROriginatorIdentifierOrKey::kLayout{
    "ROriginatorIdentifierOrKey",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_issuerAndSerialNumber).universal(kTagSequence, kIssuerAndSerialNumberBit),
        QELT_ALT(m_subjectKeyIdentifier).context(0, Tagging::Implicit, kSubjectKeyIdentifierBit),
        QELT_ALT(m_originatorKey).context(1, Tagging::Implicit, kOriginatorKeyBit),
    }};

const SequenceLayout RKeyAgreeRecipientInfo::kLayout{
    "RKeyAgreeRecipientInfo",
    atLeast(4, "At least 4 components are required."),
    {
        QELT_FIELD(m_version).is(kTagInteger, kVersionNotInteger),
        QELT_FIELD(m_originator).checkContext(0, "originator component is not [0] Explicit.").wrap(0),
        QELT_FIELD(m_ukm).ctx(1, Tagging::Explicit, kUkmBit),
        QELT_FIELD(m_keyEncryptionAlgorithm),
        QELT_FIELD(m_recipientEncryptedKeys),
    }};

const ChoiceLayout RRecipientInfo::kLayout{
    "RRecipientInfo",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_ktri).universal(kTagSequence, kKtriBit),
        QELT_ALT(m_kari).context(1, Tagging::Implicit, kKariBit),
        QELT_ALT(m_kekri).context(2, Tagging::Implicit, kKekriBit),
        QELT_ALT(m_pwri).context(3, Tagging::Implicit, kPwriBit),
        QELT_ALT(m_ori).context(4, Tagging::Implicit, kOriBit),
    }};

const SequenceLayout REncryptedContentInfo::kLayout{
    "REncryptedContentInfo",
    atLeast(2, "At least 2 component is required."),
    {
        QELT_FIELD(m_contentType).is(kTagOid, "contentType component is not ASN1_TAG_OID."),
        QELT_FIELD(m_contentEncryptionAlgorithm)
            .is(kTagSequence, "contentEncryptionAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_encryptedContent).ctx(0, Tagging::Implicit, kEncryptedContentBit),
    }};

const SequenceLayout REnvelopedData::kLayout{
    "REnvelopedData",
    atLeast(3, "At least 3 components is required."),
    {
        QELT_FIELD(m_version).is(kTagInteger, kVersionNotInteger),
        QELT_FIELD(m_originatorInfo).ctx(0, Tagging::Implicit, kOriginatorInfoBit),
        QELT_FIELD(m_recipientInfos).is(kTagSet, "recipientInfos component is not ASN1_TAG_SET."),
        QELT_FIELD(m_encryptedContentInfo)
            .is(kTagSequence, "encryptedContentInfo component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_unprotectedAttrs).ctx(1, Tagging::Implicit, kUnprotectedAttrsBit),
    }};

const SequenceLayout REncryptedData::kLayout{
    "REncryptedData",
    atLeast(2, "At least 2 component is required."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_encryptedContentInfo),
        QELT_FIELD(m_unprotectedAttrs).ctx(1, Tagging::Implicit, kUnprotectedAttrsBit),
    }};

const SequenceLayout RExtendedCertificateInfo::kLayout{
    "RExtendedCertificateInfo",
    exactly(3, "The number of components is not 3."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_certificate),
        QELT_FIELD(m_attributes),
    }};

const SequenceLayout RExtendedCertificate::kLayout{
    "RExtendedCertificate",
    exactly(3, "The number of components is not 3."),
    {
        QELT_FIELD(m_extendedCertificateInfo),
        QELT_FIELD(m_signatureAlgorithm),
        QELT_FIELD(m_signature),
    }};

const ChoiceLayout RExtendedCertificateOrCertificate::kLayout{
    "RExtendedCertificateOrCertificate",
    "Any component does not choosen",
    "Any component does not choosen",
    {
        QELT_ALT(m_certificate).universal(kTagSequence, kCertificateBit),
        QELT_ALT(m_extendedCertificate).context(0, Tagging::Implicit, kExtendedCertificateBit),
    }};

const SequenceLayout RSignedAndEnvelopedData::kLayout{
    "RSignedAndEnvelopedData",
    atLeast(5, "At least 5 components are required."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_recipientInfos).is(kTagSet, "recipientInfos component is not ASN1_TAG_SET."),
        QELT_FIELD(m_digestAlgorithms).is(kTagSet, "digestAlgorithms component is not ASN1_TAG_SET."),
        QELT_FIELD(m_encryptedContentInfo),
        QELT_FIELD(m_certificates).ctx(0, Tagging::Implicit, kCertificatesBit),
        QELT_FIELD(m_crls).ctx(1, Tagging::Implicit, kCrlsBit),
        QELT_FIELD(m_signerInfos).is(kTagSet, "signerInfos component is not ASN1_TAG_SET."),
    }};

const SequenceLayout RRSAES_OAEP_params::kLayout{
    "RRSAES_OAEP_params",
    anyCount(),
    {
        QELT_FIELD(m_hashAlgorithm).ctx(0, Tagging::Explicit, kHashAlgorithmBit),
        QELT_FIELD(m_maskGenAlgorithm).ctx(1, Tagging::Explicit, kMaskGenAlgorithmBit),
        QELT_FIELD(m_pSourceAlgorithm).ctx(2, Tagging::Explicit, kPSourceAlgorithmBit),
    }};

const SequenceLayout RRC2_CBC_Parameter::kLayout{
    "RRC2_CBC_Parameter",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_rc2ParameterVersion).opt(kTagInteger, kRc2ParameterVersionBit),
        QELT_FIELD(m_iv).is(kTagOctetString, "iv component is not ASN1_TAG_OCTETSTRING."),
    }};

// clang-format on

}  // namespace qelt
