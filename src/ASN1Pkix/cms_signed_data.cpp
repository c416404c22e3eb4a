#include "ASN1Pkix/cms_signed_data.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RContentInfo::kLayout{
    "RContentInfo",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_contentType).is(kTagOid, "contentType component is not ASN1_TAG_OID."),
        QELT_FIELD(m_content)
            .byCount(kContentBit)
            .checkContext(0, "content option number is not 0.")
            .wrap(0, "asnSeqContent does not have 1 component."),
    }};

const SequenceLayout REncapsulatedContentInfo::kLayout{
    "REncapsulatedContentInfo",
    atLeast(1, "At least 1 component is required."),
    {
        QELT_FIELD(m_eContentType).is(kTagOid, "eContentType component is not ASN1_TAG_OID."),
        QELT_FIELD(m_eContent).byCount(kEContentBit).checkContext(0, "eContent option number is not 0.").wrap(0),
    }};

int REncapsulatedContentInfo::getContentOctets(ByteString& out) const {
    out.clear();
    if (!hasEContent()) return 1;
    ASN1OctetString octets;
    if (octets.fromASN1Object(componentOrEmpty(m_eContent).getEncoding()) != 0) return 2;
    out.assign(octets.getValue());
    return 0;
}

const SequenceLayout RAttribute::kLayout{
    "RAttribute",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_attrType).is(kTagOid, "First component is not ASN1_TAG_OID."),
        QELT_FIELD(m_attrValues),
    }};

int RAttributes::findAttribute(const char* oidText, RAttribute& out) const {
    const ASN1ObjectIdentifier wanted(oidText);
    for (int i = 0; i < getElementCount(); ++i)
        if (getElement(i, out) == 0 && out.getAttrType().getValue() == wanted.getValue()) return 0;
    return 1;
}

const ChoiceLayout RCertificateChoices::kLayout{
    "RCertificateChoices",
    "Unknown component type.",
    "Unknown component type.",
    {
        QELT_ALT(m_certificate).universal(kTagSequence, kCertificateBit),
        QELT_ALT(m_extendedCertificate).context(0, Tagging::Implicit, kExtendedCertificateBit),
        QELT_ALT(m_v1AttrCert).context(1, Tagging::Implicit, kV1AttrCertBit),
        QELT_ALT(m_v2AttrCert).context(2, Tagging::Implicit, kV2AttrCertBit),
        QELT_ALT(m_other).context(3, Tagging::Implicit, kOtherBit),
    }};

const SequenceLayout RIssuerAndSerialNumber::kLayout{
    "RIssuerAndSerialNumber",
    anyCount(),
    {
        QELT_FIELD(m_issuer).isEither(kTagSequence, kTagNull,
                                      "issuer component is not ASN1_TAG_SEQUENCE or ASN1_TAG_NULLTAG."),
        QELT_FIELD(m_serialNumber).is(kTagInteger, "serialNumber component is not ASN1_TAG_INTEGER."),
    }};

const ChoiceLayout RSignerIdentifier::kLayout{
    "RSignerIdentifier",
    "Any component is not chosen.",
    "Unknown component is chosen.",
    {
        QELT_ALT(m_issuerAndSerialNumber).universal(kTagSequence, kIssuerAndSerialNumberBit),
        QELT_ALT(m_subjectKeyIdentifier).context(0, Tagging::Implicit, kSubjectKeyIdentifierBit),
    }};

const SequenceLayout RSignerInfo::kLayout{
    "RSignerInfo",
    atLeast(5, "At least 5 components are required."),
    {
        QELT_FIELD(m_version).is(kTagInteger, "version component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_sid),
        QELT_FIELD(m_digestAlgorithm).is(kTagSequence, "digestAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_signedAttrs).ctx(0, Tagging::Implicit, kSignedAttrsBit),
        QELT_FIELD(m_signatureAlgorithm).is(kTagSequence, "signatureAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_signature).is(kTagOctetString, "signature component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_unsignedAttrs).ctx(1, Tagging::Implicit, kUnsignedAttrsBit),
    }};

const SequenceLayout RSignedData::kLayout{
    "RSignedData",
    atLeast(4, "At least 4 components are required."),
    {
        QELT_FIELD(m_version).is(kTagInteger, "version component is not ASN1_TAG_INTEGER."),
        // A SET OF on the wire; the system's message names SEQUENCE.
        QELT_FIELD(m_digestAlgorithms).is(kTagSet, "digestAlgorithms component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_encapContentInfo)
            .is(kTagSequence, "encapContentInfo(or contentInfo) component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_certificates).ctx(0, Tagging::Implicit, kCertificatesBit),
        QELT_FIELD(m_crls).ctx(1, Tagging::Implicit, kCrlsBit),
        QELT_FIELD(m_signerInfos).is(kTagSet, "signerInfos component is not ASN1_TAG_SET."),
    }};

const SequenceLayout RIssuerSerial::kLayout{
    "RIssuerSerial",
    exactly(2, "The number of components is not 2."),
    {
        QELT_FIELD(m_issuer),
        QELT_FIELD(m_serialNumber),
    }};

const SequenceLayout RESSCertID::kLayout{
    "RESSCertID",
    atLeast(1, "At least 1 components are required."),
    {
        QELT_FIELD(m_certHash).is(kTagOctetString, "certHash component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_issuerSerial).opt(kTagSequence, kIssuerSerialBit),
    }};

const SequenceLayout RSigningCertificate::kLayout{
    "RSigningCertificate",
    atLeast(1, "At least 1 components are required."),
    {
        QELT_FIELD(m_certs).is(kTagSequence, "certs component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_policies).opt(kTagSequence, kPoliciesBit),
    }};

// clang-format on

}  // namespace qelt
