// The three numberings of algorithms and the mappings between them.
//
// 1. API codes: the small integers callers pass to the exported functions.
// 2. Algorithm codes: the core library's numbering (crypto layer, key classes,
//    AlgorithmIdentifier builders), with a mode code and a padding type for ciphers.
// 3. Engine identifiers: what the crypto engine selects its descriptors by.
// Every crypto-layer operation maps its algorithm code to an engine identifier
// through these tables before it calls the engine.
#pragma once

#include <optional>

namespace qelt {

// Algorithm codes.
enum AlgCode : int {
    ALG_MD5 = 3,
    ALG_SHA1 = 5,
    ALG_SHA256 = 6,
    ALG_HAS160 = 9,
    ALG_RANDOM_12 = 12,
    ALG_RANDOM = 13,  // the generator every caller uses
    ALG_DES = 14,
    ALG_3DES = 16,
    ALG_SEED = 17,
    ALG_NEAT = 18,
    ALG_ARIA128 = 20,
    ALG_RC2_40 = 23,
    ALG_RC4 = 28,
    ALG_RSA_ENC_512 = 36,
    ALG_RSA_ENC_1024 = 37,
    ALG_RSA_ENC_2048 = 38,
    ALG_RSA_OAEP_1024 = 40,
    ALG_RSA_OAEP_2048 = 41,
    ALG_HMAC_MD5 = 43,
    ALG_HMAC_SHA1 = 44,
    ALG_HMAC_SHA256 = 45,
    ALG_RSA_MD5_512 = 52,  // made by the private-key class but without an engine identifier
    ALG_RSA_MD5_1024 = 53,
    ALG_RSA_MD5_2048 = 54,
    ALG_RSA_SHA1_512 = 55,
    ALG_RSA_SHA1_1024 = 56,
    ALG_RSA_SHA1_2048 = 57,
    ALG_RSA_SHA256_1024 = 58,
    ALG_RSA_SHA256_2048 = 59,
    ALG_KCDSA = 63,
    ALG_KCDSA_SHA1_1024 = 65,
    ALG_KCDSA_SHA1_2048 = 66,
    ALG_KCDSA_SHA256_2048 = 68,
    ALG_KCDSA_HAS160_1024 = 70,
    ALG_KCDSA_HAS160_2048 = 71,
    ALG_ECDSA_SHA1_SECT163K1 = 72,
    ALG_ECDSA_SHA1_C2PNB163V1 = 73,
    ALG_ECDSA_SHA1_SECP160R1 = 74,
    ALG_ECDSA_SHA256_SECT163K1 = 75,
    ALG_ECDSA_SHA256_C2PNB163V1 = 76,
    ALG_ECDSA_SHA256_SECP160R1 = 77,
};

// Mode codes (algorithm-code side).
enum ModeCode : int {
    MODE_PRIVATE_KEY = 1,  // public-key operation with the private key
    MODE_PUBLIC_KEY = 2,   // public-key operation with the public key
    MODE_ECB = 3,
    MODE_CBC = 4,
    MODE_CFB = 5,  // 64-bit feedback
    MODE_OFB = 6,
};

// Engine modes.
enum EngineMode : int {
    ENGINE_MODE_ECB = 2,
    ENGINE_MODE_CBC = 3,
    ENGINE_MODE_CFB = 4,
    ENGINE_MODE_OFB = 5,
    ENGINE_MODE_PUBLIC = 6,
    ENGINE_MODE_PRIVATE = 7,
};

// Engine paddings.
enum EnginePadding : int {
    ENGINE_PAD_NONE = 0,
    ENGINE_PAD_RANDOM = 2,
    ENGINE_PAD_ZERO = 3,
    ENGINE_PAD_80 = 4,
    ENGINE_PAD_55 = 5,
    ENGINE_PAD_FF = 6,
    ENGINE_PAD_PKCS = 8,
    ENGINE_PAD_PKCS_ALT = 9,
    ENGINE_PAD_N_MINUS_1 = 10,
    ENGINE_PAD_N_MINUS_1_ALT = 11,
};

// Engine identifiers that the crypto layer uses by name.
enum EngineId : int {
    ENGINE_MD5 = 1200,
    ENGINE_SHA1 = 1400,
    ENGINE_SHA256 = 1500,
    ENGINE_HAS160 = 1800,
    ENGINE_RANDOM = 3420,
    ENGINE_DES = 11001,
    ENGINE_3DES = 11003,
    ENGINE_SEED = 11110,
    ENGINE_NEAT = 118,
    ENGINE_ARIA128 = 11828,
    ENGINE_RC2_40 = 11240,
    ENGINE_RC2_128 = 11228,  // RC2 identifiers: key bytes 16, 5, 32, 8, 24 with the
    ENGINE_RC2_256 = 11256,  // effective key bits of the same size
    ENGINE_RC2_64 = 11264,
    ENGINE_RC2_192 = 11292,
    ENGINE_RC4 = 11400,
    ENGINE_AES128 = 11728,
    ENGINE_AES256 = 11756,
    ENGINE_AES192 = 11792,
    ENGINE_ARIA256 = 11856,
    ENGINE_ARIA192 = 11892,
    ENGINE_HMAC_MD5 = 31200,
    ENGINE_HMAC_SHA1 = 31400,
    ENGINE_HMAC_SHA256 = 31500,
};

// Algorithm code -> engine identifier; nullopt when the code has none.
std::optional<int> engineIdOf(int algCode);
// Mode code -> engine mode; nullopt for an unknown mode code.
std::optional<int> engineModeOf(int modeCode);
// Padding type (0..4) -> engine padding; nullopt for any other type.
std::optional<int> enginePaddingOf(int paddingType);

// API codes -> algorithm codes. Each returns nullopt for a code outside its family.
std::optional<int> hashAlgOfApiCode(int apiCode);       // 1..4
std::optional<int> symmetricAlgOfApiCode(int apiCode);  // 0x10..0x50; always CBC
std::optional<int> apiCodeOfSymmetricAlg(int algCode);  // the reverse of the above
std::optional<int> macAlgOfApiCode(int apiCode);        // 1..3

}  // namespace qelt
