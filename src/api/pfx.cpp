// PFX files: QELT_PFX_Export packs a signing and/or a key-distribution
// certificate/private-key pair into a password-protected PKCS #12 file;
// QELT_PFX_Import unpacks one and sorts its pairs by the certificates' key
// usage.
#include <string>

#include "ASN1Pkix/PPKCS12.h"
#include "api/api_call.h"
#include "api/cms_key_usage.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr auto kProcessFailed = "PFX 파일을 처리하는데 실패하였습니다."_cp949;

// Where an imported pair goes: the signing slot when its certificate may
// sign (digitalSignature, or no keyUsage at all), else the key-distribution
// slot when it may encrypt.
enum class Slot { Signing, KeyDistribution, Neither };

Slot slotOf(const ByteString& cert) {
    std::string message;
    ByteString detail;
    if (api::cmsKeyUsageProblem(cert, api::KeyUse::Signing, message, detail) == QELT_OK) return Slot::Signing;
    if (api::cmsKeyUsageProblem(cert, api::KeyUse::Encryption, message, detail) == QELT_OK)
        return Slot::KeyDistribution;
    return Slot::Neither;
}

// Output of an imported value; the message names the output as the import always has.
int putImported(ApiCall& call, BINSTR* out, const ByteString& value, const char* message) {
    if (const int rc = QELT_BINSTR_SetData(value.data(), value.length(), out); rc != QELT_OK)
        return call.fail(rc, message);
    return QELT_OK;
}

}  // namespace

QELT_EXPORT int QELT_PFX_Export(void* pCtx, char* pszPasswd, BINSTR* pSignCert, BINSTR* pSignPriKey, BINSTR* pKmCert,
                                BINSTR* pKmPriKey, BINSTR* pPFX) {
    return api::run(pCtx, "QELT_PFX_Export", [&](ApiCall& call) {
        if (!hasText(pszPasswd)) return call.invalid("비밀번호를 지정해 주세요"_cp949);
        const bool signCert = pSignCert != nullptr, signKey = pSignPriKey != nullptr;
        const bool kmCert = pKmCert != nullptr, kmKey = pKmPriKey != nullptr;
        if (signCert != signKey) return call.invalid("서명용 인증서와 개인키 모두를 설정해야 합니다."_cp949);
        if (kmCert != kmKey) return call.invalid("키분배용 인증서와 개인키 모두를 설정해야 합니다."_cp949);
        if (!signCert && !kmCert) return call.invalid("서명용 또는 키분배용 중 하나는 설정해야 합니다."_cp949);
        if (pPFX == nullptr) return call.invalid("pPFX의 포인터가 NULL 입니다."_cp949);
        if (signCert) {
            if (!hasBytes(pSignCert)) return call.invalid("서명용 인증서가 비어있습니다."_cp949);
            if (!hasBytes(pSignPriKey)) return call.invalid("서명용 개인키가 비어있습니다."_cp949);
        }
        if (kmCert) {
            if (!hasBytes(pKmCert)) return call.invalid("암호용 인증서가 비어있습니다."_cp949);
            if (!hasBytes(pKmPriKey)) return call.invalid("암호용 개인키가 비어있습니다."_cp949);
        }
        PPKCS12 pkcs12;
        pkcs12.setPassword(pszPasswd);
        constexpr auto kBadKey = "잘못된 개인키 입니다."_cp949;
        if (signCert && pkcs12.setKeyAndCert(bytesOf(pSignPriKey), bytesOf(pSignCert)) != 0)
            return call.failCore(QELT_ERR_PRIKEY_INVALID, kBadKey, pkcs12);
        if (kmCert && pkcs12.setKeyAndCert(bytesOf(pKmPriKey), bytesOf(pKmCert)) != 0)
            return call.failCore(QELT_ERR_PRIKEY_INVALID, kBadKey, pkcs12);
        ByteString pfx;
        if (pkcs12.makePKCS12Data(pfx) != 0)
            return call.failCore(QELT_ERR_PFX_MAKE, "PFX 파일을 만드는데 실패하였습니다."_cp949, pkcs12);
        return call.putBytes(pPFX, pfx, "pPFX");
    });
}

QELT_EXPORT int QELT_PFX_Import(void* pCtx, char* pszPasswd, BINSTR* pPFX, BINSTR* pSignCert, BINSTR* pSignPriKey,
                                BINSTR* pKmCert, BINSTR* pKmPriKey) {
    return api::run(pCtx, "QELT_PFX_Import", [&](ApiCall& call) {
        if (!hasText(pszPasswd)) return call.invalid("비밀번호를 지정해 주세요."_cp949);
        if (!hasBytes(pPFX)) return call.invalid("PFX 데이터를 지정해 주세요."_cp949);
        if (pSignCert == nullptr) return call.invalid("pSignCert의 포인터가 NULL 입니다."_cp949);
        if (pSignPriKey == nullptr) return call.invalid("pSignPriKey의 포인터가 NULL 입니다."_cp949);
        if (pKmCert == nullptr) return call.invalid("pKmCert의 포인터가 NULL 입니다."_cp949);
        if (pKmPriKey == nullptr) return call.invalid("pKmPriKey의 포인터가 NULL 입니다."_cp949);
        PPKCS12 pkcs12;
        pkcs12.setPassword(pszPasswd);
        if (const int rc = pkcs12.setPKCS12Data(bytesOf(pPFX)); rc != 0) {
            if (rc == PPKCS12::kMacMismatch) return call.fail(QELT_ERR_PRIKEY_PASSWORD, "비밀번호를 확인하세요."_cp949);
            return call.failCore(QELT_ERR_PFX_PROCESS, kProcessFailed, pkcs12);
        }
        if (pkcs12.getPairCount() > 2)
            return call.fail(QELT_ERR_PFX_PROCESS,
                             "인증서와 개인키 쌍이 2개를 초과하는 PFX는 처리할 수 없습니다."_cp949);
        // Sort first, write after: a refused pair leaves every output untouched.
        ByteString keys[2], certs[2];
        const ByteString* slots[2][2] = {{nullptr, nullptr}, {nullptr, nullptr}};  // [slot][cert, key]
        for (int i = 0; i < pkcs12.getPairCount(); ++i) {
            if (pkcs12.getKeyAndCert(i, keys[i], certs[i]) != 0)
                return call.failCore(QELT_ERR_PFX_PROCESS, kProcessFailed, pkcs12);
            const Slot slot = slotOf(certs[i]);
            if (slot == Slot::Neither)
                return call.fail(QELT_ERR_PFX_PROCESS, "서명용 또는 키분배용이 아닌 인증서가 포함되어있습니다."_cp949);
            const int s = slot == Slot::Signing ? 0 : 1;
            slots[s][0] = &certs[i];  // a later pair of the same kind wins
            slots[s][1] = &keys[i];
        }
        if (slots[0][0] != nullptr) {
            if (const int rc = putImported(call, pSignCert, *slots[0][0], "ORBX_BINSTR_SetData : pSignCert")) return rc;
            if (const int rc = putImported(call, pSignPriKey, *slots[0][1], "ORBX_BINSTR_SetData : pSignPriKey"))
                return rc;
        }
        if (slots[1][0] != nullptr) {
            if (const int rc = putImported(call, pKmCert, *slots[1][0], "ORBX_BINSTR_SetData : pKmCert")) return rc;
            if (const int rc = putImported(call, pKmPriKey, *slots[1][1], "ORBX_BINSTR_SetData : pKmPriKey")) return rc;
        }
        return QELT_OK;
    });
}
