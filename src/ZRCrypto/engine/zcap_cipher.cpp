// Engine cipher descriptors and the staged encrypt/decrypt operations with the
// engine's padding rules. DES, 3DES, SEED, RC2 and RC4 are the engine's own
// code; AES and ARIA are computed by OpenSSL (cipher objects fetched once).
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/block_ciphers.h"
#include "ZRCrypto/engine/zcap_engine.h"
#include "ZRCrypto/random_source.h"
#include "util/byte_string.h"

namespace qelt {

struct ZcapCipherDescriptor {
    int id;
    size_t keyLen;       // raw key bytes; 0 for RC4, which takes 1..256
    size_t expandedLen;  // what key expansion writes and init demands
    size_t blockSize;
    unsigned modes;      // bit per engine mode; 0 for the stream cipher
    size_t ecbIvLen;     // IV demanded in ECB (AES asks for one in both modes)
    int param;           // RC2: effective key bits
    void (*expand)(const ZcapCipherDescriptor& d, const uint8_t* key, size_t keyLen, uint8_t* out);
    std::unique_ptr<ZcapCipherCore> (*create)(const ZcapCipherDescriptor& d, const uint8_t* expanded, int mode,
                                              bool decrypt, const uint8_t* iv);
};

namespace {

constexpr unsigned modeBit(int mode) { return 1u << mode; }
constexpr unsigned kEcbCbc = modeBit(ENGINE_MODE_ECB) | modeBit(ENGINE_MODE_CBC);
constexpr unsigned kEcbCbcCfb = kEcbCbc | modeBit(ENGINE_MODE_CFB);
constexpr unsigned kAllModes = kEcbCbcCfb | modeBit(ENGINE_MODE_OFB);
constexpr size_t kFeedback = 8;  // CFB and OFB feed back 64 bits

inline void xorInto(uint8_t* out, const uint8_t* a, const uint8_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = a[i] ^ b[i];
}

// One of the engine's own block ciphers in ECB, CBC, 64-bit CFB or OFB.
template <class Cipher>
class BlockCore final : public ZcapCipherCore {
    static constexpr size_t kBs = Cipher::kBlockSize;
    static constexpr bool kHasMultiBlock = requires(const Cipher& c, const uint8_t* i, uint8_t* o, uint8_t* v) {
        c.decryptBlocks(i, o, size_t{1});
        c.encryptBlocks(i, o, size_t{1});
        c.cbcEncrypt(i, o, size_t{1}, v);
    };
    // CBC decryption in one call, the chaining XOR included; safe in place.
    static constexpr bool kHasCbcDecrypt = requires(const Cipher& c, const uint8_t* i, uint8_t* o, uint8_t* v) {
        c.cbcDecrypt(i, o, size_t{1}, v);
    };

public:
    BlockCore(const uint8_t* expanded, int mode, bool decrypt, const uint8_t* iv) : m_mode(mode), m_decrypt(decrypt) {
        m_cipher.loadSchedule(expanded);
        if (iv != nullptr) std::memcpy(m_reg, iv, kBs);
    }
    ~BlockCore() override { secureWipe(m_reg, sizeof m_reg); }

    bool process(const uint8_t* in, uint8_t* out, size_t len) override {
        switch (m_mode) {
            case ENGINE_MODE_ECB:
                if constexpr (kHasMultiBlock) {
                    m_decrypt ? m_cipher.decryptBlocks(in, out, len / kBs) : m_cipher.encryptBlocks(in, out, len / kBs);
                    return true;
                }
                for (size_t i = 0; i < len; i += kBs)
                    m_decrypt ? m_cipher.decryptBlock(in + i, out + i) : m_cipher.encryptBlock(in + i, out + i);
                return true;
            case ENGINE_MODE_CBC: cbc(in, out, len); return true;
            case ENGINE_MODE_CFB:
            case ENGINE_MODE_OFB: feedback(in, out, len); return true;
            default: return false;
        }
    }
    void chaining(uint8_t* out) const override { std::memcpy(out, m_reg, kBs); }

private:
    void cbc(const uint8_t* in, uint8_t* out, size_t len) {
        if constexpr (kHasMultiBlock) {
            if constexpr (kHasCbcDecrypt) {
                if (m_decrypt) {
                    m_cipher.cbcDecrypt(in, out, len / kBs, m_reg);
                    return;
                }
            }
            // Decryption: the blocks are independent until the chaining XOR.
            // Each run of ciphertext is copied first, so decrypting in place
            // (out == in) still XORs with the ciphertext and not the plaintext
            // that has just overwritten it.
            if (m_decrypt) {
                constexpr size_t kRun = 32;
                uint8_t saved[kRun * kBs];
                for (size_t done = 0; done < len;) {
                    const size_t n = std::min(kRun * kBs, len - done);
                    std::memcpy(saved, in + done, n);
                    m_cipher.decryptBlocks(saved, out + done, n / kBs);
                    xorInto(out + done, out + done, m_reg, kBs);
                    for (size_t i = kBs; i < n; i += kBs) xorInto(out + done + i, out + done + i, saved + i - kBs, kBs);
                    std::memcpy(m_reg, saved + n - kBs, kBs);
                    done += n;
                }
            } else {
                m_cipher.cbcEncrypt(in, out, len / kBs, m_reg);
            }
            return;
        }
        uint8_t t[kBs];
        for (size_t i = 0; i < len; i += kBs) {
            if (!m_decrypt) {
                xorInto(t, in + i, m_reg, kBs);
                m_cipher.encryptBlock(t, m_reg);
                std::memcpy(out + i, m_reg, kBs);
            } else {
                // the ciphertext block is kept before out (maybe == in) is written
                uint8_t c[kBs];
                std::memcpy(c, in + i, kBs);
                m_cipher.decryptBlock(c, t);
                xorInto(out + i, t, m_reg, kBs);
                std::memcpy(m_reg, c, kBs);
            }
        }
        secureWipe(t, sizeof t);
    }
    // 64-bit segments; the register shifts in the ciphertext (CFB) or the
    // keystream (OFB) segment.
    void feedback(const uint8_t* in, uint8_t* out, size_t len) {
        uint8_t k[kBs];
        for (size_t i = 0; i < len; i += kFeedback) {
            m_cipher.encryptBlock(m_reg, k);
            const uint8_t* shiftIn = k;
            uint8_t c[kFeedback];
            if (m_mode == ENGINE_MODE_CFB) {
                // the ciphertext segment: the input when decrypting, the output when encrypting
                std::memcpy(c, in + i, kFeedback);
                xorInto(out + i, in + i, k, kFeedback);
                if (!m_decrypt) std::memcpy(c, out + i, kFeedback);
                shiftIn = c;
            } else {
                xorInto(out + i, in + i, k, kFeedback);
            }
            std::memmove(m_reg, m_reg + kFeedback, kBs - kFeedback);
            std::memcpy(m_reg + kBs - kFeedback, shiftIn, kFeedback);
        }
        secureWipe(k, sizeof k);
    }

    Cipher m_cipher;
    int m_mode;
    bool m_decrypt;
    uint8_t m_reg[kBs] = {};
};

template <class Cipher>
std::unique_ptr<ZcapCipherCore> createBlock(const ZcapCipherDescriptor&, const uint8_t* expanded, int mode,
                                            bool decrypt, const uint8_t* iv) {
    return std::unique_ptr<ZcapCipherCore>(new (std::nothrow) BlockCore<Cipher>(expanded, mode, decrypt, iv));
}

template <class Cipher>
void expandFixed(const ZcapCipherDescriptor&, const uint8_t* key, size_t, uint8_t* out) {
    Cipher c;
    c.setKey(key);
    c.saveSchedule(out);
}

void expandRc2(const ZcapCipherDescriptor& d, const uint8_t* key, size_t keyLen, uint8_t* out) {
    Rc2 c;
    c.setKey(key, keyLen, static_cast<size_t>(d.param));
    c.saveSchedule(out);
}

class Rc4Core final : public ZcapCipherCore {
public:
    explicit Rc4Core(const uint8_t* expanded) { m_rc4.loadSchedule(expanded); }
    bool process(const uint8_t* in, uint8_t* out, size_t len) override {
        m_rc4.process(in, out, len);
        return true;
    }
    void chaining(uint8_t*) const override {}
    void saveKey(uint8_t* expanded) const override { m_rc4.saveSchedule(expanded); }

private:
    Rc4 m_rc4;
};

void expandRc4(const ZcapCipherDescriptor&, const uint8_t* key, size_t keyLen, uint8_t* out) {
    Rc4 c;
    c.setKey(key, keyLen);
    c.saveSchedule(out);
}
std::unique_ptr<ZcapCipherCore> createRc4(const ZcapCipherDescriptor&, const uint8_t* expanded, int, bool,
                                          const uint8_t*) {
    return std::unique_ptr<ZcapCipherCore>(new (std::nothrow) Rc4Core(expanded));
}

// ---- OpenSSL-computed ciphers: the expanded key is the raw key, OpenSSL keeps
// its own schedule inside the cipher context.

struct EvpCipherDeleter {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};
struct EvpCipherCtxDeleter {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

const EVP_CIPHER* fetchedCipher(int id, int mode) {
    struct Entry {
        int id;
        const char* ecb;
        const char* cbc;
    };
    static constexpr Entry kNames[] = {
        {ENGINE_AES128, "AES-128-ECB", "AES-128-CBC"},    {ENGINE_AES192, "AES-192-ECB", "AES-192-CBC"},
        {ENGINE_AES256, "AES-256-ECB", "AES-256-CBC"},    {ENGINE_ARIA128, "ARIA-128-ECB", "ARIA-128-CBC"},
        {ENGINE_ARIA192, "ARIA-192-ECB", "ARIA-192-CBC"}, {ENGINE_ARIA256, "ARIA-256-ECB", "ARIA-256-CBC"},
    };
    static const auto fetched = [] {
        std::array<std::unique_ptr<EVP_CIPHER, EvpCipherDeleter>, 12> all;
        for (size_t i = 0; i < 6; ++i) {
            all[2 * i].reset(EVP_CIPHER_fetch(nullptr, kNames[i].ecb, nullptr));
            all[2 * i + 1].reset(EVP_CIPHER_fetch(nullptr, kNames[i].cbc, nullptr));
        }
        return all;
    }();
    for (size_t i = 0; i < 6; ++i)
        if (kNames[i].id == id) return fetched[2 * i + (mode == ENGINE_MODE_CBC ? 1 : 0)].get();
    return nullptr;
}

class EvpCore final : public ZcapCipherCore {
public:
    EvpCore(const EVP_CIPHER* cipher, const uint8_t* key, int mode, bool decrypt, const uint8_t* iv)
        : m_ctx(EVP_CIPHER_CTX_new()), m_cbc(mode == ENGINE_MODE_CBC), m_decrypt(decrypt) {
        if (iv != nullptr) std::memcpy(m_reg, iv, sizeof m_reg);
        m_ok = m_ctx && cipher &&
               EVP_CipherInit_ex2(m_ctx.get(), cipher, key, m_cbc ? m_reg : nullptr, decrypt ? 0 : 1, nullptr) == 1 &&
               EVP_CIPHER_CTX_set_padding(m_ctx.get(), 0) == 1;
    }
    ~EvpCore() override { secureWipe(m_reg, sizeof m_reg); }
    bool ok() const { return m_ok; }

    bool process(const uint8_t* in, uint8_t* out, size_t len) override {
        for (size_t done = 0; done < len;) {
            const int chunk = len - done > (1u << 30) ? (1 << 30) : static_cast<int>(len - done);
            int written = 0;
            if (EVP_CipherUpdate(m_ctx.get(), out + done, &written, in + done, chunk) != 1 || written != chunk)
                return false;
            done += static_cast<size_t>(chunk);
        }
        if (m_cbc && len >= 16) std::memcpy(m_reg, (m_decrypt ? in : out) + len - 16, 16);
        return true;
    }
    void chaining(uint8_t* out) const override { std::memcpy(out, m_reg, 16); }

private:
    std::unique_ptr<EVP_CIPHER_CTX, EvpCipherCtxDeleter> m_ctx;
    bool m_cbc;
    bool m_decrypt;
    bool m_ok = false;
    uint8_t m_reg[16] = {};
};

void expandRaw(const ZcapCipherDescriptor& d, const uint8_t* key, size_t, uint8_t* out) {
    std::memcpy(out, key, d.keyLen);
}
std::unique_ptr<ZcapCipherCore> createEvp(const ZcapCipherDescriptor& d, const uint8_t* expanded, int mode,
                                          bool decrypt, const uint8_t* iv) {
    auto core = std::unique_ptr<EvpCore>(new (std::nothrow) EvpCore(fetchedCipher(d.id, mode), expanded, mode,
                                                                    decrypt, iv));
    if (!core || !core->ok()) return nullptr;
    return core;
}

constexpr ZcapCipherDescriptor kCiphers[] = {
    {ENGINE_DES, 8, Des::kScheduleSize, 8, kAllModes, 0, 0, &expandFixed<Des>, &createBlock<Des>},
    {ENGINE_3DES, 24, TripleDes::kScheduleSize, 8, kEcbCbcCfb, 0, 0, &expandFixed<TripleDes>,
     &createBlock<TripleDes>},
    {ENGINE_RC2_128, 16, Rc2::kScheduleSize, 8, kEcbCbcCfb, 0, 128, &expandRc2, &createBlock<Rc2>},
    {ENGINE_RC2_40, 5, Rc2::kScheduleSize, 8, kEcbCbcCfb, 0, 40, &expandRc2, &createBlock<Rc2>},
    {ENGINE_RC2_256, 32, Rc2::kScheduleSize, 8, kEcbCbcCfb, 0, 256, &expandRc2, &createBlock<Rc2>},
    {ENGINE_RC2_64, 8, Rc2::kScheduleSize, 8, kEcbCbcCfb, 0, 64, &expandRc2, &createBlock<Rc2>},
    {ENGINE_RC2_192, 24, Rc2::kScheduleSize, 8, kEcbCbcCfb, 0, 192, &expandRc2, &createBlock<Rc2>},
    {ENGINE_SEED, 16, Seed::kScheduleSize, 16, kEcbCbcCfb, 0, 0, &expandFixed<Seed>, &createBlock<Seed>},
    {ENGINE_RC4, 0, Rc4::kScheduleSize, 1, 0, 0, 0, &expandRc4, &createRc4},
    {ENGINE_AES128, 16, 16, 16, kEcbCbc, 16, 0, &expandRaw, &createEvp},
    {ENGINE_AES256, 32, 32, 16, kEcbCbc, 16, 0, &expandRaw, &createEvp},
    {ENGINE_AES192, 24, 24, 16, kEcbCbc, 16, 0, &expandRaw, &createEvp},
    {ENGINE_ARIA128, 16, 16, 16, kEcbCbc, 0, 0, &expandRaw, &createEvp},
    {ENGINE_ARIA256, 32, 32, 16, kEcbCbc, 0, 0, &expandRaw, &createEvp},
    {ENGINE_ARIA192, 24, 24, 16, kEcbCbc, 0, 0, &expandRaw, &createEvp},
};

const ZcapCipherDescriptor* findCipher(int id) {
    for (const ZcapCipherDescriptor& d : kCiphers)
        if (d.id == id) return &d;
    return nullptr;
}

size_t requiredIvLen(const ZcapCipherDescriptor& d, int mode) {
    if (d.modes == 0) return 0;
    return mode == ENGINE_MODE_ECB ? d.ecbIvLen : d.blockSize;
}

int cipherInit(ZcapContext* ctx, const uint8_t* key, int keyLen, int id, int mode, const uint8_t* iv, int ivLen,
               bool decrypt) {
    if (ctx == nullptr) return ZCAP_INVALID_DATA_POINTER;
    // Only symmetric descriptors live here; public-key identifiers are not
    // accepted by this engine.
    const ZcapCipherDescriptor* d = findCipher(id);
    if (d == nullptr) return ctx->lastResult = ZCAP_INVALID_ALGORITHM;
    if (key == nullptr) return ctx->lastResult = ZCAP_INVALID_KEY_POINTER;
    if (keyLen < 0 || static_cast<size_t>(keyLen) < d->expandedLen) return ctx->lastResult = ZCAP_INVALID_KEY;
    if (d->modes != 0 && (mode < 0 || mode > 31 || (d->modes & modeBit(mode)) == 0))
        return ctx->lastResult = ZCAP_INVALID_MODE;
    const size_t needIv = requiredIvLen(*d, mode);
    if (needIv != 0 && (iv == nullptr || ivLen < 0 || static_cast<size_t>(ivLen) < needIv))
        return ctx->lastResult = ZCAP_INVALID_INIT_VECTOR;

    ctx->algClass = 0;
    ctx->cipher = d;
    ctx->mode = mode;
    ctx->decrypting = decrypt;
    secureWipe(ctx->iv, sizeof ctx->iv);
    if (needIv != 0) std::memcpy(ctx->iv, iv, needIv);
    ctx->ivLen = needIv;
    ctx->staged = 0;
    const bool chained = d->modes != 0 && mode != ENGINE_MODE_ECB;
    ctx->core = d->create(*d, key, mode, decrypt, chained || needIv != 0 ? ctx->iv : nullptr);
    if (!ctx->core) return ctx->lastResult = ZCAP_MEMORY_ERROR;
    return ctx->lastResult = ZCAP_OK;
}

// Processes the staged bytes and the input, keeping `keep` trailing bytes staged.
int cipherUpdate(ZcapContext* ctx, uint8_t* out, int* outLen, const uint8_t* in, int inLen, bool decrypt) {
    if (ctx == nullptr || in == nullptr || out == nullptr || outLen == nullptr || inLen < 0)
        return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->core || ctx->cipher == nullptr || ctx->decrypting != decrypt)
        return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    const size_t bs = ctx->cipher->blockSize;
    const size_t total = ctx->staged + static_cast<size_t>(inLen);
    // Encryption keeps the partial block; decryption also keeps the last whole
    // block, because the final step must see the padding.
    size_t keep = total % bs;
    if (decrypt) keep = total < keep + bs ? total : keep + bs;
    const size_t process = total - keep;
    if (*outLen < 0 || static_cast<size_t>(*outLen) < process) return ctx->lastResult = ZCAP_NOT_ENOUGH_BUFFER;

    size_t inPos = 0, done = 0;
    if (ctx->staged != 0 && process != 0) {
        const size_t rounded = (ctx->staged + bs - 1) / bs * bs;
        const size_t head = process < rounded ? process : rounded;
        if (head > ctx->staged) {
            inPos = head - ctx->staged;
            std::memcpy(ctx->staging + ctx->staged, in, inPos);
            ctx->staged = head;
        }
        if (!ctx->core->process(ctx->staging, out, head)) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
        ctx->staged -= head;
        std::memmove(ctx->staging, ctx->staging + head, ctx->staged);
        done = head;
    }
    if (process > done) {
        if (!ctx->core->process(in + inPos, out + done, process - done))
            return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
        inPos += process - done;
    }
    const size_t rest = static_cast<size_t>(inLen) - inPos;
    std::memcpy(ctx->staging + ctx->staged, in + inPos, rest);
    ctx->staged += rest;
    *outLen = static_cast<int>(process);
    return ctx->lastResult = ZCAP_OK;
}

// Fills block[used..bs) with the engine padding; always at least one byte.
int addPadding(uint8_t* block, size_t used, size_t bs, int padding) {
    const size_t n = bs - used;
    uint8_t* p = block + used;
    switch (padding) {
        case ENGINE_PAD_RANDOM: return cryptoRandomBytes(p, n) ? ZCAP_OK : ZCAP_FAIL;
        case ENGINE_PAD_ZERO: std::memset(p, 0, n); return ZCAP_OK;
        case ENGINE_PAD_80:
            p[0] = 0x80;
            std::memset(p + 1, 0, n - 1);
            return ZCAP_OK;
        case ENGINE_PAD_55: std::memset(p, 0x55, n); return ZCAP_OK;
        case ENGINE_PAD_FF: std::memset(p, 0xFF, n); return ZCAP_OK;
        case ENGINE_PAD_PKCS:
        case ENGINE_PAD_PKCS_ALT: std::memset(p, static_cast<int>(n), n); return ZCAP_OK;
        case ENGINE_PAD_N_MINUS_1:
        case ENGINE_PAD_N_MINUS_1_ALT: std::memset(p, static_cast<int>(n - 1), n); return ZCAP_OK;
        default: return ZCAP_INVALID_DATA;
    }
}

// The number of plaintext bytes left after the padding of `data` is removed;
// ZCAP_INVALID_ENCRYPTED_DATA when the padding is malformed. The byte checks
// run over a fixed span so the time does not depend on where they fail.
int removePadding(const uint8_t* data, size_t len, size_t bs, int padding, size_t* keep) {
    *keep = len;
    switch (padding) {
        case ENGINE_PAD_PKCS:
        case ENGINE_PAD_PKCS_ALT:
        case ENGINE_PAD_N_MINUS_1:
        case ENGINE_PAD_N_MINUS_1_ALT: {
            if (len == 0) return ZCAP_INVALID_ENCRYPTED_DATA;
            const bool pkcs = padding == ENGINE_PAD_PKCS || padding == ENGINE_PAD_PKCS_ALT;
            const size_t value = data[len - 1];
            const size_t count = pkcs ? value : value + 1;  // bytes that must equal the value
            if ((pkcs && value == 0) || count > bs || count > len) return ZCAP_INVALID_ENCRYPTED_DATA;
            const size_t span = bs < len ? bs : len;
            unsigned diff = 0;
            for (size_t i = 1; i <= span; ++i) {
                const unsigned inPad = i <= count ? 0xFFu : 0u;
                diff |= (data[len - i] ^ static_cast<unsigned>(value)) & inPad;
            }
            if (diff != 0) return ZCAP_INVALID_ENCRYPTED_DATA;
            *keep = len - count;
            return ZCAP_OK;
        }
        case ENGINE_PAD_80: {
            size_t i = len;
            const size_t floor = len > bs ? len - bs : 0;
            while (i > floor && data[i - 1] == 0) --i;
            if (i == floor || data[i - 1] != 0x80) return ZCAP_INVALID_ENCRYPTED_DATA;
            *keep = i - 1;
            return ZCAP_OK;
        }
        default: return ZCAP_OK;  // zero, random and fixed-byte paddings are not removed
    }
}

int encryptFinal(ZcapContext* ctx, uint8_t* out, int* outLen, int padding) {
    if (ctx == nullptr || out == nullptr || outLen == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->core || ctx->cipher == nullptr || ctx->decrypting) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    const size_t bs = ctx->cipher->blockSize;
    if (*outLen < 0 || static_cast<size_t>(*outLen) < bs) return ctx->lastResult = ZCAP_NOT_ENOUGH_BUFFER;
    if (padding == ENGINE_PAD_NONE) {
        if (ctx->staged != 0) return ctx->lastResult = ZCAP_INVALID_DATA;  // not a whole number of blocks
        *outLen = 0;
        return ctx->lastResult = ZCAP_OK;
    }
    const int rc = addPadding(ctx->staging, ctx->staged, bs, padding);
    if (rc != ZCAP_OK) return ctx->lastResult = rc;
    if (!ctx->core->process(ctx->staging, out, bs)) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    secureWipe(ctx->staging, bs);
    ctx->staged = 0;
    *outLen = static_cast<int>(bs);
    return ctx->lastResult = ZCAP_OK;
}

int decryptFinal(ZcapContext* ctx, uint8_t* out, int* outLen, int padding) {
    if (ctx == nullptr || out == nullptr || outLen == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->core || ctx->cipher == nullptr || !ctx->decrypting) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    const size_t bs = ctx->cipher->blockSize;
    const size_t staged = ctx->staged;
    if (*outLen < 0 || static_cast<size_t>(*outLen) < (staged > bs ? staged : bs))
        return ctx->lastResult = ZCAP_NOT_ENOUGH_BUFFER;
    if (staged % bs != 0) return ctx->lastResult = ZCAP_INVALID_ENCRYPTED_DATA;  // truncated ciphertext
    uint8_t plain[2 * 16];
    if (staged != 0 && !ctx->core->process(ctx->staging, plain, staged))
        return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    size_t keep = 0;
    const int rc = removePadding(plain, staged, bs, padding, &keep);
    if (rc == ZCAP_OK) std::memcpy(out, plain, keep);
    secureWipe(plain, sizeof plain);
    secureWipe(ctx->staging, staged);
    ctx->staged = 0;
    if (rc != ZCAP_OK) return ctx->lastResult = rc;
    *outLen = static_cast<int>(keep);
    return ctx->lastResult = ZCAP_OK;
}

int oneShot(uint8_t* key, int keyLen, int id, int mode, uint8_t* out, int* outLen, const uint8_t* in, int inLen,
            uint8_t* iv, int ivLen, int padding, bool decrypt) {
    auto ctx = std::unique_ptr<ZcapContext>(new (std::nothrow) ZcapContext);
    if (!ctx) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_MEMORY_ERROR);
    if (outLen == nullptr) return zcapWithStage(ZCAP_STAGE_UPDATE, ZCAP_INVALID_DATA_POINTER);
    int rc = decrypt ? ZCAP_DecryptInit(ctx.get(), key, keyLen, id, mode, iv, ivLen)
                     : ZCAP_EncryptInit(ctx.get(), key, keyLen, id, mode, iv, ivLen);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_INIT, rc);
    static const uint8_t kEmpty[1] = {0};
    int first = *outLen;
    rc = decrypt ? ZCAP_DecryptUpdate(ctx.get(), out, &first, in != nullptr || inLen != 0 ? in : kEmpty, inLen)
                 : ZCAP_EncryptUpdate(ctx.get(), out, &first, in != nullptr || inLen != 0 ? in : kEmpty, inLen);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_UPDATE, rc);
    int second = *outLen - first;
    rc = decrypt ? ZCAP_DecryptFinal(ctx.get(), out + first, &second, padding)
                 : ZCAP_EncryptFinal(ctx.get(), out + first, &second, padding);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_FINAL, rc);
    *outLen = first + second;
    if (iv != nullptr && ivLen > 0 && ctx->cipher->modes != 0) {
        uint8_t chain[16];
        ctx->core->chaining(chain);
        const size_t n = ctx->cipher->blockSize < static_cast<size_t>(ivLen) ? ctx->cipher->blockSize
                                                                             : static_cast<size_t>(ivLen);
        std::memcpy(iv, chain, n);
        secureWipe(chain, sizeof chain);
    }
    ctx->core->saveKey(key);
    return ZCAP_OK;
}

}  // namespace

bool zcapCipherInfo(int id, size_t* blockSize, size_t* keyLen, size_t* expandedLen) {
    const ZcapCipherDescriptor* d = findCipher(id);
    if (d == nullptr) return false;
    if (blockSize) *blockSize = d->blockSize;
    if (keyLen) *keyLen = d->keyLen;
    if (expandedLen) *expandedLen = d->expandedLen;
    return true;
}

int ZCAP_GenerateKey(uint8_t* out, int* len, int id, const uint8_t* key, int keyLen) {
    const ZcapCipherDescriptor* d = findCipher(id);
    if (d == nullptr) return ZCAP_INVALID_ALGORITHM;
    if (out == nullptr || len == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (key == nullptr) return ZCAP_INVALID_KEY_POINTER;
    const bool keyOk = d->keyLen != 0 ? keyLen == static_cast<int>(d->keyLen) : keyLen >= 1 && keyLen <= 256;
    if (!keyOk) return ZCAP_INVALID_KEY;
    if (*len < static_cast<int>(d->expandedLen)) return ZCAP_NOT_ENOUGH_BUFFER;
    d->expand(*d, key, static_cast<size_t>(keyLen), out);
    *len = static_cast<int>(d->expandedLen);
    return ZCAP_OK;
}

int ZCAP_EncryptInit(ZcapContext* ctx, const uint8_t* key, int keyLen, int id, int mode, const uint8_t* iv,
                     int ivLen) {
    return cipherInit(ctx, key, keyLen, id, mode, iv, ivLen, false);
}
int ZCAP_DecryptInit(ZcapContext* ctx, const uint8_t* key, int keyLen, int id, int mode, const uint8_t* iv,
                     int ivLen) {
    return cipherInit(ctx, key, keyLen, id, mode, iv, ivLen, true);
}
int ZCAP_EncryptUpdate(ZcapContext* ctx, uint8_t* out, int* outLen, const uint8_t* in, int inLen) {
    return cipherUpdate(ctx, out, outLen, in, inLen, false);
}
int ZCAP_DecryptUpdate(ZcapContext* ctx, uint8_t* out, int* outLen, const uint8_t* in, int inLen) {
    return cipherUpdate(ctx, out, outLen, in, inLen, true);
}
int ZCAP_EncryptFinal(ZcapContext* ctx, uint8_t* out, int* outLen, int padding) {
    return encryptFinal(ctx, out, outLen, padding);
}
int ZCAP_DecryptFinal(ZcapContext* ctx, uint8_t* out, int* outLen, int padding) {
    return decryptFinal(ctx, out, outLen, padding);
}
int ZCAP_EncryptData(uint8_t* key, int keyLen, int id, int mode, uint8_t* out, int* outLen, const uint8_t* in,
                     int inLen, uint8_t* iv, int ivLen, int padding) {
    return oneShot(key, keyLen, id, mode, out, outLen, in, inLen, iv, ivLen, padding, false);
}
int ZCAP_DecryptData(uint8_t* key, int keyLen, int id, int mode, uint8_t* out, int* outLen, const uint8_t* in,
                     int inLen, uint8_t* iv, int ivLen, int padding) {
    return oneShot(key, keyLen, id, mode, out, outLen, in, inLen, iv, ivLen, padding, true);
}

}  // namespace qelt
