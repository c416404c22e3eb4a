#include "ZRCrypto/zr_hash.h"

#include <new>

#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {
constexpr const char* kClass = "ZRHash";
constexpr int kDigestCapacity = 256;
}  // namespace

ZRHash::~ZRHash() = default;

int ZRHash::DigestData(int nAlg, const ByteString& in, ByteString& out, int nIter) {
    const auto id = engineIdOf(nAlg);
    if (!id) {
        ByteString msg;
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, "DigestData", "nAlg", 1, msg.c_str());
    }
    uint8_t digest[kDigestCapacity];
    int len = kDigestCapacity;
    int rc = ZCAP_DigestData(*id, digest, &len, in.data(), in.length());
    if (rc != ZCAP_OK) return fail(kClass, "DigestData", "ZCAP_DigestData", 3, ZCAP_GetResultText(rc));
    for (int i = 1; i < nIter; ++i) {
        uint8_t next[kDigestCapacity];
        int nextLen = kDigestCapacity;
        rc = ZCAP_DigestData(*id, next, &nextLen, digest, len);
        if (rc != ZCAP_OK) return fail(kClass, "DigestData", "ZCAP_DigestData", 2, ZCAP_GetResultText(rc));
        std::copy(next, next + nextLen, digest);
        len = nextLen;
    }
    out.set(digest, len);
    return 0;
}

int ZRHash::DigestData_Init(int nAlg) {
    m_pZCAPCtx.reset(new (std::nothrow) ZcapContext);
    if (!m_pZCAPCtx) return fail(kClass, "DigestData_Init", "malloc", 1, "The memory(m_pZCAPCtx) allocation is failed.");
    const auto id = engineIdOf(nAlg);
    if (!id) {
        ByteString msg;
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, "DigestData_Init", "nAlg", 2, msg.c_str());
    }
    const int rc = ZCAP_DigestInit(m_pZCAPCtx.get(), *id);
    if (rc != ZCAP_OK) return fail(kClass, "DigestData_Init", "ZCAP_DigestDataInit", 3, ZCAP_GetResultText(rc));
    return 0;
}

int ZRHash::DigestData_Update(const ByteString& in) { return DigestData_Update(in.data(), in.length()); }

int ZRHash::DigestData_Update(const uint8_t* data, int len) {
    if (!m_pZCAPCtx)
        return fail(kClass, "DigestData_Update", "m_pZCAPCtx", 1, "At first, You must init(DigestData_Init).");
    static const uint8_t kNothing[1] = {0};
    const int rc = ZCAP_DigestUpdate(m_pZCAPCtx.get(), data != nullptr ? data : kNothing, data != nullptr ? len : 0);
    if (rc != ZCAP_OK) return fail(kClass, "DigestData_Update", "ZCAP_DigestDataUpdate", 2, ZCAP_GetResultText(rc));
    return 0;
}

int ZRHash::DigestData_Final(ByteString& out) {
    if (!m_pZCAPCtx)
        return fail(kClass, "DigestData_Final", "m_pZCAPCtx", 1, "At first, You must init(DigestData_Init).");
    uint8_t digest[kDigestCapacity];
    int len = kDigestCapacity;
    const int rc = ZCAP_DigestFinal(m_pZCAPCtx.get(), digest, &len);
    if (rc != ZCAP_OK) return fail(kClass, "DigestData_Final", "ZCAP_DigestDataFinal", 2, ZCAP_GetResultText(rc));
    out.set(digest, len);
    return 0;
}

}  // namespace qelt
