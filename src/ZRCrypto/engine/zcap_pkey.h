// The engine's public-key descriptors: RSA encryption (PKCS#1 v1.5 and OAEP),
// RSA, KCDSA and ECDSA signatures, and key-pair generation.
//
// Keys cross the engine boundary as DER blobs:
//   RSA     private: RSAPrivateKey            public: RSAPublicKey
//   KCDSA   private: DSAPrivateKey {p,q,g,x,y} (y is needed to sign)
//           public:  DSAPublicKey {y,p,q,g}
//   ECDSA   private: ECPrivateKey with its namedCurve parameter
//           public:  SubjectPublicKeyInfo (id-ecPublicKey, namedCurve, point)
// OpenSSL computes (BN, EVP for RSA, EC_POINT); padding, limits, nonces and
// result codes are the engine's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ZRCrypto/engine/zcap_engine.h"
#include "util/byte_string.h"

namespace qelt {

enum class PkScheme : uint8_t { RsaPkcs1, RsaOaep, RsaSign, Kcdsa, Ecdsa };

enum class EcCurve : uint8_t { None, Sect163k1, C2pnb163v1, Secp160r1 };

struct ZcapPkDescriptor {
    int id;
    PkScheme scheme;
    int bits;        // modulus or p length; 0 for ECDSA and for KCDSA key generation
    int hashId;      // engine hash identifier (signatures, OAEP); 0 for none
    int mgfHashId;   // OAEP mask generation hash
    EcCurve curve;   // ECDSA only
    bool fullY;      // KCDSA form that hashes the whole public value (141403)
    size_t maxSig;   // largest signature value; the output of an RSA operation
};

// Null for an identifier without a public-key descriptor.
const ZcapPkDescriptor* zcapPkDescriptor(int id);

// Curve facts by named-curve OID text ("1 3 132 0 8"); None when unknown.
EcCurve ecCurveOfOid(const char* oidText);
const char* ecCurveOid(EcCurve c);
// Byte width of a coordinate (and of r and s in the WTLS form): 21 for the
// 163-bit curves, 20 for secp160r1.
int ecCoordinateWidth(EcCurve c);

// ---- encryption with RSA. mode: ENGINE_MODE_PUBLIC (6) or ENGINE_MODE_PRIVATE (7).
// Encrypting with the public key builds block type 02 (or OAEP), with the
// private key type 01; decrypting expects the other side's block. The result
// code carries the failing stage (init 104/105/113, update 103, final 103/110).
int ZCAP_PkEncryptData(int id, int mode, const uint8_t* key, int keyLen, const uint8_t* in, int inLen, uint8_t* out,
                       int* outLen);
int ZCAP_PkDecryptData(int id, int mode, const uint8_t* key, int keyLen, const uint8_t* in, int inLen, uint8_t* out,
                       int* outLen);

// ---- staged signatures
class ZcapSigner;
struct ZcapSignContext {
    ZcapSignContext();
    ~ZcapSignContext();
    ZcapSignContext(const ZcapSignContext&) = delete;
    ZcapSignContext& operator=(const ZcapSignContext&) = delete;

    const ZcapPkDescriptor* desc = nullptr;
    bool verifying = false;
    std::unique_ptr<ZcapHashState> hash;
    std::unique_ptr<ZcapSigner> signer;
};

int ZCAP_SignInit(ZcapSignContext* ctx, int id, const uint8_t* key, int keyLen);
int ZCAP_SignUpdate(ZcapSignContext* ctx, const uint8_t* data, int len);
// *outLen is the capacity on entry (below the descriptor's maximum: 103).
int ZCAP_SignFinal(ZcapSignContext* ctx, uint8_t* out, int* outLen);
int ZCAP_VerifyInit(ZcapSignContext* ctx, int id, const uint8_t* key, int keyLen);
int ZCAP_VerifyUpdate(ZcapSignContext* ctx, const uint8_t* data, int len);
// 115 for a signature that does not decode, 116 for one that does not verify.
int ZCAP_VerifyFinal(ZcapSignContext* ctx, const uint8_t* sig, int sigLen);
// One-shot forms; results carry the failing stage.
int ZCAP_SignData(int id, const uint8_t* key, int keyLen, const uint8_t* data, int len, uint8_t* out, int* outLen);
int ZCAP_VerifyData(int id, const uint8_t* key, int keyLen, const uint8_t* data, int len, const uint8_t* sig,
                    int sigLen);

// ---- key pairs. For RSA `param` is the public exponent (big-endian; none:
// 65537); for KCDSA 140000 the DER KCDSAParameters to use, and for the other
// KCDSA identifiers new domain parameters of the descriptor's size are drawn;
// for ECDSA no parameter. 103 when an output is too small, 113 when encoding fails.
int ZCAP_GenerateKeyPair(int id, const uint8_t* param, int paramLen, uint8_t* pub, int* pubLen, uint8_t* pri,
                         int* priLen);
// The same into byte strings (capacity checks skipped).
int zcapGenerateKeyPair(int id, const ByteString& param, ByteString& pub, ByteString& pri);

}  // namespace qelt
