// Key and parameter records: PKCS #1 (RFC 8017), DSA and KCDSA keys and
// domain parameters, elliptic-curve keys and parameters (SEC 1, RFC 3279),
// PKCS #8 private-key information (RFC 5208) and PKCS #5 parameters
// (RFC 8018).
#pragma once

#include "ASN1Pkix/cms_signed_data.h"

namespace qelt {

// DigestInfo ::= SEQUENCE {
//     digestAlgorithm   DigestAlgorithmIdentifier,
//     digest            OCTET STRING }
class RDigestInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RDigestInfo)
    QELT_COMPONENT(RAlgorithmIdentifier, DigestAlgorithm, digestAlgorithm)
    QELT_COMPONENT(ASN1OctetString, Digest, digest)
};

// RSAPublicKey ::= SEQUENCE {
//     modulus           INTEGER,  -- n
//     publicExponent    INTEGER } -- e
class RRSAPublicKey : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRSAPublicKey)
    QELT_COMPONENT(ASN1Integer, Modulus, modulus)
    QELT_COMPONENT(ASN1Integer, PublicExponent, publicExponent)
};

// RSAPrivateKey ::= SEQUENCE {
//     version           Version,
//     modulus           INTEGER,  -- n
//     publicExponent    INTEGER,  -- e
//     privateExponent   INTEGER,  -- d
//     prime1            INTEGER,  -- p
//     prime2            INTEGER,  -- q
//     exponent1         INTEGER,  -- d mod (p-1)
//     exponent2         INTEGER,  -- d mod (q-1)
//     coefficient       INTEGER,  -- (inverse of q) mod p
//     otherPrimeInfos   OtherPrimeInfos OPTIONAL }
class RRSAPrivateKey : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RRSAPrivateKey)
    QELT_VERSION(version)
    QELT_COMPONENT(ASN1Integer, Modulus, modulus)
    QELT_COMPONENT(ASN1Integer, PublicExponent, publicExponent)
    QELT_COMPONENT(ASN1Integer, PrivateExponent, privateExponent)
    QELT_COMPONENT(ASN1Integer, Prime1, prime1)
    QELT_COMPONENT(ASN1Integer, Prime2, prime2)
    QELT_COMPONENT(ASN1Integer, Exponent1, exponent1)
    QELT_COMPONENT(ASN1Integer, Exponent2, exponent2)
    QELT_COMPONENT(ASN1Integer, Coefficient, coefficient)
    QELT_OPTIONAL(ASN1Sequence, OtherPrimeInfos, otherPrimeInfos, 0x01)
};

// KCDSAParameters, Dss-Parms ::= SEQUENCE {
//     p   INTEGER,
//     q   INTEGER,
//     g   INTEGER }
class RKCDSAParameters : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RKCDSAParameters)
    QELT_COMPONENT(ASN1Integer, P, p)
    QELT_COMPONENT(ASN1Integer, Q, q)
    QELT_COMPONENT(ASN1Integer, G, g)
};

// DSAPublicKey ::= SEQUENCE {   -- the key with its domain parameters
//     y   INTEGER,
//     p   INTEGER,
//     q   INTEGER,
//     g   INTEGER }
class RDSAPublicKey : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RDSAPublicKey)
    QELT_COMPONENT(ASN1Integer, Y, y)
    QELT_COMPONENT(ASN1Integer, P, p)
    QELT_COMPONENT(ASN1Integer, Q, q)
    QELT_COMPONENT(ASN1Integer, G, g)
};

// DSAPrivateKey ::= SEQUENCE {
//     p   INTEGER,
//     q   INTEGER,
//     g   INTEGER,
//     x   INTEGER OPTIONAL,  -- the private value
//     y   INTEGER OPTIONAL } -- the public value
class RDSAPrivateKey : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RDSAPrivateKey)
    QELT_COMPONENT(ASN1Integer, P, p)
    QELT_COMPONENT(ASN1Integer, Q, q)
    QELT_COMPONENT(ASN1Integer, G, g)
    QELT_OPTIONAL(ASN1Integer, X, x, 0x01)
    QELT_OPTIONAL(ASN1Integer, Y, y, 0x02)
};

// FieldID ::= SEQUENCE {
//     fieldType    OBJECT IDENTIFIER,
//     parameters   ANY DEFINED BY fieldType }
class RFieldID : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RFieldID)
    QELT_COMPONENT(ASN1ObjectIdentifier, FieldType, fieldType)
    QELT_COMPONENT(ASN1Any, Parameters, parameters)
};

// Curve ::= SEQUENCE {
//     a      FieldElement,   -- OCTET STRING
//     b      FieldElement,
//     seed   BIT STRING OPTIONAL }
class RCurve : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RCurve)
    QELT_COMPONENT(ASN1OctetString, A, a)
    QELT_COMPONENT(ASN1OctetString, B, b)
    QELT_OPTIONAL(ASN1BitString, Seed, seed, 0x01)
};

// ECParameters ::= SEQUENCE {
//     version    ECPVer,
//     fieldID    FieldID,
//     curve      Curve,
//     base       ECPoint,        -- OCTET STRING
//     order      INTEGER,
//     cofactor   INTEGER OPTIONAL }
class RECParameters : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RECParameters)
    QELT_VERSION(version)
    QELT_COMPONENT(RFieldID, FieldID, fieldID)
    QELT_COMPONENT(RCurve, Curve, curve)
    QELT_COMPONENT(ASN1OctetString, Base, base)
    QELT_COMPONENT(ASN1Integer, Order, order)
    QELT_OPTIONAL(ASN1Integer, Cofactor, cofactor, 0x01)
};

// EcpkParameters ::= CHOICE {
//     ecParameters   ECParameters,
//     namedCurve     OBJECT IDENTIFIER,
//     implicitlyCA   NULL }
class RecpkParameters : public ChoiceRecord {
    QELT_CHOICE_RECORD(RecpkParameters)
    QELT_ALTERNATIVE(RECParameters, EcParameters, ecParameters, 0x01)
    QELT_ALTERNATIVE(ASN1ObjectIdentifier, NamedCurve, namedCurve, 0x02)
    QELT_ALTERNATIVE(ASN1Null, ImplicitlyCA, implicitlyCA, 0x04)
};

// ECPrivateKey ::= SEQUENCE {
//     version        INTEGER { ecPrivkeyVer1(1) },
//     privateKey     OCTET STRING,
//     parameters [0] EcpkParameters OPTIONAL,
//     publicKey  [1] BIT STRING OPTIONAL }
class RECPrivateKey : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RECPrivateKey)
    QELT_VERSION(version)
    QELT_COMPONENT(ASN1OctetString, PrivateKey, privateKey)
    QELT_OPTIONAL(RecpkParameters, Parameters, parameters, 0x01)
    QELT_OPTIONAL(ASN1BitString, PublicKey, publicKey, 0x02)
};

// ECDSA-Sig-Value ::= SEQUENCE {
//     r   INTEGER,
//     s   INTEGER }
class RECDSA_Sig_Value : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RECDSA_Sig_Value)
    QELT_COMPONENT(ASN1Integer, R, r)
    QELT_COMPONENT(ASN1Integer, S, s)
};

// KCDSA signature value:
// KCDSASignatureValue ::= SEQUENCE {
//     r   BIT STRING,   -- the hash-length bits, no unused bits
//     s   INTEGER }
class RKCDSASignatureValue : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RKCDSASignatureValue)
    QELT_COMPONENT(ASN1BitString, R, r)
    QELT_COMPONENT(ASN1Integer, S, s)
};

// PrivateKeyInfo ::= SEQUENCE {
//     version                   Version,
//     privateKeyAlgorithm       PrivateKeyAlgorithmIdentifier,
//     privateKey                PrivateKey,          -- OCTET STRING
//     attributes           [0]  IMPLICIT Attributes OPTIONAL,
//     publicKey            [1]  IMPLICIT PublicKey OPTIONAL }  -- RFC 5958
class RPrivateKeyInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPrivateKeyInfo)
    QELT_VERSION(version)
    QELT_COMPONENT(RAlgorithmIdentifier, PrivateKeyAlgorithm, privateKeyAlgorithm)
    QELT_COMPONENT(ASN1OctetString, PrivateKey, privateKey)
    QELT_OPTIONAL(RAttributes, Attributes, attributes, 0x01)
    QELT_OPTIONAL(ASN1BitString, PublicKey, publicKey, 0x02)
};

// EncryptedPrivateKeyInfo ::= SEQUENCE {
//     encryptionAlgorithm  EncryptionAlgorithmIdentifier,
//     encryptedData        EncryptedData }   -- OCTET STRING
class REncryptedPrivateKeyInfo : public SequenceRecord {
    QELT_SEQUENCE_RECORD(REncryptedPrivateKeyInfo)
    QELT_COMPONENT(RAlgorithmIdentifier, EncryptionAlgorithm, encryptionAlgorithm)
    QELT_COMPONENT(ASN1OctetString, EncryptedData, encryptedData)
};

// PBEParameter ::= SEQUENCE {
//     salt             OCTET STRING (SIZE(8)),
//     iterationCount   INTEGER }
class RPBEParameter : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPBEParameter)
    QELT_COMPONENT(ASN1OctetString, Salt, salt)
    QELT_COMPONENT(ASN1Integer, IterationCount, iterationCount)
};

// PBES2-params ::= SEQUENCE {
//     keyDerivationFunc   AlgorithmIdentifier {{PBES2-KDFs}},
//     encryptionScheme    AlgorithmIdentifier {{PBES2-Encs}} }
class RPBES2_params : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPBES2_params)
    QELT_COMPONENT(RAlgorithmIdentifier, KeyDerivationFunc, keyDerivationFunc)
    QELT_COMPONENT(RAlgorithmIdentifier, EncryptionScheme, encryptionScheme)
};

// PBKDF2-params ::= SEQUENCE {
//     salt CHOICE {
//         specified     OCTET STRING,
//         otherSource   AlgorithmIdentifier {{PBKDF2-SaltSources}} },
//     iterationCount    INTEGER (1..MAX),
//     keyLength         INTEGER (1..MAX) OPTIONAL,
//     prf               AlgorithmIdentifier {{PBKDF2-PRFs}} DEFAULT algid-hmacWithSHA1 }
// The salt keeps its encoding; getSpecifiedSalt() reads the OCTET STRING form.
class RPBKDF2_params : public SequenceRecord {
    QELT_SEQUENCE_RECORD(RPBKDF2_params)
    QELT_COMPONENT(ASN1Any, Salt, salt)
    QELT_COMPONENT(ASN1Integer, IterationCount, iterationCount)
    QELT_OPTIONAL(ASN1Integer, KeyLength, keyLength, 0x01)
    QELT_OPTIONAL(RAlgorithmIdentifier, Prf, prf, 0x02)
public:
    int getSpecifiedSalt(ByteString& out) const;
};

}  // namespace qelt
