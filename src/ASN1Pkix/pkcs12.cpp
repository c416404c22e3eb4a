#include "ASN1Pkix/pkcs12.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

namespace {
constexpr const char* kAtLeastTwo = "At least 2 components are requried.";
}

const SequenceLayout RMacData::kLayout{
    "RMacData",
    atLeast(2, kAtLeastTwo),
    {
        QELT_FIELD(m_mac).is(kTagSequence, "mac component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_macSalt).is(kTagOctetString, "macSalt component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_iterations).opt(kTagInteger, kIterationsBit),
    }};

const SequenceLayout RPFX::kLayout{
    "RPFX",
    atLeast(2, kAtLeastTwo),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_authSafe),
        QELT_FIELD(m_macData).opt(kTagSequence, kMacDataBit),
    }};

const SequenceLayout RSafeBag::kLayout{
    "RSafeBag",
    atLeast(2, kAtLeastTwo),
    {
        QELT_FIELD(m_bagId),
        QELT_FIELD(m_bagValue).checkContext(0, "bagValue component's option number is wrong.").wrap(0),
        QELT_FIELD(m_bagAttributes).opt(kTagSet, kBagAttributesBit),
    }};

const SequenceLayout RCertBag::kLayout{
    "RCertBag",
    atLeast(2, kAtLeastTwo),
    {
        QELT_FIELD(m_certId),
        QELT_FIELD(m_certValue).checkContext(0, "certValue's option number is not 0").wrap(0),
    }};

const SequenceLayout RCRLBag::kLayout{
    "RCRLBag",
    atLeast(2, kAtLeastTwo),
    {
        QELT_FIELD(m_crlId),
        QELT_FIELD(m_crlValue).checkContext(0, "crlValue's option number is not 0.").wrap(0),
    }};

// clang-format on

}  // namespace qelt
