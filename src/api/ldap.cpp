// QELT_LDAP_*: reading certificates, CRLs and trust lists from LDAP
// directories, and building a certificate's CA bundle from them.
#include <algorithm>
#include <cstring>

#include "ZRProcess/PCertUtil.h"
#include "api/api_call.h"
#include "api/cert_verify_common.h"
#include "api/cert_verify_crl.h"
#include "api/cert_verify_failure.h"
#include "api/cms_key_usage.h"
#include "net/ldap_config.h"
#include "net/ldap_directory.h"
#include "net/ldap_path_builder.h"
#include "net/ldap_url.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr int kDnBufferSize = 1024;

// What each data type reads and which values it accepts.
struct DataType {
    int type;
    const char* attribute;
    bool keyUsageFilter;
    api::KeyUse use;
};
constexpr DataType kDataTypes[] = {
    {1, "cacertificate", false, api::KeyUse::Signing},
    {2, "signcertificate", true, api::KeyUse::Signing},
    {3, "usercertificate", true, api::KeyUse::Encryption},
    {5, "authorityrevocationlist", false, api::KeyUse::Signing},
    {6, "certificaterevocationlist", false, api::KeyUse::Signing},
    {7, "deltaRevocationList", false, api::KeyUse::Signing},
    {8, "certificatetrustlist", false, api::KeyUse::Signing},
    {9, "wusercertificate", false, api::KeyUse::Signing},
};

const DataType* dataType(int type) {
    for (const DataType& t : kDataTypes)
        if (t.type == type) return &t;
    return nullptr;
}

int unsupportedType(ApiCall& call) {
    return call.fail(QELT_ERR_UNSUPPORTED_TYPE, "지원되지 않는 데이터 타입입니다."_cp949);
}

// The value a data type hands out: the first one, or for the signing and
// encryption types the first certificate whose key usage fits. When no value
// fits, the last refusal is recorded.
int putTypedValue(ApiCall& call, const DataType& type, const std::vector<ByteString>& values, BINSTR* out) {
    if (!type.keyUsageFilter) return call.putBytes(out, values.front(), "pData");
    int code = QELT_ERR_LDAP_NO_ATTRIBUTE;
    std::string message = "찾고자 하는 데이터가 해당 엔트리에 존재하지 않습니다."_cp949;
    ByteString detail;
    for (const ByteString& value : values) {
        detail.clear();
        code = api::cmsKeyUsageProblem(value, type.use, message, detail);
        if (code == QELT_OK) return call.putBytes(out, value, "pData");
    }
    return detail.isEmpty() ? call.fail(code, message.c_str()) : call.failCore(code, message.c_str(), detail.c_str());
}

// Reads one attribute of the entry an LDAP URL names.
int readByUrl(ApiCall& call, const char* url, const char* attribute, DirectoryAnswer& answer) {
    ParsedUrl parsed;
    ServiceFailure failure;
    int rc = parseURL(url, UrlProtocol::Ldap, parsed, failure);
    if (rc == 0)
        rc = getDirectoryData(parsed.host, parsed.port, ByteString(parsed.path.c_str()), attribute,
                              ldapTimeOut(call.ctx()), false, answer, failure);
    if (rc == 0) return 0;
    failure.prepend("%s?%s에서 데이터 획득 실패 - "_cp949, url, attribute);
    return recordFailure(call, failure);
}

}  // namespace

QELT_EXPORT int QELT_LDAP_GetDataByURL(void* pCtx, int nDataType, const char* pszURL, BINSTR* pData) {
    return api::run(pCtx, "QELT_LDAP_GetDataByURL", [&](ApiCall& call) {
        if (!hasText(pszURL)) return call.invalid("획득할 데이터의 게시 위치(pszURL)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        const DataType* type = dataType(nDataType);
        if (type == nullptr) return unsupportedType(call);
        DirectoryAnswer answer;
        if (const int rc = readByUrl(call, pszURL, type->attribute, answer); rc != 0) return rc;
        return putTypedValue(call, *type, answer.values, pData);
    });
}

QELT_EXPORT int QELT_LDAP_GetDataByCN(void* pCtx, const char* pszIP, int nPort, const char* pszCN, int nDataType,
                                      char* pszDN, BINSTR* pData) {
    return api::run(pCtx, "QELT_LDAP_GetDataByCN", [&](ApiCall& call) {
        if (!hasText(pszIP)) return call.invalid("LDAP 디렉토리 IP(pszIP)를 지정해 주세요."_cp949);
        if (nPort <= 0) return call.invalid("LDAP 디렉토리 Port(nPort)를 지정해 주세요."_cp949);
        if (!hasText(pszCN)) return call.invalid("LDAP 디렉토리에서 검색할 CN값(pszCN)을 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        const DataType* type = dataType(nDataType);
        if (type == nullptr) return unsupportedType(call);
        if (pszDN != nullptr) std::memset(pszDN, 0, kDnBufferSize);

        ByteString filter("cn=");
        filter.append(pszCN);
        DirectoryAnswer answer;
        ServiceFailure failure;
        if (getDirectoryData(pszIP, nPort, filter, type->attribute, ldapTimeOut(call.ctx()), true, answer, failure) !=
            0) {
            failure.prepend("%s에 대한 %s 데이터 획득 실패 - "_cp949, filter.c_str(), type->attribute);
            return recordFailure(call, failure);
        }
        if (pszDN != nullptr) {
            const int n = std::min(answer.entryDN.length(), kDnBufferSize - 1);
            std::memcpy(pszDN, answer.entryDN.data(), static_cast<size_t>(n));
        }
        return putTypedValue(call, *type, answer.values, pData);
    });
}

QELT_EXPORT int QELT_LDAP_GetAnyDataByURL(void* pCtx, const char* pszAttribute, const char* pszURL, BINSTR* pData) {
    return api::run(pCtx, "QELT_LDAP_GetAnyDataByURL", [&](ApiCall& call) {
        if (!hasText(pszAttribute)) return call.invalid("획득할 데이터의 속성값(pszAttribute)을 입력해 주세요."_cp949);
        if (!hasText(pszURL)) return call.invalid("획득할 데이터의 게시 위치(pszURL)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        DirectoryAnswer answer;
        if (const int rc = readByUrl(call, pszURL, pszAttribute, answer); rc != 0) return rc;
        return call.putBytes(pData, answer.values.front(), "pData");
    });
}

QELT_EXPORT int QELT_LDAP_GetCRLByCert(void* pCtx, BINSTR* pCert, BINSTR* pCRL) {
    return api::run(pCtx, "QELT_LDAP_GetCRLByCert", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (pCRL == nullptr) return call.nullOutput("pCRL");
        PCertUtil cert;
        if (cert.parseCertificate(bytesOf(pCert)) != 0)
            return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, cert);
        const ByteString dps(cert.getCRLDistributionPoints());
        if (cert.errorCode() != 0)
            return call.fail(QELT_ERR_CERT_NO_CRL_DP, "인증서의 확장필드인 CRL 배포지점 정보가 없습니다."_cp949);
        int isCA = 0;
        if (cert.getBasicConstraints_cA(isCA) != 0) isCA = 0;

        ServiceFailure failure;
        std::vector<ByteString> entries;
        ByteString crl, dn;
        if (distributionPointEntries(dps, cert.certificate()->getTbsCertificate().getIssuer(), entries, failure) != 0 ||
            fetchCRLFromDistributionPoints(directorySettings(call.ctx()), isCA ? kArlAttribute : kCrlAttribute, entries,
                                           crl, dn, failure) != 0)
            return recordFailure(call, failure);
        return call.putBytes(pCRL, crl, "pCRL");
    });
}

QELT_EXPORT int QELT_LDAP_GetCertPath(void* pCtx, BINSTR* pCert, const char* pszConfFilePath, BINSTR* pPath) {
    return api::run(pCtx, "QELT_LDAP_GetCertPath", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (!hasText(pszConfFilePath)) return call.invalid("환경파일 경로(pszConfFilePath)를 지정해 주세요."_cp949);
        if (pPath == nullptr) return call.nullOutput("pPath");
        if (const int rc = storeConfPath(call, pszConfFilePath); rc != 0) return rc;
        ByteString bundle;
        ServiceFailure failure;
        if (buildCertPathFromDirectory(directorySettings(call.ctx()), bytesOf(pCert), bundle, failure) != 0)
            return recordFailure(call, failure);
        return call.putBytes(pPath, bundle, "pPath");
    });
}
