#include "ZRCrypto/zr_encrypt.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/neat.h"
#include "ZRCrypto/engine/zcap_engine.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "util/wiped_buffer.h"

namespace qelt {

namespace {

constexpr const char* kClass = "ZREncrypt";
constexpr int kOutputSlack = 512;  // output capacity beyond the input for the engine calls
constexpr int kStreamThreshold = 1024;

bool isRsa(int nAlg) {
    return nAlg == ALG_RSA_ENC_512 || nAlg == ALG_RSA_ENC_1024 || nAlg == ALG_RSA_ENC_2048 ||
           nAlg == ALG_RSA_OAEP_1024 || nAlg == ALG_RSA_OAEP_2048;
}

// Bytes the streaming update holds back per unit: whole blocks of the cipher
// (two ARIA blocks), so that the final call always sees the padding.
int streamUnit(int nAlg) {
    switch (nAlg) {
        case ALG_SEED:
        case ALG_NEAT:
            return 16;
        case ALG_ARIA128:
            return 32;
        case ALG_RC4:
            return 1;
        default:
            return 8;
    }
}

const char* operationName(bool decrypt) { return decrypt ? "[ZCAP_DecryptData]" : "[ZCAP_EncryptData]"; }

}  // namespace

int ZREncrypt::GenerateKey(int nAlg, const ByteString& key, ByteString& expanded) {
    if (nAlg == ALG_NEAT) {
        if (key.length() != static_cast<int>(NEAT_KEY_LEN))
            return fail(kClass, "GenerateKey", "key", 2, "The NEAT key must be 16 bytes.");
        uint8_t schedule[NEAT_SCHEDULE_LEN];
        ZR_NeatKeySchedule(key.data(), schedule);
        expanded.set(schedule, sizeof schedule);
        secureWipe(schedule, sizeof schedule);
        return 0;
    }
    const auto id = engineIdOf(nAlg);
    if (!id) {
        ByteString msg;
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, "GenerateKey", "nAlg", 1, msg.c_str());
    }
    WipedBuffer area(GENKEY_MAX_LEN);
    if (!area) return fail(kClass, "GenerateKey", "calloc", 2, "The memory allocation is failed");
    int len = GENKEY_MAX_LEN;
    const int rc = ZCAP_GenerateKey(area.data(), &len, *id, key.data(), key.length());
    if (rc != ZCAP_OK) return fail(kClass, "GenerateKey", "ZCAP_GenerateKey", 3, ZCAP_GetResultText(rc));
    expanded.set(area.data(), len);
    return 0;
}

int ZREncrypt::EncryptData(int nAlg, int nMode, const ByteString& key, const ByteString& iv, const ByteString& in,
                           ByteString& out, int nPadding) {
    return oneShot(false, nAlg, nMode, key, iv, in, out, nPadding);
}
int ZREncrypt::DecryptData(int nAlg, int nMode, const ByteString& key, const ByteString& iv, const ByteString& in,
                           ByteString& out, int nPadding) {
    return oneShot(true, nAlg, nMode, key, iv, in, out, nPadding);
}

int ZREncrypt::planOneShot(const char* method, int nAlg, int nMode, int nPadding, OneShotPlan& plan) {
    ByteString msg;
    const auto id = engineIdOf(nAlg);
    if (!id) {
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, method, "nAlg", 1, msg.c_str());
    }
    const auto mode = engineModeOf(nMode);
    if (!mode) {
        msg.format("The Mode(%d) does not supported.", nMode);
        return fail(kClass, method, "nMode", 2, msg.c_str());
    }
    plan = OneShotPlan{*id, *mode, ENGINE_PAD_NONE};
    const bool publicKeyMode = *mode == ENGINE_MODE_PUBLIC || *mode == ENGINE_MODE_PRIVATE;
    const bool streamCipher = nAlg == ALG_RC4;
    if (!publicKeyMode && !streamCipher && nAlg != ALG_NEAT) {
        const auto p = enginePaddingOf(nPadding);
        if (!p) {
            msg.format("The PaddingType(%d) does not supported.", nPadding);
            return fail(kClass, method, "nPadding", 3, msg.c_str());
        }
        plan.padding = *p;
    }
    return nAlg == ALG_NEAT ? checkNeatUse(method, *mode, nPadding) : 0;
}

// NEAT runs in CBC only and pads by its own rules (0 to 4).
int ZREncrypt::checkNeatUse(const char* method, int mode, int nPadding) {
    if (mode != ENGINE_MODE_CBC) return fail(kClass, method, "Mode", 18, "The NEAT algorithm only support CBC mode.");
    if (nPadding < 0 || nPadding > 4) {
        ByteString msg;
        msg.format("The PaddingType(%d) does not supported.", nPadding);
        return fail(kClass, method, "nPadding", 4, msg.c_str());
    }
    return 0;
}

int ZREncrypt::expandKey(const char* method, int id, const ByteString& key, ByteString& expanded) {
    WipedBuffer area(GENKEY_MAX_LEN);
    if (!area) return fail(kClass, method, "calloc", 25, "The memory allocation is failed");
    int len = GENKEY_MAX_LEN;
    const int rc = ZCAP_GenerateKey(area.data(), &len, id, key.data(), key.length());
    if (rc != ZCAP_OK) {
        ByteString msg;
        msg.format("ZCAP_GenerateKey error %s", ZCAP_GetResultText(rc));
        return fail(kClass, method, "ZCAP_GenerateKey", 25, msg.c_str());
    }
    expanded.set(area.data(), len);
    return 0;
}

int ZREncrypt::oneShot(bool decrypt, int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                       const ByteString& in, ByteString& out, int nPadding) {
    const char* method = decrypt ? "DecryptData" : "EncryptData";
    ByteString msg;
    OneShotPlan plan;
    if (const int rc = planOneShot(method, nAlg, nMode, nPadding, plan)) return rc;
    const int padding = plan.padding;

    if (isRsa(nAlg)) {
        // Public-key blocks: the key is the DER RSA key of the side named by the mode.
        WipedBuffer buf(ZCAP_STAGING_LEN);
        if (!buf) return fail(kClass, method, "ucOut", 26, "Momory allocation is failed.");
        int len = static_cast<int>(ZCAP_STAGING_LEN);
        const int rc = decrypt ? ZCAP_PkDecryptData(plan.id, plan.mode, key.data(), key.length(), in.data(),
                                                    in.length(), buf.data(), &len)
                               : ZCAP_PkEncryptData(plan.id, plan.mode, key.data(), key.length(), in.data(),
                                                    in.length(), buf.data(), &len);
        m_nEngineResult = rc;
        if (rc != ZCAP_OK) {
            msg.format("%s nAlgID = %d, nEncMode = %d, nPaddintType = %d, %s", operationName(decrypt), plan.id,
                       plan.mode, padding, ZCAP_GetResultText(rc));
            return fail(kClass, method, operationName(decrypt), 16, msg.c_str());
        }
        out.set(buf.data(), len);
        return 0;
    }

    if (nAlg == ALG_NEAT) {
        ByteString schedule;
        const int rc = GenerateKey(nAlg, key, schedule);
        if (rc != 0) return rc;
        ByteString ivCopy(iv);
        return noGenKey(decrypt, nAlg, nMode, schedule, ivCopy, in.data(), in.length(), out, nPadding, method);
    }

    ByteString expanded;
    if (const int rc = expandKey(method, plan.id, key, expanded)) return rc;
    ByteString ivCopy(iv);  // the caller's IV stays as it was
    return noGenKey(decrypt, nAlg, nMode, expanded, ivCopy, in.data(), in.length(), out, nPadding, method);
}

int ZREncrypt::EncryptDataTo(int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                             std::span<const uint8_t> in, const OutputMemory& allocate, size_t& outLen, int nPadding) {
    return oneShotTo(false, nAlg, nMode, key, iv, in, allocate, outLen, nPadding);
}
int ZREncrypt::DecryptDataTo(int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                             std::span<const uint8_t> in, const OutputMemory& allocate, size_t& outLen, int nPadding) {
    return oneShotTo(true, nAlg, nMode, key, iv, in, allocate, outLen, nPadding);
}

// The checks and failures are those of oneShot; what differs is where the
// result goes. The engine's staged calls write the whole blocks straight into
// the caller's memory and only the final block or two pass through a small
// buffer here.
int ZREncrypt::oneShotTo(bool decrypt, int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                         std::span<const uint8_t> in, const OutputMemory& allocate, size_t& outLen, int nPadding) {
    const char* method = decrypt ? "DecryptData" : "EncryptData";
    outLen = 0;
    ByteString msg;
    OneShotPlan plan;
    if (const int rc = planOneShot(method, nAlg, nMode, nPadding, plan)) return rc;
    const int padding = plan.padding;
    const bool publicKeyMode = plan.mode == ENGINE_MODE_PUBLIC || plan.mode == ENGINE_MODE_PRIVATE;
    if (isRsa(nAlg) || publicKeyMode) {
        // A public-key block is small: made as usual, then copied once.
        ByteString out;
        if (const int rc = oneShot(decrypt, nAlg, nMode, key, iv, ByteString(in.data(), static_cast<int>(in.size())),
                                   out, nPadding))
            return rc;
        uint8_t* p = allocate(std::max<size_t>(static_cast<size_t>(out.length()), 1));
        if (p == nullptr)
            return fail(kClass, method, "allocate", kNoOutputMemory, "The output memory is not available.");
        if (out.length() > 0) std::memcpy(p, out.data(), static_cast<size_t>(out.length()));
        outLen = static_cast<size_t>(out.length());
        return 0;
    }
    // The engine counts in int; one block of room is kept for the padding.
    if (in.size() > static_cast<size_t>(INT_MAX) - 64) return fail(kClass, method, "in", 29, "The input is too long.");
    const int inLen = static_cast<int>(in.size());
    static const uint8_t kEmpty[1] = {0};
    const uint8_t* inData = in.empty() ? kEmpty : in.data();

    if (nAlg == ALG_NEAT) {
        ByteString schedule;
        if (const int rc = GenerateKey(nAlg, key, schedule); rc != 0) return rc;
        const size_t rest = in.size() % NEAT_BLOCK_LEN;
        const size_t capacity = decrypt || nPadding == 0 ? in.size() : in.size() - rest + NEAT_BLOCK_LEN;
        uint8_t* out = allocate(std::max<size_t>(capacity, 1));  // never a request for nothing
        if (out == nullptr)
            return fail(kClass, method, "allocate", kNoOutputMemory, "The output memory is not available.");
        int len = static_cast<int>(capacity);
        const int rc =
            decrypt ? ZR_DecryptNeatCBC(schedule.data(), iv.data(), iv.length(), inData, inLen, out, &len, nPadding)
                    : ZR_EncryptNeatCBC(schedule.data(), iv.data(), iv.length(), inData, inLen, out, &len, nPadding);
        if (rc != NEAT_OK) {
            msg.format("Failed %s : ErrCode = %d.", decrypt ? "ZR_DecryptNeatCBC" : "ZR_EncryptNeatCBC", rc);
            return fail(kClass, method, "NEAT", 6, msg.c_str());
        }
        outLen = static_cast<size_t>(len);
        return 0;
    }

    ByteString expanded;
    if (const int rc = expandKey(method, plan.id, key, expanded)) return rc;
    size_t bs = 1;
    zcapCipherInfo(plan.id, &bs, nullptr, nullptr);
    // Encryption: the whole blocks plus the padded last one; decryption: at
    // most the ciphertext (the padding is removed).
    size_t capacity = decrypt || padding == ENGINE_PAD_NONE ? in.size() : in.size() - in.size() % bs + bs;
    const int ivLen = iv.length() < 32 ? iv.length() : 32;
    if (decrypt && padding != ENGINE_PAD_NONE && (plan.mode == ENGINE_MODE_CBC || plan.mode == ENGINE_MODE_ECB) &&
        bs > 1 && bs <= 32 && in.size() >= bs && in.size() % bs == 0) {
        // The last block is deciphered first (in CBC its chaining value is the
        // block before it): its padding tells the plaintext's exact length, so
        // that a caller's record of that size is written over instead of new
        // memory being faulted in. A failure here is left to the whole
        // decryption below, which reports it as it always has.
        const bool chained = plan.mode == ENGINE_MODE_CBC && in.size() >= 2 * bs;
        const uint8_t* chain = chained ? in.data() + in.size() - 2 * bs : (ivLen > 0 ? iv.data() : nullptr);
        const int chainLen = chained ? static_cast<int>(bs) : ivLen;
        ZcapContext last;
        uint8_t block[64];
        int kept = sizeof block, plain = 0;
        int rc = ZCAP_DecryptInit(&last, expanded.data(), expanded.length(), plan.id, plan.mode, chain, chainLen);
        if (rc == ZCAP_OK)
            rc = ZCAP_DecryptUpdate(&last, block, &kept, in.data() + in.size() - bs, static_cast<int>(bs));
        plain = static_cast<int>(sizeof block) - kept;
        if (rc == ZCAP_OK) rc = ZCAP_DecryptFinal(&last, block + kept, &plain, padding);
        secureWipe(block, sizeof block);
        if (rc == ZCAP_OK) capacity = in.size() - bs + static_cast<size_t>(kept) + static_cast<size_t>(plain);
    }
    const auto failed = [&](int rc) {
        msg.format("%s nAlgID = %d, nEncMode = %d, nPaddintType = %d, %s", operationName(decrypt), plan.id, plan.mode,
                   padding, ZCAP_GetResultText(rc));
        return fail(kClass, method, operationName(decrypt), 27, msg.c_str());
    };
    auto ctx = std::unique_ptr<ZcapContext>(new (std::nothrow) ZcapContext);
    if (!ctx) return failed(zcapWithStage(ZCAP_STAGE_INIT, ZCAP_MEMORY_ERROR));
    int rc = decrypt ? ZCAP_DecryptInit(ctx.get(), expanded.data(), expanded.length(), plan.id, plan.mode,
                                        ivLen > 0 ? iv.data() : nullptr, ivLen)
                     : ZCAP_EncryptInit(ctx.get(), expanded.data(), expanded.length(), plan.id, plan.mode,
                                        ivLen > 0 ? iv.data() : nullptr, ivLen);
    if (rc != ZCAP_OK) return failed(zcapWithStage(ZCAP_STAGE_INIT, rc));
    uint8_t* out = allocate(std::max<size_t>(capacity, 1));  // never a request for nothing
    if (out == nullptr) return fail(kClass, method, "allocate", kNoOutputMemory, "The output memory is not available.");
    int first = static_cast<int>(capacity);
    rc = decrypt ? ZCAP_DecryptUpdate(ctx.get(), out, &first, inData, inLen)
                 : ZCAP_EncryptUpdate(ctx.get(), out, &first, inData, inLen);
    if (rc != ZCAP_OK) return failed(zcapWithStage(ZCAP_STAGE_UPDATE, rc));
    uint8_t tail[2 * 32];
    int second = sizeof tail;
    rc = decrypt ? ZCAP_DecryptFinal(ctx.get(), tail, &second, padding)
                 : ZCAP_EncryptFinal(ctx.get(), tail, &second, padding);
    if (rc == ZCAP_OK && static_cast<size_t>(first) + static_cast<size_t>(second) > capacity)
        rc = ZCAP_NOT_ENOUGH_BUFFER;
    if (rc == ZCAP_OK && second > 0) std::memcpy(out + first, tail, static_cast<size_t>(second));
    secureWipe(tail, sizeof tail);
    if (rc != ZCAP_OK) return failed(zcapWithStage(ZCAP_STAGE_FINAL, rc));
    outLen = static_cast<size_t>(first) + static_cast<size_t>(second);
    return 0;
}

int ZREncrypt::EncryptData_NoGenKey(int nAlg, int nMode, ByteString& expandedKey, ByteString& iv, const uint8_t* in,
                                    int inLen, ByteString& out, int nPadding) {
    return noGenKey(false, nAlg, nMode, expandedKey, iv, in, inLen, out, nPadding);
}
int ZREncrypt::DecryptData_NoGenKey(int nAlg, int nMode, ByteString& expandedKey, ByteString& iv, const uint8_t* in,
                                    int inLen, ByteString& out, int nPadding) {
    return noGenKey(true, nAlg, nMode, expandedKey, iv, in, inLen, out, nPadding);
}

int ZREncrypt::noGenKey(bool decrypt, int nAlg, int nMode, ByteString& expandedKey, ByteString& iv, const uint8_t* in,
                        int inLen, ByteString& out, int nPadding, const char* method) {
    if (method == nullptr) method = decrypt ? "DecryptData_NoGenKey" : "EncryptData_NoGenKey";
    ByteString msg;
    const auto id = engineIdOf(nAlg);
    if (!id) {
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, method, "nAlg", 1, msg.c_str());
    }
    const auto mode = engineModeOf(nMode);
    if (!mode) {
        msg.format("The Mode(%d) does not supported.", nMode);
        return fail(kClass, method, "nMode", 2, msg.c_str());
    }
    static const uint8_t kEmpty[1] = {0};
    if (in == nullptr || inLen < 0) {
        in = kEmpty;
        inLen = 0;
    }

    if (nAlg == ALG_NEAT) {
        if (const int rc = checkNeatUse(method, *mode, nPadding)) return rc;
        const int capacity = inLen + static_cast<int>(NEAT_BLOCK_LEN);
        WipedBuffer buf(static_cast<size_t>(capacity));
        if (!buf) return fail(kClass, method, "ucOut", 19, "Momory allocation is failed.");
        int outLen = capacity;
        const int rc = decrypt ? ZR_DecryptNeatCBC(expandedKey.data(), iv.data(), iv.length(), in, inLen, buf.data(),
                                                   &outLen, nPadding)
                               : ZR_EncryptNeatCBC(expandedKey.data(), iv.data(), iv.length(), in, inLen, buf.data(),
                                                   &outLen, nPadding);
        if (rc != NEAT_OK) {
            msg.format("Failed %s : ErrCode = %d.", decrypt ? "ZR_DecryptNeatCBC" : "ZR_EncryptNeatCBC", rc);
            return fail(kClass, method, "NEAT", 6, msg.c_str());
        }
        // CBC continues from the last ciphertext block: the input's when
        // decrypting, the output's when encrypting.
        if (decrypt && inLen >= static_cast<int>(NEAT_BLOCK_LEN))
            iv.set(in + inLen - NEAT_BLOCK_LEN, NEAT_BLOCK_LEN);
        else if (!decrypt && outLen >= static_cast<int>(NEAT_BLOCK_LEN))
            iv.set(buf.data() + outLen - NEAT_BLOCK_LEN, NEAT_BLOCK_LEN);
        out.set(buf.data(), outLen);
        return 0;
    }

    const bool publicKeyMode = *mode == ENGINE_MODE_PUBLIC || *mode == ENGINE_MODE_PRIVATE;
    int padding = ENGINE_PAD_NONE;
    if (!publicKeyMode && nAlg != ALG_RC4) {
        const auto p = enginePaddingOf(nPadding);
        if (!p) {
            msg.format("The PaddingType(%d) does not supported.", nPadding);
            return fail(kClass, method, "nPadding", 3, msg.c_str());
        }
        padding = *p;
    }
    if (expandedKey.length() > GENKEY_MAX_LEN) {
        msg.format("The key(%d) is longer than GENKEY_MAX_LEN(%d).", expandedKey.length(), GENKEY_MAX_LEN);
        return fail(kClass, method, "expandedKey", 3, msg.c_str());
    }
    WipedBuffer keyArea(GENKEY_MAX_LEN);
    if (!keyArea) return fail(kClass, method, "calloc", 26, "Momory allocation is failed.");
    if (expandedKey.length() > 0) std::memcpy(keyArea.data(), expandedKey.data(), expandedKey.length());
    const int capacity = inLen + kOutputSlack;
    WipedBuffer buf(static_cast<size_t>(capacity));
    if (!buf) return fail(kClass, method, "ucOut", 26, "Momory allocation is failed.");
    uint8_t ivArea[32] = {};
    const int ivLen = iv.length() < static_cast<int>(sizeof ivArea) ? iv.length() : static_cast<int>(sizeof ivArea);
    if (ivLen > 0) std::memcpy(ivArea, iv.data(), ivLen);

    int outLen = capacity;
    const int rc = decrypt ? ZCAP_DecryptData(keyArea.data(), expandedKey.length(), *id, *mode, buf.data(), &outLen, in,
                                              inLen, ivLen > 0 ? ivArea : nullptr, ivLen, padding)
                           : ZCAP_EncryptData(keyArea.data(), expandedKey.length(), *id, *mode, buf.data(), &outLen, in,
                                              inLen, ivLen > 0 ? ivArea : nullptr, ivLen, padding);
    if (rc != ZCAP_OK) {
        secureWipe(ivArea, sizeof ivArea);
        msg.format("%s nAlgID = %d, nEncMode = %d, nPaddintType = %d, %s", operationName(decrypt), *id, *mode, padding,
                   ZCAP_GetResultText(rc));
        return fail(kClass, method, operationName(decrypt), 27, msg.c_str());
    }
    expandedKey.set(keyArea.data(), expandedKey.length());  // advanced key state (RC4)
    if (ivLen > 0) iv.set(ivArea, ivLen);
    secureWipe(ivArea, sizeof ivArea);
    out.set(buf.data(), outLen);
    return 0;
}

int ZREncrypt::EncryptData_Init(int nAlg, int nMode, const ByteString& key, const ByteString& iv) {
    return init(false, nAlg, nMode, key, iv);
}
int ZREncrypt::DecryptData_Init(int nAlg, int nMode, const ByteString& key, const ByteString& iv) {
    return init(true, nAlg, nMode, key, iv);
}

int ZREncrypt::init(bool decrypt, int nAlg, int nMode, const ByteString& key, const ByteString& iv) {
    m_nAlg = nAlg;
    m_nMode = nMode;
    m_bDecrypt = decrypt;
    m_Key.assign(key);
    m_Iv.assign(iv);
    m_Buffer.clear();
    m_bKeyNotExpanded = 1;
    return 0;
}

int ZREncrypt::EncryptData_Update(const ByteString& in, ByteString* out) {
    return update(false, in.data(), in.length(), out);
}
int ZREncrypt::DecryptData_Update(const ByteString& in, ByteString* out) {
    return update(true, in.data(), in.length(), out);
}
int ZREncrypt::EncryptData_Update(const uint8_t* in, int inLen, ByteString* out) {
    return update(false, in, inLen, out);
}
int ZREncrypt::DecryptData_Update(const uint8_t* in, int inLen, ByteString* out) {
    return update(true, in, inLen, out);
}

int ZREncrypt::update(bool decrypt, const uint8_t* in, int inLen, ByteString* out) {
    const char* method = decrypt ? "DecryptData_Update" : "EncryptData_Update";
    if (in != nullptr && inLen > 0) m_Buffer.append(in, inLen);
    if (out != nullptr) out->clear();
    if (m_nMode == MODE_PRIVATE_KEY || m_nMode == MODE_PUBLIC_KEY) return 0;  // public-key input waits for final
    if (m_bKeyNotExpanded) {
        ByteString expanded;
        if (GenerateKey(m_nAlg, m_Key, expanded) != 0) return fail(kClass, method, "this", 1, errorText());
        m_Key.assign(expanded);
        m_bKeyNotExpanded = 0;
    }
    const int len = m_Buffer.length();
    if (len < kStreamThreshold) return 0;
    const int unit = streamUnit(m_nAlg);
    const int process = len - len % unit - 2 * unit;
    if (process <= 0) return 0;
    if (out == nullptr) return fail(kClass, method, "pOutput", 2, "pOutput is NULL");
    if (noGenKey(decrypt, m_nAlg, m_nMode, m_Key, m_Iv, m_Buffer.data(), process, *out, ENGINE_PAD_NONE) != 0)
        return fail(kClass, method, decrypt ? "DecryptData_NoGenKey" : "EncryptData_NoGenKey", 3, errorText());
    ByteString rest(m_Buffer.data() + process, len - process);
    m_Buffer.assign(rest);
    return 0;
}

int ZREncrypt::EncryptData_Final(ByteString* out, int nPadding) { return final(false, out, nPadding); }
int ZREncrypt::DecryptData_Final(ByteString* out, int nPadding) { return final(true, out, nPadding); }

int ZREncrypt::final(bool decrypt, ByteString* out, int nPadding) {
    const char* method = decrypt ? "DecryptData_Final" : "EncryptData_Final";
    if (out == nullptr) return fail(kClass, method, "pOutput", 2, "pOutput is NULL");
    if (m_nMode == MODE_PRIVATE_KEY || m_nMode == MODE_PUBLIC_KEY) {
        if (oneShot(decrypt, m_nAlg, m_nMode, m_Key, m_Iv, m_Buffer, *out, nPadding) != 0)
            return fail(kClass, method, decrypt ? "DecryptData" : "EncryptData", 1, errorText());
        m_Buffer.clear();
        return 0;
    }
    // With no update before it (an empty input) the key is still raw: expand it
    // here so that an empty input gets its padding block like any other.
    if (m_bKeyNotExpanded) {
        ByteString expanded;
        if (GenerateKey(m_nAlg, m_Key, expanded) != 0) return fail(kClass, method, "this", 2, errorText());
        m_Key.assign(expanded);
        m_bKeyNotExpanded = 0;
    }
    const int rc = noGenKey(decrypt, m_nAlg, m_nMode, m_Key, m_Iv, m_Buffer.data(), m_Buffer.length(), *out, nPadding);
    m_Buffer.clear();
    if (rc != 0) return fail(kClass, method, decrypt ? "DecryptData_NoGenKey" : "EncryptData_NoGenKey", 2, errorText());
    return 0;
}

}  // namespace qelt
