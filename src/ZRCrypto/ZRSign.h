// ZRSign: signatures for the rest of the library, by algorithm code, with the
// DER key blobs of the engine (zcap_pkey.h). One-shot and staged.
//
// The one-shot calls sign the KCDSA SHA-1/1024 code with the engine's second
// form (141403) and verify it with either form; the staged calls use the
// mapped identifier as it is.
#pragma once

#include <memory>

#include "ZRCrypto/engine/zcap_pkey.h"
#include "util/error_holder.h"

namespace qelt {

class ZRSign : public ErrorHolder {
public:
    ZRSign();
    ~ZRSign() override;
    ZRSign(const ZRSign&) = delete;
    ZRSign& operator=(const ZRSign&) = delete;

    [[nodiscard]] int SignData(int nAlg, const ByteString& key, const ByteString& data, ByteString& signature);
    [[nodiscard]] int VerifyData(int nAlg, const ByteString& key, const ByteString& data, const ByteString& signature);

    [[nodiscard]] int SignData_Init(int nAlg, const ByteString& key);
    [[nodiscard]] int SignData_Update(const uint8_t* data, int len);
    [[nodiscard]] int SignData_Final(ByteString& signature);
    [[nodiscard]] int VerifyData_Init(int nAlg, const ByteString& key);
    [[nodiscard]] int VerifyData_Update(const uint8_t* data, int len);
    [[nodiscard]] int VerifyData_Final(const ByteString& signature);

private:
    int stagedInit(bool verify, int nAlg, const ByteString& key);
    std::unique_ptr<ZcapSignContext> m_pZCAPCtx;
};

}  // namespace qelt
