#include "ASN1Pkix/x509_certificate.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RAlgorithmIdentifier::kLayout{
    "RAlgorithmIdentifier",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_algorithm),
        QELT_FIELD(m_parameters).optAny(kParametersBit),
    }};

const SequenceLayout RAttributeTypeAndValue::kLayout{
    "RAttributeTypeAndValue",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_type).is(kTagOid, "First component is not ASN1_TAG_OID."),
        QELT_FIELD(m_value),
    }};

const ChoiceLayout RDirectoryString::kLayout{
    "RDirectoryString",
    "Unknown component is chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_teletexString).universal(kTagT61String, kTeletexStringBit),
        QELT_ALT(m_printableString).universal(kTagPrintableString, kPrintableStringBit),
        QELT_ALT(m_universalString).universal(kTagUniversalString, kUniversalStringBit),
        QELT_ALT(m_utf8String).universal(kTagUtf8String, kUtf8StringBit),
        QELT_ALT(m_bmpString).universal(kTagBmpString, kBmpStringBit),
    }};

const ChoiceLayout RTime::kLayout{
    "RTime",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_utcTime).universal(kTagUtcTime, kUtcTimeBit),
        QELT_ALT(m_generalTime).universal(kTagGeneralizedTime, kGeneralTimeBit),
    }};

int64_t RTime::getGMTTime() const {
    if (isUtcTime()) return m_utcTime.getGMTTime();
    if (isGeneralTime()) return m_generalTime.getGMTTime();
    return kNoTime;
}

const SequenceLayout RValidity::kLayout{
    "RValidity",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_notBefore),
        QELT_FIELD(m_notAfter),
    }};

const SequenceLayout RSubjectPublicKeyInfo::kLayout{
    "RSubjectPublicKeyInfo",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_algorithm).is(kTagSequence, "algorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_subjectPublicKey).is(kTagBitString, "subjectPublicKey component is not ASN1_TAG_BITSTRING."),
    }};

const SequenceLayout RExtension::kLayout{
    "RExtension",
    between(2, 3, "The number of components is not 2 or 3."),
    {
        QELT_FIELD(m_extnID).is(kTagOid, "extnID component is not ASN1_TAG_OID."),
        QELT_FIELD(m_critical)
            .byCount(kCriticalBit)
            .is(kTagBoolean, "critical component is not ASN1_TAG_BOOLEAN.")
            .orDefault(defaultFalse),
        QELT_FIELD(m_extnValue).is(kTagOctetString, "extnValue component is not ASN1_TAG_OCTETSTRING."),
    }};

int RExtensions::findExtension(const char* oidText, RExtension& out) const {
    const ASN1ObjectIdentifier wanted(oidText);
    for (int i = 0; i < getElementCount(); ++i) {
        if (getElement(i, out) == 0 && out.getExtnID().getValue() == wanted.getValue()) return 0;
    }
    return 1;
}

const SequenceLayout RTBSCertificate::kLayout{
    "RTBSCertificate",
    atLeast(6, "At least 6 components are required."),
    {
        QELT_FIELD(m_version).ctx(0, Tagging::Explicit, 0x01).orDefault(defaultVersionZero),
        QELT_FIELD(m_serialNumber).is(kTagInteger, "serialNumber component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_signature).is(kTagSequence, "signature component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_issuer).is(kTagSequence, "issuer component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_validity).is(kTagSequence, "validity component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_subject).is(kTagSequence, "subject component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_subjectPublicKeyInfo)
            .is(kTagSequence, "subjectPublicKeyInfo component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_issuerUniqueID).ctx(1, Tagging::Implicit, kIssuerUniqueIDBit),
        QELT_FIELD(m_subjectUniqueID).ctx(2, Tagging::Implicit, kSubjectUniqueIDBit),
        QELT_FIELD(m_extensions).ctx(3, Tagging::Explicit, kExtensionsBit),
    },
    false,
    true};

const SequenceLayout RCertificate::kLayout{
    "RCertificate",
    exactly(3, "The number of components is not 3."),
    {
        QELT_FIELD(m_tbsCertificate).is(kTagSequence, "tbsCertificate component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_signatureAlgorithm).is(kTagSequence, "signatureAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_signature).is(kTagBitString, "signature component is not ASN1_TAG_BITSTRING."),
    },
    false,
    true};

// clang-format on

}  // namespace qelt
