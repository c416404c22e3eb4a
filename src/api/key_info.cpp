// The key-pair test and the algorithm and size of private and public keys.
#include <cstring>
#include <string>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRProcess/PCryptUtil.h"
#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/key_blobs.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr size_t kNameBufLen = 52;
constexpr size_t kSizeBufLen = 50;

void putInfo(char* name, char* size, const std::string& n, const std::string& s) {
    std::memset(name, 0, kNameBufLen);
    std::memset(size, 0, kSizeBufLen);
    std::strncpy(name, n.c_str(), kNameBufLen - 1);
    std::strncpy(size, s.c_str(), kSizeBufLen - 1);
}

}  // namespace

QELT_EXPORT int QELT_PRIKEY_CheckKeyPair(void* pCtx, BINSTR* pCert, BINSTR* pPriKey) {
    return api::run(pCtx, "QELT_PRIKEY_CheckKeyPair", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("개인키(pPriKey)를 지정해 주세요."_cp949);
        PCryptUtil util;
        if (util.verifySignatureWithCert(bytesOf(pCert), bytesOf(pPriKey)) != 0)
            return call.failCore(QELT_ERR_KEYPAIR_MISMATCH, "키쌍이 맞지 않습니다."_cp949, util);
        return 0;
    });
}

QELT_EXPORT int QELT_PRIKEY_GetKeyInfo(void* pCtx, BINSTR* pPriKey, char* pszAlgName, char* pszKeySize) {
    return api::run(pCtx, "QELT_PRIKEY_GetKeyInfo", [&](ApiCall& call) {
        if (!hasBytes(pPriKey)) return call.invalid("개인키(pPriKey)를 지정해 주세요."_cp949);
        if (pszAlgName == nullptr) return call.nullOutput("pszAlgName");
        if (pszKeySize == nullptr) return call.nullOutput("pszKeySize");
        const char* bad = "잘못된 개인키 입니다."_cp949;
        RPrivateKeyInfo info;
        if (info.fromASN1Object(bytesOf(pPriKey)) != 0) return call.failCore(QELT_ERR_PRIKEY_INVALID, bad, info);
        const std::string oid = keyblob::oidOf(info.getPrivateKeyAlgorithm());
        const RAlgorithmIdentifier& alg = info.getPrivateKeyAlgorithm();
        std::string name = "Unknown", size = "Unknown";
        if (oid == kOidRsaEncryption) {
            RRSAPrivateKey rsa;
            if (rsa.fromASN1Object(info.getPrivateKey().getValue()) != 0)
                return call.failCore(QELT_ERR_PRIKEY_INVALID, bad, rsa);
            name = "RSA";
            size = keySizeText(keyblob::magnitudeOf(rsa.getModulus()).length());
        } else if (oid == kOidKcdsa21) {
            RKCDSAParameters params;
            if (!alg.hasParameters() || params.fromASN1Object(alg.getParameters().getEncoding()) != 0)
                return call.failCore(QELT_ERR_PRIKEY_INVALID, bad, params);
            name = "KCDSA";
            size = keySizeText(keyblob::magnitudeOf(params.getP()).length());
        } else if (oid == kOidEcPublicKey) {
            RecpkParameters params;
            if (!alg.hasParameters() || params.fromASN1Object(alg.getParameters().getEncoding()) != 0)
                return call.failCore(QELT_ERR_PRIKEY_INVALID, bad, params);
            name = "ECC";
            if (params.isNamedCurve()) {
                ASN1ObjectIdentifier curve = params.getNamedCurve();
                size = ecCurveSizeText(curve.getOID().c_str());
            }
        }
        putInfo(pszAlgName, pszKeySize, name, size);
        return 0;
    });
}

QELT_EXPORT int QELT_PUBKEY_GetKeyInfo(void* pCtx, BINSTR* pPubKey, char* pszAlgName, char* pszKeySize) {
    return api::run(pCtx, "QELT_PUBKEY_GetKeyInfo", [&](ApiCall& call) {
        if (!hasBytes(pPubKey)) return call.invalid("공개키(pPubKey)를 지정해 주세요."_cp949);
        if (pszAlgName == nullptr) return call.nullOutput("pszAlgName");
        if (pszKeySize == nullptr) return call.nullOutput("pszKeySize");
        std::string name, size, error;
        if (describePublicKeyInfo(bytesOf(pPubKey), name, size, error) != 0)
            return call.failCore(QELT_ERR_PUBLIC_KEY, "잘못된 공개키입니다."_cp949, error.c_str());
        putInfo(pszAlgName, pszKeySize, name, size);
        return 0;
    });
}
