#include "ZRCrypto/ZRSign.h"

#include <new>

#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {
constexpr const char* kClass = "ZRSign";
constexpr int kSignatureCapacity = 2048;
constexpr int kKcdsaSha1Form1 = 141401;
constexpr int kKcdsaSha1Form2 = 141403;
}  // namespace

ZRSign::ZRSign() = default;
ZRSign::~ZRSign() = default;

int ZRSign::SignData(int nAlg, const ByteString& key, const ByteString& data, ByteString& signature) {
    auto id = engineIdOf(nAlg);
    ByteString msg;
    if (!id) {
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, "SignData", "nAlg", 1, msg.c_str());
    }
    if (*id == kKcdsaSha1Form1) id = kKcdsaSha1Form2;
    uint8_t buf[kSignatureCapacity];
    int len = kSignatureCapacity;
    const int rc = ZCAP_SignData(*id, key.data(), key.length(), data.data(), data.length(), buf, &len);
    if (rc != ZCAP_OK) return fail(kClass, "SignData", "ZCAP_SignData", 11, ZCAP_GetResultText(rc));
    signature.set(buf, len);
    return 0;
}

int ZRSign::VerifyData(int nAlg, const ByteString& key, const ByteString& data, const ByteString& signature) {
    const auto id = engineIdOf(nAlg);
    ByteString msg;
    if (!id) {
        msg.format("The AlgID(%d) does not supported.", nAlg);
        return fail(kClass, "VerifyData", "nAlg", 1, msg.c_str());
    }
    int rc = ZCAP_VerifyData(*id, key.data(), key.length(), data.data(), data.length(), signature.data(),
                             signature.length());
    if (rc == ZCAP_OK) return 0;
    if (*id == kKcdsaSha1Form1) {
        rc = ZCAP_VerifyData(kKcdsaSha1Form2, key.data(), key.length(), data.data(), data.length(), signature.data(),
                             signature.length());
        if (rc == ZCAP_OK) return 0;
        return fail(kClass, "VerifyData", "ZCAP_VerifyData", 14, ZCAP_GetResultText(rc));
    }
    return fail(kClass, "VerifyData", "ZCAP_VerifyData", 15, ZCAP_GetResultText(rc));
}

int ZRSign::stagedInit(bool verify, int nAlg, const ByteString& key) {
    const char* method = verify ? "VerifyData_Init" : "SignData_Init";
    m_pZCAPCtx.reset(new (std::nothrow) ZcapSignContext);
    if (!m_pZCAPCtx) return fail(kClass, method, "malloc", 1, "The memory(m_pZCAPCtx) allocation is failed.");
    const auto id = engineIdOf(nAlg);
    if (!id) {
        ByteString msg;
        msg.format("The AlgID(%d) does not supported.", nAlg);
        m_pZCAPCtx.reset();
        return fail(kClass, method, "nAlg", 2, msg.c_str());
    }
    const int rc = verify ? ZCAP_VerifyInit(m_pZCAPCtx.get(), *id, key.data(), key.length())
                          : ZCAP_SignInit(m_pZCAPCtx.get(), *id, key.data(), key.length());
    if (rc != ZCAP_OK) {
        m_pZCAPCtx.reset();
        return fail(kClass, method, verify ? "ZCAP_VerifyDataInit" : "ZCAP_SignDataInit", 3,
                    ZCAP_GetResultText(zcapWithStage(ZCAP_STAGE_INIT, rc)));
    }
    return 0;
}

int ZRSign::SignData_Init(int nAlg, const ByteString& key) { return stagedInit(false, nAlg, key); }
int ZRSign::VerifyData_Init(int nAlg, const ByteString& key) { return stagedInit(true, nAlg, key); }

int ZRSign::SignData_Update(const uint8_t* data, int len) {
    if (!m_pZCAPCtx) return fail(kClass, "SignData_Update", "m_pZCAPCtx", 1, "At first, You must init(SignData_Init).");
    const int rc = ZCAP_SignUpdate(m_pZCAPCtx.get(), data, data ? len : 0);
    if (rc != ZCAP_OK)
        return fail(kClass, "SignData_Update", "ZCAP_SignDataUpdate", 2,
                    ZCAP_GetResultText(zcapWithStage(ZCAP_STAGE_UPDATE, rc)));
    return 0;
}

int ZRSign::VerifyData_Update(const uint8_t* data, int len) {
    if (!m_pZCAPCtx)
        return fail(kClass, "VerifyData_Update", "m_pZCAPCtx", 1, "At first, You must init(VerifyData_Init).");
    const int rc = ZCAP_VerifyUpdate(m_pZCAPCtx.get(), data, data ? len : 0);
    if (rc != ZCAP_OK)
        return fail(kClass, "VerifyData_Update", "ZCAP_VerifyDataUpdate", 2,
                    ZCAP_GetResultText(zcapWithStage(ZCAP_STAGE_UPDATE, rc)));
    return 0;
}

int ZRSign::SignData_Final(ByteString& signature) {
    if (!m_pZCAPCtx) return fail(kClass, "SignData_Final", "m_pZCAPCtx", 1, "At first, You must init(SignData_Init).");
    uint8_t buf[kSignatureCapacity];
    int len = kSignatureCapacity;
    const int rc = ZCAP_SignFinal(m_pZCAPCtx.get(), buf, &len);
    m_pZCAPCtx.reset();
    if (rc != ZCAP_OK)
        return fail(kClass, "SignData_Final", "ZCAP_SignDataFinal", 2,
                    ZCAP_GetResultText(zcapWithStage(ZCAP_STAGE_FINAL, rc)));
    signature.set(buf, len);
    return 0;
}

int ZRSign::VerifyData_Final(const ByteString& signature) {
    if (!m_pZCAPCtx)
        return fail(kClass, "VerifyData_Final", "m_pZCAPCtx", 1, "At first, You must init(VerifyData_Init).");
    const int rc = ZCAP_VerifyFinal(m_pZCAPCtx.get(), signature.data(), signature.length());
    m_pZCAPCtx.reset();
    if (rc != ZCAP_OK)
        return fail(kClass, "VerifyData_Final", "ZCAP_VerifyDataFinal", 2,
                    ZCAP_GetResultText(zcapWithStage(ZCAP_STAGE_FINAL, rc)));
    return 0;
}

}  // namespace qelt
