// QELT_BASE64_* and QELT_PEM_*: text encodings of binary data.
#include "api/api_call.h"
#include "util/base64.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

// QELT_PEM_Encode type argument -> the codec's PEM type (bare, certificate,
// WTLS certificate, CRL, PKCS7, PKCS7).
constexpr int kPemTypeOfArgument[] = {PEM_NONE,     PEM_CERTIFICATE, PEM_WTLS_CERTIFICATE,
                                      PEM_X509_CRL, PEM_PKCS7,       PEM_PKCS7_2};

}  // namespace

QELT_EXPORT int QELT_BASE64_Encode(void* pCtx, BINSTR* pData, BINSTR* pEncData) {
    return api::run(pCtx, "QELT_BASE64_Encode", [&](ApiCall& call) {
        if (!hasBytes(pData)) return call.invalid("인코딩할 데이터를 지정해 주세요."_cp949);
        if (pEncData == nullptr) return call.nullOutput("pEncData");
        ByteString text;
        if (base64Encode(bytesOf(pData), text) != 0)
            return call.fail(QELT_ERR_BASE64_ENCODE, "BASE64 인코딩 실패"_cp949);
        return call.putBytes(pEncData, text, "encData");
    });
}

QELT_EXPORT int QELT_BASE64_Decode(void* pCtx, BINSTR* pEncData, BINSTR* pData) {
    return api::run(pCtx, "QELT_BASE64_Decode", [&](ApiCall& call) {
        if (!hasBytes(pEncData)) return call.invalid("디코딩할 데이터를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        ByteString data;
        if (base64Decode(bytesOf(pEncData), data) != 0)
            return call.fail(QELT_ERR_BASE64_DECODE, "BASE64 디코딩 실패"_cp949);
        return call.putBytes(pData, data, "data");
    });
}

QELT_EXPORT int QELT_PEM_Encode(void* pCtx, int nType, BINSTR* pData, BINSTR* pEncData) {
    return api::run(pCtx, "QELT_PEM_Encode", [&](ApiCall& call) {
        if (!hasBytes(pData)) return call.invalid("인코딩할 데이터(pData)를 지정해 주세요."_cp949);
        if (pEncData == nullptr) return call.nullOutput("pEncData");
        if (nType < 0 || nType >= static_cast<int>(std::size(kPemTypeOfArgument)))
            return call.fail(QELT_ERR_UNSUPPORTED_TYPE, "");
        ByteString text;
        if (pemEncode(kPemTypeOfArgument[nType], bytesOf(pData), text) != PEM_OK)
            return call.fail(QELT_ERR_PEM_ENCODE, "PEM 메시지로 인코딩하는데 실패하였습니다."_cp949);
        return call.putBytes(pEncData, text, "pEncData");
    });
}

QELT_EXPORT int QELT_PEM_Decode(void* pCtx, BINSTR* pEncData, BINSTR* pData) {
    return api::run(pCtx, "QELT_PEM_Decode", [&](ApiCall& call) {
        if (!hasBytes(pEncData)) return call.invalid("디코딩할 데이터(pEncData)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        ByteString data;
        if (pemDecode(bytesOf(pEncData), data) != PEM_OK)
            return call.fail(QELT_ERR_PEM_DECODE, "PEM 메시지를 디코딩하는데 실패하였습니다."_cp949);
        return call.putBytes(pData, data, "pData");
    });
}
