#include "ASN1Pkix/x509_crl.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

const SequenceLayout RRevokedCertificate::kLayout{
    "RRevokedCertificate",
    atLeast(2, "At least 2 components are required."),
    {
        QELT_FIELD(m_userCertificate).is(kTagInteger, "userCertificate component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_revocationDate),
        QELT_FIELD(m_crlEntryExtensions).opt(kTagSequence, kCrlEntryExtensionsBit),
    }};

const SequenceLayout GTBSCertList::kLayout{
    "GTBSCertList",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_version).opt(kTagInteger, kVersionValueBit),
        QELT_FIELD(m_signature).is(kTagSequence, "signature component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_issuer).is(kTagSequence, "issuer component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_thisUpdate)
            .isEither(kTagUtcTime, kTagGeneralizedTime,
                      "thisUpdate component is not ASN1_TAG_UTCTIME or ASN1_TAG_GENERALIZEDTIME."),
        QELT_FIELD(m_nextUpdate).opt(kTagUtcTime, kNextUpdateBit, kTagGeneralizedTime),
        QELT_FIELD(m_revokedCertificates).opt(kTagSequence, kRevokedCertificatesBit),
        QELT_FIELD(m_crlExtensions).ctx(0, Tagging::Explicit, kCrlExtensionsBit),
    },
    false,
    true};

int GTBSCertList::getRevokedCertificate(int index, RRevokedCertificate& out) const {
    const auto bytes = componentOrEmpty(m_revokedCertificates).componentBytes(index);
    if (bytes.empty()) return 1;
    return out.fromASN1Object(bytes) == 0 ? 0 : 2;
}

const SequenceLayout GCertificateList::kLayout{
    "GCertificateList",
    exactly(3, "The number of components is not 3."),
    {
        QELT_FIELD(m_tbsCertList).is(kTagSequence, "tbsCertList component is not ASN1_TAG_SEQUENCE"),
        QELT_FIELD(m_signatureAlgorithm).is(kTagSequence, "signatureAlgorithm component is not ASN1_TAG_SEQUENCE"),
        QELT_FIELD(m_signature).is(kTagBitString, "signature component is not ASN1_TAG_BITSTRING"),
    },
    false,
    true};

const SequenceLayout RIssuingDistributionPoint::kLayout{
    "RIssuingDistributionPoint",
    anyCount(),
    {
        QELT_FIELD(m_distributionPoint).ctx(0, Tagging::Explicit, kDistributionPointBit).wrap(0),
        QELT_FIELD(m_onlyContainsUserCerts).ctx(1, Tagging::Implicit, kOnlyContainsUserCertsBit),
        QELT_FIELD(m_onlyContainsCACerts).ctx(2, Tagging::Implicit, kOnlyContainsCACertsBit),
        QELT_FIELD(m_onlySomeReasons).ctx(3, Tagging::Implicit, kOnlySomeReasonsBit),
        QELT_FIELD(m_indirectCRL).ctx(4, Tagging::Implicit, kIndirectCRLBit),
        QELT_FIELD(m_onlyContainsAttributeCerts).ctx(5, Tagging::Implicit, kOnlyContainsAttributeCertsBit),
    }};

// clang-format on

}  // namespace qelt
