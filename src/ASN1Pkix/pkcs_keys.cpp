#include "ASN1Pkix/pkcs_keys.h"

namespace qelt {

using namespace asn1;

// The record statements below are tables, one component per line.
// clang-format off

namespace {
constexpr const char* kTwo = "The number of components is not 2.";
}

const SequenceLayout RDigestInfo::kLayout{
    "RDigestInfo",
    exactly(2, kTwo),
    {
        QELT_FIELD(m_digestAlgorithm).is(kTagSequence, "digestAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_digest).is(kTagOctetString, "digest component is not ASN1_TAG_OCTETSTRING."),
    }};

const SequenceLayout RRSAPublicKey::kLayout{
    "RRSAPublicKey",
    exactly(2, kTwo),
    {
        QELT_FIELD(m_modulus).is(kTagInteger, "modulus component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_publicExponent).is(kTagInteger, "publicExponent component is not ASN1_TAG_INTEGER."),
    }};

const SequenceLayout RRSAPrivateKey::kLayout{
    "RRSAPrivateKey",
    atLeast(8, "At least 8 components are required."),
    {
        QELT_FIELD(m_version).is(kTagInteger, "version component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_modulus).is(kTagInteger, "modulus component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_publicExponent).is(kTagInteger, "publicExponent component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_privateExponent).is(kTagInteger, "privateExponent component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_prime1).is(kTagInteger, "prime1 component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_prime2).is(kTagInteger, "prime2 component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_exponent1).is(kTagInteger, "exponent1 component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_exponent2).is(kTagInteger, "exponent2 component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_coefficient).is(kTagInteger, "coefficient component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_otherPrimeInfos).opt(kTagSequence, kOtherPrimeInfosBit),
    }};

const SequenceLayout RKCDSAParameters::kLayout{
    "RKCDSAParameters",
    exactly(3, "The number of components is not 3."),
    {
        QELT_FIELD(m_p).is(kTagInteger, "p component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_q).is(kTagInteger, "q component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_g).is(kTagInteger, "g component is not ASN1_TAG_INTEGER."),
    }};

const SequenceLayout RDSAPublicKey::kLayout{
    "RDSAPublicKey",
    exactly(4, "The number of components is not 4."),
    {
        QELT_FIELD(m_y).is(kTagInteger, "y component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_p).is(kTagInteger, "p component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_q).is(kTagInteger, "q component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_g).is(kTagInteger, "g component is not ASN1_TAG_INTEGER."),
    }};

const SequenceLayout RDSAPrivateKey::kLayout{
    "RDSAPrivateKey",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_p).is(kTagInteger, "p component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_q).is(kTagInteger, "q component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_g).is(kTagInteger, "g component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_x).opt(kTagInteger, kXBit),
        QELT_FIELD(m_y).opt(kTagInteger, kYBit),
    }};

const SequenceLayout RFieldID::kLayout{
    "RFieldID",
    exactly(2, "The number of component is not 2."),
    {
        QELT_FIELD(m_fieldType),
        QELT_FIELD(m_parameters),
    }};

const SequenceLayout RCurve::kLayout{
    "RCurve",
    atLeast(2, "At least 2 component is required."),
    {
        QELT_FIELD(m_a),
        QELT_FIELD(m_b),
        QELT_FIELD(m_seed).opt(kTagBitString, kSeedBit),
    }};

const SequenceLayout RECParameters::kLayout{
    "RECParameters",
    atLeast(5, "At least 5 components are required."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_fieldID),
        QELT_FIELD(m_curve),
        QELT_FIELD(m_base),
        QELT_FIELD(m_order),
        QELT_FIELD(m_cofactor).opt(kTagInteger, kCofactorBit),
    }};

const ChoiceLayout RecpkParameters::kLayout{
    "RecpkParameters",
    "Any component does not chosen.",
    "Any component does not chosen.",
    {
        QELT_ALT(m_ecParameters).universal(kTagSequence, kEcParametersBit),
        QELT_ALT(m_namedCurve).universal(kTagOid, kNamedCurveBit),
        QELT_ALT(m_implicitlyCA).universal(kTagNull, kImplicitlyCABit),
    }};

const SequenceLayout RECPrivateKey::kLayout{
    "RECPrivateKey",
    atLeast(2, "At least 2 component is required."),
    {
        QELT_FIELD(m_version),
        QELT_FIELD(m_privateKey),
        QELT_FIELD(m_parameters).ctx(0, Tagging::Explicit, kParametersBit).wrap(0),
        QELT_FIELD(m_publicKey).ctx(1, Tagging::Explicit, kPublicKeyBit),
    }};

const SequenceLayout RKCDSASignatureValue::kLayout{
    "RKCDSASignatureValue",
    exactly(2, kTwo),
    {
        QELT_FIELD(m_r).is(kTagBitString, "r component is not ASN1_TAG_BIT_STRING."),
        QELT_FIELD(m_s).is(kTagInteger, "s component is not ASN1_TAG_INTEGER."),
    }};

const SequenceLayout RECDSA_Sig_Value::kLayout{
    "RECDSA_Sig_Value",
    exactly(2, kTwo),
    {
        QELT_FIELD(m_r),
        QELT_FIELD(m_s),
    }};

const SequenceLayout RPrivateKeyInfo::kLayout{
    "RPrivateKeyInfo",
    atLeast(3, "At least 3 components are required."),
    {
        QELT_FIELD(m_version).is(kTagInteger, "version component is not ASN1_TAG_INTEGER."),
        QELT_FIELD(m_privateKeyAlgorithm)
            .is(kTagSequence, "privateKeyAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_privateKey).is(kTagOctetString, "privateKey component is not ASN1_TAG_OCTETSTRING."),
        QELT_FIELD(m_attributes).ctx(0, Tagging::Implicit, kAttributesBit),
        QELT_FIELD(m_publicKey).ctx(1, Tagging::Implicit, kPublicKeyBit),
    }};

const SequenceLayout REncryptedPrivateKeyInfo::kLayout{
    "REncryptedPrivateKeyInfo",
    exactly(2, kTwo),
    {
        QELT_FIELD(m_encryptionAlgorithm)
            .is(kTagSequence, "encryptionAlgorithm component is not ASN1_TAG_SEQUENCE."),
        QELT_FIELD(m_encryptedData).is(kTagOctetString, "encryptedData component is not ASN1_TAG_OCTETSTRING."),
    }};

const SequenceLayout RPBEParameter::kLayout{
    "RPBEParameter",
    exactly(2, kTwo),
    {
        QELT_FIELD(m_salt),
        QELT_FIELD(m_iterationCount),
    }};

const SequenceLayout RPBES2_params::kLayout{
    "RPBES2_params",
    atLeast(2, "At least 2 components are required."),
    {
        QELT_FIELD(m_keyDerivationFunc),
        QELT_FIELD(m_encryptionScheme),
    }};

const SequenceLayout RPBKDF2_params::kLayout{
    "RPBKDF2_params",
    atLeast(2, "At least 2 components are required."),
    {
        QELT_FIELD(m_salt).isEither(kTagOctetString, kTagSequence, "Any component does not choesen(salt component)."),
        QELT_FIELD(m_iterationCount),
        QELT_FIELD(m_keyLength).opt(kTagInteger, kKeyLengthBit),
        QELT_FIELD(m_prf).opt(kTagSequence, kPrfBit),
    }};

int RPBKDF2_params::getSpecifiedSalt(ByteString& out) const {
    out.clear();
    ASN1OctetString salt;
    if (salt.fromASN1Object(componentOrEmpty(m_salt).getEncoding()) != 0) return 1;
    out.assign(salt.getValue());
    return 0;
}

// clang-format on

}  // namespace qelt
