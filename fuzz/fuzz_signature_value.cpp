// Signature values from arbitrary bytes through the engine's decoders and
// checks: KCDSA SEQUENCE { r BIT STRING, s INTEGER }, ECDSA Ecdsa-Sig-Value,
// and RSA blocks, each against a fixed key made once.
#include "ZRCrypto/engine/zcap_kcdsa.h"
#include "ZRCrypto/engine/zcap_pkey.h"

namespace {

struct Keys {
    qelt::ByteString kcdsaPub, kcdsaPri, ecPub, ecPri, rsaPub, rsaPri;
    Keys() {
        (void)qelt::zcapGenerateKeyPair(141401, qelt::ByteString(), kcdsaPub, kcdsaPri);
        (void)qelt::zcapGenerateKeyPair(171402, qelt::ByteString(), ecPub, ecPri);
        (void)qelt::zcapGenerateKeyPair(121400, qelt::ByteString(), rsaPub, rsaPri);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qelt;
    static const Keys keys;
    const int len = static_cast<int>(size);
    ByteString r;
    BnPtr s;
    (void)kcdsa_detail::decodeSignature(data, size, r, s);
    static const uint8_t msg[] = "message";
    for (int id : {141401, 141403})
        (void)ZCAP_VerifyData(id, keys.kcdsaPub.data(), keys.kcdsaPub.length(), msg, 7, data, len);
    (void)ZCAP_VerifyData(171402, keys.ecPub.data(), keys.ecPub.length(), msg, 7, data, len);
    (void)ZCAP_VerifyData(121400, keys.rsaPub.data(), keys.rsaPub.length(), msg, 7, data, len);
    uint8_t out[1024];
    int outLen = sizeof out;
    (void)ZCAP_PkDecryptData(12000, 6, keys.rsaPub.data(), keys.rsaPub.length(), data, len, out, &outLen);
    return 0;
}
