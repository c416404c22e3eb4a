// The crypto engine: hash and cipher descriptors selected by engine identifier,
// and the staged operations on one engine context. Results are the engine's
// own codes (zcap_result.h); one-shot calls add the failing stage's thousands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ZRCrypto/engine/zcap_result.h"

namespace qelt {

// Largest expanded key the engine's key expansion writes.
inline constexpr int GENKEY_MAX_LEN = 1200;
// Size of the context's staging buffer.
inline constexpr size_t ZCAP_STAGING_LEN = 1024;

// Running state of a hash: the engine's own or OpenSSL's.
class ZcapHashState {
public:
    virtual ~ZcapHashState() = default;
    [[nodiscard]] virtual bool update(const uint8_t* data, size_t len) = 0;
    // Writes the digest (the descriptor's length).
    [[nodiscard]] virtual bool final(uint8_t* out) = 0;
};

struct ZcapHashDescriptor {
    int id;
    size_t digestLen;
    size_t blockLen;
    std::unique_ptr<ZcapHashState> (*create)();  // null on failure
};

// A keyed cipher in one mode and direction; processes whole blocks and keeps
// the chaining value.
class ZcapCipherCore {
public:
    virtual ~ZcapCipherCore() = default;
    // len is a multiple of the descriptor's block size; in and out may not overlap.
    [[nodiscard]] virtual bool process(const uint8_t* in, uint8_t* out, size_t len) = 0;
    // The current chaining value (block-size bytes); ECB keeps the initial IV.
    virtual void chaining(uint8_t* out) const = 0;
    // Ciphers whose key state advances (RC4) write it back here.
    virtual void saveKey(uint8_t* /*expanded*/) const {}
};

struct ZcapCipherDescriptor;

// The engine operation context shared by hash and cipher operations.
struct ZcapContext {
    ZcapContext() = default;
    ~ZcapContext();
    ZcapContext(const ZcapContext&) = delete;
    ZcapContext& operator=(const ZcapContext&) = delete;

    int algClass = 0;  // 0 symmetric or hash, 1 public key
    const ZcapHashDescriptor* hash = nullptr;
    std::unique_ptr<ZcapHashState> hashState;
    const ZcapCipherDescriptor* cipher = nullptr;
    int mode = 0;
    bool decrypting = false;
    std::unique_ptr<ZcapCipherCore> core;
    uint8_t staging[ZCAP_STAGING_LEN];  // only the first `staged` bytes are ever read
    size_t staged = 0;
    uint8_t iv[32] = {};
    size_t ivLen = 0;
    int lastResult = ZCAP_OK;
};

// ---- hashes (identifiers 1200 MD5, 1400 SHA-1, 1500 SHA-256, 1800 HAS-160;
// signature and HMAC identifiers select their hash's descriptor)
const ZcapHashDescriptor* zcapHashDescriptor(int id);
int ZCAP_DigestInit(ZcapContext* ctx, int id);
int ZCAP_DigestUpdate(ZcapContext* ctx, const uint8_t* data, int len);
int ZCAP_DigestFinal(ZcapContext* ctx, uint8_t* out, int* outLen);
int ZCAP_DigestData(int id, uint8_t* out, int* outLen, const uint8_t* in, int inLen);

// ---- symmetric ciphers (identifiers and engine modes of algorithm_ids.h)
// Descriptor facts the crypto layer needs; false for an unknown identifier.
bool zcapCipherInfo(int id, size_t* blockSize, size_t* keyLen, size_t* expandedLen);
int ZCAP_GenerateKey(uint8_t* out, int* len, int id, const uint8_t* key, int keyLen);
int ZCAP_EncryptInit(ZcapContext* ctx, const uint8_t* key, int keyLen, int id, int mode, const uint8_t* iv,
                     int ivLen);
int ZCAP_EncryptUpdate(ZcapContext* ctx, uint8_t* out, int* outLen, const uint8_t* in, int inLen);
int ZCAP_EncryptFinal(ZcapContext* ctx, uint8_t* out, int* outLen, int padding);
int ZCAP_DecryptInit(ZcapContext* ctx, const uint8_t* key, int keyLen, int id, int mode, const uint8_t* iv,
                     int ivLen);
int ZCAP_DecryptUpdate(ZcapContext* ctx, uint8_t* out, int* outLen, const uint8_t* in, int inLen);
int ZCAP_DecryptFinal(ZcapContext* ctx, uint8_t* out, int* outLen, int padding);
// One-shot: init, update, final on a fresh context. On success the final
// chaining value is written back into iv (ivLen bytes) and, for a cipher whose
// key state advances, the state into key.
int ZCAP_EncryptData(uint8_t* key, int keyLen, int id, int mode, uint8_t* out, int* outLen, const uint8_t* in,
                     int inLen, uint8_t* iv, int ivLen, int padding);
int ZCAP_DecryptData(uint8_t* key, int keyLen, int id, int mode, uint8_t* out, int* outLen, const uint8_t* in,
                     int inLen, uint8_t* iv, int ivLen, int padding);

}  // namespace qelt
