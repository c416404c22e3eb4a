#include "ZRCrypto/algorithm_ids.h"

#include <iterator>

namespace qelt {

namespace {

struct Pair {
    int from;
    int to;
};

template <size_t N>
std::optional<int> lookup(const Pair (&table)[N], int key) {
    for (const Pair& p : table)
        if (p.from == key) return p.to;
    return std::nullopt;
}

// Algorithm code -> engine identifier. 49-51 and 60-62 stay reserved: they map to
// identifiers no engine descriptor accepts, so the engine refuses them with 105.
constexpr Pair kAlgToEngine[] = {
    {ALG_MD5, ENGINE_MD5},
    {ALG_SHA1, ENGINE_SHA1},
    {ALG_SHA256, ENGINE_SHA256},
    {ALG_HAS160, ENGINE_HAS160},
    {ALG_RANDOM_12, ENGINE_RANDOM},
    {ALG_RANDOM, ENGINE_RANDOM},
    {ALG_DES, ENGINE_DES},
    {ALG_3DES, ENGINE_3DES},
    {ALG_SEED, ENGINE_SEED},
    {ALG_NEAT, ENGINE_NEAT},
    {ALG_ARIA128, ENGINE_ARIA128},
    {ALG_RC2_40, ENGINE_RC2_40},
    {ALG_RC4, ENGINE_RC4},
    {ALG_RSA_ENC_512, 12000},
    {ALG_RSA_ENC_1024, 12001},
    {ALG_RSA_ENC_2048, 12002},
    {ALG_RSA_OAEP_1024, 13101},
    {ALG_RSA_OAEP_2048, 13102},
    {ALG_HMAC_MD5, ENGINE_HMAC_MD5},
    {ALG_HMAC_SHA1, ENGINE_HMAC_SHA1},
    {ALG_HMAC_SHA256, ENGINE_HMAC_SHA256},
    {49, 42001},
    {50, 42004},
    {51, 42002},
    {ALG_RSA_MD5_1024, 121201},
    {ALG_RSA_MD5_2048, 121202},
    {ALG_RSA_SHA1_512, 121400},
    {ALG_RSA_SHA1_1024, 121401},
    {ALG_RSA_SHA1_2048, 121402},
    {ALG_RSA_SHA256_1024, 121501},
    {ALG_RSA_SHA256_2048, 121502},
    {60, 115},
    {61, 116},
    {62, 117},
    {ALG_KCDSA, 140000},
    {ALG_KCDSA_SHA1_1024, 141401},
    {ALG_KCDSA_SHA1_2048, 141402},
    {ALG_KCDSA_SHA256_2048, 141502},
    {ALG_KCDSA_HAS160_1024, 141801},
    {ALG_KCDSA_HAS160_2048, 141802},
    {ALG_ECDSA_SHA1_SECT163K1, 171401},
    {ALG_ECDSA_SHA1_C2PNB163V1, 171404},
    {ALG_ECDSA_SHA1_SECP160R1, 171402},
    {ALG_ECDSA_SHA256_SECT163K1, 171410},
    {ALG_ECDSA_SHA256_C2PNB163V1, 171411},
    {ALG_ECDSA_SHA256_SECP160R1, 171412},
};

constexpr Pair kModeToEngine[] = {
    {MODE_PRIVATE_KEY, ENGINE_MODE_PRIVATE}, {MODE_PUBLIC_KEY, ENGINE_MODE_PUBLIC}, {MODE_ECB, ENGINE_MODE_ECB},
    {MODE_CBC, ENGINE_MODE_CBC},             {MODE_CFB, ENGINE_MODE_CFB},           {MODE_OFB, ENGINE_MODE_OFB},
};

constexpr Pair kPaddingToEngine[] = {
    {0, ENGINE_PAD_NONE}, {1, ENGINE_PAD_ZERO}, {2, ENGINE_PAD_PKCS}, {3, ENGINE_PAD_N_MINUS_1}, {4, ENGINE_PAD_N_MINUS_1},
};

constexpr Pair kHashApi[] = {{1, ALG_SHA1}, {2, ALG_MD5}, {3, ALG_HAS160}, {4, ALG_SHA256}};
constexpr Pair kSymmetricApi[] = {{0x10, ALG_DES}, {0x20, ALG_3DES}, {0x30, ALG_SEED}, {0x40, ALG_NEAT}, {0x50, ALG_ARIA128}};
constexpr Pair kMacApi[] = {{1, ALG_HMAC_SHA1}, {2, ALG_HMAC_MD5}, {3, ALG_HMAC_SHA256}};

}  // namespace

std::optional<int> engineIdOf(int algCode) { return lookup(kAlgToEngine, algCode); }
std::optional<int> engineModeOf(int modeCode) { return lookup(kModeToEngine, modeCode); }
std::optional<int> enginePaddingOf(int paddingType) { return lookup(kPaddingToEngine, paddingType); }
std::optional<int> hashAlgOfApiCode(int apiCode) { return lookup(kHashApi, apiCode); }
std::optional<int> symmetricAlgOfApiCode(int apiCode) { return lookup(kSymmetricApi, apiCode); }
std::optional<int> macAlgOfApiCode(int apiCode) { return lookup(kMacApi, apiCode); }

std::optional<int> apiCodeOfSymmetricAlg(int algCode) {
    for (const Pair& p : kSymmetricApi)
        if (p.to == algCode) return p.from;
    return std::nullopt;
}

}  // namespace qelt
