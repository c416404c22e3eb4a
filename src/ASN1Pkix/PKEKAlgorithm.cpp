#include "ASN1Pkix/PKEKAlgorithm.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_engine.h"
#include "ZRCrypto/engine/zcap_random.h"
#include "ZRCrypto/engine/zcap_result.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PKEKAlgorithm";
constexpr uint8_t kWrapIv[8] = {0x4A, 0xDD, 0xA2, 0x2C, 0x79, 0xE8, 0x21, 0x05};
constexpr int kTripleDesKeyLen = 24;
constexpr int kTripleDesWrappedLen = 40;
constexpr int kRc2KekLen = 16;

// Each DES key byte carries odd parity in its lowest bit.
uint8_t withOddParity(uint8_t b) {
    const uint8_t high = b & 0xFE;
    return static_cast<uint8_t>(high | ((__builtin_popcount(high) & 1) == 0 ? 1 : 0));
}

}  // namespace

bool PKEKAlgorithm::keyChecksum(const ByteString& data, uint8_t icv[8]) {
    uint8_t digest[64];
    int len = sizeof digest;
    if (ZCAP_DigestData(ENGINE_SHA1, digest, &len, data.data(), data.length()) != ZCAP_OK) return false;
    std::copy(digest, digest + 8, icv);
    secureWipe(digest, sizeof digest);
    return true;
}

int PKEKAlgorithm::cbc(bool decrypt, int engineId, const ByteString& key, const uint8_t iv[8], const ByteString& in,
                       ByteString& out, const char* method, const char* label, int code) {
    // The engine works on the expanded key schedule; the one-shot call writes
    // the chaining value back, so it gets a copy of the IV.
    size_t expandedLen = 0;
    if (!zcapCipherInfo(engineId, nullptr, nullptr, &expandedLen)) return fail(kClass, method, label, code);
    ByteString keyCopy;
    if (keyCopy.allocZero(static_cast<int>(expandedLen)) != ByteString::kOk) return fail(kClass, method, label, code);
    int scheduleLen = static_cast<int>(expandedLen);
    if (const int rc = ZCAP_GenerateKey(keyCopy.data(), &scheduleLen, engineId, key.data(), key.length());
        rc != ZCAP_OK)
        return fail(kClass, method, label, code, ZCAP_GetResultText(rc));
    keyCopy = ByteString(keyCopy.data(), scheduleLen);
    uint8_t chain[8];
    std::copy(iv, iv + 8, chain);
    if (out.allocZero(in.length() + 16) != ByteString::kOk) return fail(kClass, method, label, code);
    int outLen = in.length() + 16;
    const int rc = decrypt ? ZCAP_DecryptData(keyCopy.data(), keyCopy.length(), engineId,
                                              ENGINE_MODE_CBC, out.data(), &outLen, in.data(),
                                              in.length(), chain, sizeof chain, ENGINE_PAD_NONE)
                           : ZCAP_EncryptData(keyCopy.data(), keyCopy.length(), engineId,
                                              ENGINE_MODE_CBC, out.data(), &outLen, in.data(),
                                              in.length(), chain, sizeof chain, ENGINE_PAD_NONE);
    secureWipe(chain, sizeof chain);
    if (rc != ZCAP_OK) {
        out.clear();
        return fail(kClass, method, label, code, ZCAP_GetResultText(rc));
    }
    ByteString result(out.data(), outLen);
    out = std::move(result);
    return 0;
}

// payload -> E_kek,iv(payload) prefixed by the fresh IV, reversed, then
// encrypted again under the fixed IV.
int PKEKAlgorithm::wrapCommon(int engineId, const ByteString& payload, const ByteString& kek, ByteString& wrapped,
                              const char* method, int stepBase) {
    uint8_t iv[8];
    if (zcapRandomBytes(iv, sizeof iv) != 0) return fail(kClass, method, "zcapRandomBytes", stepBase);
    ByteString temp1;
    if (int rc = cbc(false, engineId, kek, iv, payload, temp1, method, "encrypt(IV)", stepBase + 1)) {
        secureWipe(iv, sizeof iv);
        return rc;
    }
    ByteString temp2;
    temp2.append(iv, static_cast<int>(sizeof iv));
    temp2.append(temp1);
    secureWipe(iv, sizeof iv);
    std::reverse(temp2.data(), temp2.data() + temp2.length());
    return cbc(false, engineId, kek, kWrapIv, temp2, wrapped, method, "encrypt(fixed IV)", stepBase + 2);
}

int PKEKAlgorithm::unwrapCommon(int engineId, const ByteString& wrapped, const ByteString& kek, ByteString& payload,
                                const char* method, int stepBase) {
    ByteString temp3;
    if (int rc = cbc(true, engineId, kek, kWrapIv, wrapped, temp3, method, "decrypt(fixed IV)", stepBase)) return rc;
    std::reverse(temp3.data(), temp3.data() + temp3.length());
    uint8_t iv[8];
    std::copy(temp3.data(), temp3.data() + 8, iv);
    const ByteString temp1(temp3.data() + 8, temp3.length() - 8);
    const int rc = cbc(true, engineId, kek, iv, temp1, payload, method, "decrypt(IV)", stepBase + 1);
    secureWipe(iv, sizeof iv);
    return rc;
}

int PKEKAlgorithm::wrapTripleDESKey(const ByteString& bsTBEKey, const ByteString& bsKEK, ByteString& bsWrapped) {
    static constexpr const char* kMethod = "wrapTripleDESKey";
    if (bsTBEKey.length() != kTripleDesKeyLen) return fail(kClass, kMethod, "bsTBEKey", 1, "bsTBEKey is not 24.");
    ByteString cekIcv(bsTBEKey);
    for (int i = 0; i < cekIcv.length(); ++i) cekIcv.data()[i] = withOddParity(cekIcv.data()[i]);
    uint8_t icv[8];
    if (!keyChecksum(cekIcv, icv)) return fail(kClass, kMethod, "checksum", 2);
    cekIcv.append(icv, static_cast<int>(sizeof icv));
    return wrapCommon(ENGINE_3DES, cekIcv, bsKEK, bsWrapped, kMethod, 3);
}

int PKEKAlgorithm::unwrapTripleDESKey(const ByteString& bsWrapped, const ByteString& bsKEK, ByteString& bsKey) {
    static constexpr const char* kMethod = "unwrapTripleDESKey";
    if (bsWrapped.length() != kTripleDesWrappedLen)
        return fail(kClass, kMethod, "bsWrapped", 1, "Encrypted Key length is not 40.");
    ByteString cekIcv;
    if (int rc = unwrapCommon(ENGINE_3DES, bsWrapped, bsKEK, cekIcv, kMethod, 2)) return rc;
    const ByteString cek(cekIcv.data(), kTripleDesKeyLen);
    uint8_t icv[8];
    if (!keyChecksum(cek, icv)) return fail(kClass, kMethod, "checksum", 4);
    if (!std::equal(icv, icv + 8, cekIcv.data() + kTripleDesKeyLen))
        return fail(kClass, kMethod, "ICV", 5, "Checksum is different.");
    for (int i = 0; i < cek.length(); ++i)
        if (withOddParity(cek.data()[i]) != cek.data()[i]) return fail(kClass, kMethod, "parity", 6, "Odd parity is incorrect.");
    bsKey = cek;
    return 0;
}

int PKEKAlgorithm::wrapRC2Key(const ByteString& bsTBEKey, const ByteString& bsKEK, ByteString& bsWrapped) {
    static constexpr const char* kMethod = "wrapRC2Key";
    if (bsTBEKey.isEmpty() || bsTBEKey.length() > 255) return fail(kClass, kMethod, "bsTBEKey", 1);
    if (bsKEK.length() != kRc2KekLen) return fail(kClass, kMethod, "bsKEK", 1);
    // LENGTH || CEK, padded with random bytes to a whole number of blocks.
    ByteString lcekPad;
    lcekPad.append(static_cast<uint8_t>(bsTBEKey.length()));
    lcekPad.append(bsTBEKey);
    const int pad = (8 - lcekPad.length() % 8) % 8;
    if (pad != 0) {
        uint8_t padding[8];
        if (zcapRandomBytes(padding, static_cast<size_t>(pad)) != 0) return fail(kClass, kMethod, "zcapRandomBytes", 2);
        lcekPad.append(padding, pad);
    }
    uint8_t icv[8];
    if (!keyChecksum(lcekPad, icv)) return fail(kClass, kMethod, "checksum", 2);
    lcekPad.append(icv, static_cast<int>(sizeof icv));
    return wrapCommon(ENGINE_RC2_128, lcekPad, bsKEK, bsWrapped, kMethod, 3);
}

int PKEKAlgorithm::unwrapRC2Key(const ByteString& bsWrapped, const ByteString& bsKEK, ByteString& bsKey) {
    static constexpr const char* kMethod = "unwrapRC2Key";
    // The smallest wrap holds IV, one block of LENGTH || CEK and the checksum.
    if (bsWrapped.length() % 8 != 0 || bsWrapped.length() < 24)
        return fail(kClass, kMethod, "bsWrapped", 1, "Wrapped content-encryption key is not multiple of 8 octets.");
    if (bsKEK.length() != kRc2KekLen) return fail(kClass, kMethod, "bsKEK", 1);
    ByteString lcekPadIcv;
    if (int rc = unwrapCommon(ENGINE_RC2_128, bsWrapped, bsKEK, lcekPadIcv, kMethod, 2)) return rc;
    const int body = lcekPadIcv.length() - 8;
    const ByteString lcekPad(lcekPadIcv.data(), body);
    uint8_t icv[8];
    if (!keyChecksum(lcekPad, icv)) return fail(kClass, kMethod, "checksum", 4);
    if (!std::equal(icv, icv + 8, lcekPadIcv.data() + body))
        return fail(kClass, kMethod, "ICV", 5, "Checksum is different.");
    const int length = lcekPad.data()[0];
    if (length == 0 || length > body - 1) return fail(kClass, kMethod, "LENGTH", 6);
    if (body - 1 - length > 7) return fail(kClass, kMethod, "PAD", 7, "PAD length is more than 7.");
    bsKey = ByteString(lcekPad.data() + 1, length);
    return 0;
}

int PKEKAlgorithm::wrapKey(int nAlg, const ByteString& bsTBEKey, const ByteString& bsKEK, ByteString& bsWrapped) {
    if (nAlg == ALG_3DES) return wrapTripleDESKey(bsTBEKey, bsKEK, bsWrapped);
    if (nAlg == ALG_RC2_40) return wrapRC2Key(bsTBEKey, bsKEK, bsWrapped);
    char message[64];
    std::snprintf(message, sizeof message, "The algorithm(%d) does not supported.", nAlg);
    return fail(kClass, "wrapKey", "nAlg", 1, message);
}

int PKEKAlgorithm::unwrapKey(int nAlg, const ByteString& bsWrapped, const ByteString& bsKEK, ByteString& bsKey) {
    if (nAlg == ALG_3DES) return unwrapTripleDESKey(bsWrapped, bsKEK, bsKey);
    if (nAlg == ALG_RC2_40) return unwrapRC2Key(bsWrapped, bsKEK, bsKey);
    char message[64];
    std::snprintf(message, sizeof message, "The algorithm(%d) does not supported.", nAlg);
    return fail(kClass, "unwrapKey", "nAlg", 1, message);
}

}  // namespace qelt
