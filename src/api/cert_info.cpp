// The QELT_CERT_ information family: load one certificate into the context,
// read its fields as display texts, and the remaining-days check.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRProcess/PAuthKeyIdentUtil.h"
#include "ZRProcess/PAuthorityInfoAccess.h"
#include "ZRProcess/PCRLDistPointsUtil.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCertUtil2.h"
#include "ZRProcess/PExtKeyUsageUtil.h"
#include "ZRProcess/PPolicyUtil.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/PSubAltNameUtil.h"
#include "api/api_call.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr int kSecondsPerDay = 86400;
// Certificate times are 64-bit inside the library and reach callers as time_t.
static_assert(sizeof(time_t) == 8, "certificate times past 2038 need a 64-bit time_t");

const char* invalidCertText() { return "잘못된 인증서 입니다."_cp949; }

// Runs a getter body once a certificate is loaded and the output pointer is there.
template <class Out, class Body>
int withLoadedCert(void* pCtx, const char* function, Out* out, const char* outName, Body&& body) {
    return api::run(pCtx, function, [&](ApiCall& call) {
        PCertUtil* cert = call.ctx().pLoadedCert;
        if (cert == nullptr) return call.fail(QELT_ERR_CERT_NOT_LOADED, "인증서가 로드되어있지 않습니다."_cp949);
        if (out == nullptr) return call.nullOutput(outName);
        return body(call, *cert);
    });
}

// A failed getter of the certificate object: 1202 with the field's message
// when the extension is absent, otherwise 1200 with the object's chain.
int fieldFailure(ApiCall& call, const ErrorHolder& object, const char* absentMessage) {
    if (object.errorCode() == PCertUtil::kAbsent && absentMessage != nullptr)
        return call.fail(QELT_ERR_CERT_FIELD_ABSENT, absentMessage);
    return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), object);
}

// An extension value through a formatter: Parse is the formatter's parse
// method, whose result() is the text.
template <class Formatter>
int formattedExtension(ApiCall& call, PCertUtil& cert, const ByteString& (PCertUtil::*getter)(),
                       int (Formatter::*parse)(const ByteString&), const char* absentMessage, int nBufLen, char* buf,
                       const char* outName) {
    const ByteString& value = (cert.*getter)();
    if (cert.errorCode() != 0) return fieldFailure(call, cert, absentMessage);
    Formatter formatter;
    if ((formatter.*parse)(value) != 0) return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), formatter);
    return call.putText(formatter.result().view(), nBufLen, buf, outName);
}

// "%Y-%m-%d %H:%M:%S" in the machine's local time.
ByteString localTimeText(int64_t t) {
    const time_t tt = t;
    struct tm local {};
    localtime_r(&tt, &local);
    char text[32] = {0};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return ByteString(text);
}

// ---- key size of a SubjectPublicKeyInfo
//
// The key's algorithm code decides the size text: RSA by its modulus length,
// KCDSA by the length of its public value y, EC by its named curve; the
// refusals are those of the public-key class (DSA, DH, EC-KCDSA, curves other
// than the three WTLS curves, odd RSA sizes).

const char* keySizeText(int algorithm) {
    switch (algorithm) {
        case 37:
        case 47:
        case 61:
        case 65:
            return "1024 Bits";
        case 38:
        case 48:
        case 62:
        case 66:
            return "2048 Bits";
        case 72:
            return "WTLS 3";
        case 73:
            return "WTLS 5";
        case 74:
            return "WTLS 7";
        default:
            return "UNKNOWN";
    }
}

}  // namespace

QELT_EXPORT int QELT_CERT_Load(void* pCtx, BINSTR* pCert) {
    return api::run(pCtx, "QELT_CERT_Load", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        ApiContext& ctx = call.ctx();
        delete ctx.pLoadedCert;
        ctx.pLoadedCert = new (std::nothrow) PCertUtil();
        if (ctx.pLoadedCert == nullptr) return call.noMemory("pCtx->pLoadedCert");
        // The object stays loaded even when the bytes are refused: later getters report its error again.
        const int rc =
            ctx.pLoadedCert->parseCertificate(std::span<const uint8_t>(pCert->pVal, static_cast<size_t>(pCert->nLen)));
        if (rc == PCertUtil::kNotCertificate)
            return call.failCore(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949, *ctx.pLoadedCert);
        if (rc != 0) return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), *ctx.pLoadedCert);
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_Unload(void* pCtx) {
    return api::run(pCtx, "QELT_CERT_Unload", [&](ApiCall& call) {
        delete call.ctx().pLoadedCert;
        call.ctx().pLoadedCert = nullptr;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_GetUID(void* pCtx, int nBufLen, char* pszUID) {
    return withLoadedCert(pCtx, "QELT_CERT_GetUID", pszUID, "pszUID", [&](ApiCall& call, PCertUtil& cert) {
        const ByteString& subject = cert.getSubjectDN();
        if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
        // The value of the first attribute: between the first "=" and the next ",".
        const std::string_view text = subject.view();
        const size_t eq = text.find('=');
        std::string_view uid = text.substr(0, 0);  // empty, but never a null pointer
        if (eq != std::string_view::npos) {
            const size_t comma = text.find(',', eq);
            uid = text.substr(eq + 1, comma == std::string_view::npos ? std::string_view::npos : comma - eq - 1);
        }
        return call.putText(uid, nBufLen, pszUID, "pszUID");
    });
}

QELT_EXPORT int QELT_CERT_GetVersion(void* pCtx, int* pVersion) {
    return withLoadedCert(pCtx, "QELT_CERT_GetVersion", pVersion, "pVersion", [&](ApiCall& call, PCertUtil& cert) {
        int version = 0;
        if (cert.getVersion(version) != 0) return fieldFailure(call, cert, nullptr);
        *pVersion = version + 1;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_GetSerialNum(void* pCtx, int nBufLen, char* pszSerialNum) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSerialNum", pszSerialNum, "pszSerialNum",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& serial = cert.getSerialNumber(0);
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              return call.putText(serial.toHex().view(), nBufLen, pszSerialNum, "pszSerialNum");
                          });
}

QELT_EXPORT int QELT_CERT_GetSerialNum2(void* pCtx, BINSTR* pSerialNum) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSerialNum2", pSerialNum, "pSerialNum",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& serial = cert.getSerialNumber(1);
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              return call.putBytes(pSerialNum, serial, "SerialNum");
                          });
}

QELT_EXPORT int QELT_CERT_GetSignatureAlgorithm(void* pCtx, int nBufLen, char* pszSignAlg) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSignatureAlgorithm", pszSignAlg, "pszSignAlg",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& name = cert.getCertSignatureAlgorithmValue();
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              return call.putText(name.view(), nBufLen, pszSignAlg, "pszSignAlg");
                          });
}

QELT_EXPORT int QELT_CERT_GetIssuerName(void* pCtx, int nBufLen, char* pszIssuerName) {
    return withLoadedCert(pCtx, "QELT_CERT_GetIssuerName", pszIssuerName, "pszIssuerName",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& name = cert.getIssuerDN();
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              return call.putText(name.view(), nBufLen, pszIssuerName, "pszIssuerName");
                          });
}

QELT_EXPORT int QELT_CERT_GetSubjectName(void* pCtx, int nBufLen, char* pszSubjectName) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSubjectName", pszSubjectName, "pszSubjectName",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& name = cert.getSubjectDN();
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              return call.putText(name.view(), nBufLen, pszSubjectName, "pszSubjectName");
                          });
}

QELT_EXPORT int QELT_CERT_GetNotBefore(void* pCtx, time_t* pTime) {
    return withLoadedCert(pCtx, "QELT_CERT_GetNotBefore", pTime, "pTime", [&](ApiCall& call, PCertUtil& cert) {
        int64_t t = 0;
        if (cert.getNotBefore(t) != 0) return fieldFailure(call, cert, nullptr);
        *pTime = t;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_GetNotAfter(void* pCtx, time_t* pTime) {
    return withLoadedCert(pCtx, "QELT_CERT_GetNotAfter", pTime, "pTime", [&](ApiCall& call, PCertUtil& cert) {
        int64_t t = 0;
        if (cert.getNotAfter(t) != 0) return fieldFailure(call, cert, nullptr);
        *pTime = t;
        return QELT_OK;
    });
}

QELT_EXPORT int QELT_CERT_GetValidity(void* pCtx, int nBufLen, char* pszValidity) {
    return withLoadedCert(pCtx, "QELT_CERT_GetValidity", pszValidity, "pszValidity",
                          [&](ApiCall& call, PCertUtil& cert) {
                              int64_t notBefore = 0, notAfter = 0;
                              if (cert.getNotBefore(notBefore) != 0 || cert.getNotAfter(notAfter) != 0)
                                  return fieldFailure(call, cert, nullptr);
                              ByteString text = localTimeText(notBefore);
                              text.append(" ~ ");
                              text.append(localTimeText(notAfter));
                              return call.putText(text.view(), nBufLen, pszValidity, "pszValidity");
                          });
}

QELT_EXPORT int QELT_CERT_GetPubKeyAlg(void* pCtx, int nBufLen, char* pszAlg) {
    return withLoadedCert(pCtx, "QELT_CERT_GetPubKeyAlg", pszAlg, "pszAlg", [&](ApiCall& call, PCertUtil& cert) {
        const ByteString& name = cert.getSubjectPublicKeyAlgorithm();
        if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
        return call.putText(name.view(), nBufLen, pszAlg, "pszAlg");
    });
}

QELT_EXPORT int QELT_CERT_GetPubKeyLen(void* pCtx, int nBufLen, char* pszLen) {
    return withLoadedCert(pCtx, "QELT_CERT_GetPubKeyLen", pszLen, "pszLen", [&](ApiCall& call, PCertUtil& cert) {
        const RCertificate* decoded = cert.certificate();
        if (decoded == nullptr) {
            cert.getSubjectPublicKey();  // records the object's own error
            return fieldFailure(call, cert, nullptr);
        }
        // The key class names the key by its algorithm code (encryption codes for RSA).
        PPublicKey key;
        int algorithm = 0;
        ByteString engineKey;
        if (key.setPublicKeyInfo(cert.getSubjectPublicKeyInfo()) != 0 ||
            key.GetPublicKeyAlgorithm(0, false, algorithm, engineKey) != 0)
            return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), key);
        return call.putText(keySizeText(algorithm), nBufLen, pszLen, "pszLen");
    });
}

QELT_EXPORT int QELT_CERT_GetSubjectPubKeyInfo(void* pCtx, char* pszKeyAlg, BINSTR* pPubKeyInfo) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSubjectPubKeyInfo", pszKeyAlg, "pszKeyAlg",
                          [&](ApiCall& call, PCertUtil& cert) {
                              if (pPubKeyInfo == nullptr) return call.nullOutput("pPubKeyInfo");
                              const ByteString name = cert.getSubjectPublicKeyAlgorithm();
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              const ByteString& spki = cert.getSubjectPublicKeyInfo();
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              if (const int rc = call.putBytes(pPubKeyInfo, spki, "PubKeyInfo")) return rc;
                              // The caller's buffer holds 50 bytes: at most 49 characters and a NUL.
                              constexpr size_t kAlgBuffer = 50;
                              pszKeyAlg[kAlgBuffer - 2] = 0;
                              pszKeyAlg[kAlgBuffer - 1] = 0;
                              const size_t n = std::min<size_t>(static_cast<size_t>(name.length()), kAlgBuffer - 1);
                              std::memcpy(pszKeyAlg, name.data(), n);
                              pszKeyAlg[n] = 0;
                              return QELT_OK;
                          });
}

QELT_EXPORT int QELT_CERT_GetPubKey(void* pCtx, int nBufLen, char* pszPubKey) {
    return withLoadedCert(pCtx, "QELT_CERT_GetPubKey", pszPubKey, "pszPubKey", [&](ApiCall& call, PCertUtil& cert) {
        const ByteString& key = cert.getSubjectPublicKey();
        if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
        return call.putText(key.toHex().view(), nBufLen, pszPubKey, "pszPubKey");
    });
}

QELT_EXPORT int QELT_CERT_GetSignature(void* pCtx, int nBufLen, char* pszSignature) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSignature", pszSignature, "pszSignature",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& sig = cert.getCertSignatureValue();
                              if (cert.errorCode() != 0) return fieldFailure(call, cert, nullptr);
                              return call.putText(sig.toHex().view(), nBufLen, pszSignature, "pszSignature");
                          });
}

QELT_EXPORT int QELT_CERT_GetKeyUsage(void* pCtx, int nBufLen, char* pszKeyUsage) {
    return withLoadedCert(
        pCtx, "QELT_CERT_GetKeyUsage", pszKeyUsage, "pszKeyUsage", [&](ApiCall& call, PCertUtil& cert) {
            const ByteString& bits = cert.get_KeyUsage_value();
            if (cert.errorCode() != 0) return fieldFailure(call, cert, "키 용도 필드가 없습니다."_cp949);
            static constexpr const char* kNames[] = {"digitalSignature", "nonRepudiation", "keyEncipherment",
                                                     "dataEncipherment", "keyAgreement",   "keyCertSign",
                                                     "crlSign",          "encipherOnly"};
            ByteString text;
            if (bits.length() > 0) {
                for (int i = 0; i < 8; ++i) {
                    if ((bits.data()[0] & (0x80 >> i)) == 0) continue;
                    text.append(kNames[i]);
                    text.append(", ");
                }
            }
            if (bits.length() > 1 && (bits.data()[1] & 0x80) != 0) text.append("decipherOnly, ");
            const std::string_view shown = text.view().substr(0, text.length() >= 2 ? text.length() - 2 : 0);
            return call.putText(shown, nBufLen, pszKeyUsage, "pszKeyUsage");
        });
}

QELT_EXPORT int QELT_CERT_GetBasicConstraints(void* pCtx, int nBufLen, char* pszBasicConstraints) {
    return withLoadedCert(pCtx, "QELT_CERT_GetBasicConstraints", pszBasicConstraints, "pszBasicConstraints",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const char* absent = "기본 제한 필드가 없습니다."_cp949;
                              int isCA = 0, pathLen = 0;
                              if (cert.getBasicConstraints_cA(isCA) != 0) return fieldFailure(call, cert, absent);
                              const int rc = cert.getBasicConstraints_pathLenConstraint(pathLen);
                              if (rc != 0 && rc != PCertUtil::kAbsent) return fieldFailure(call, cert, absent);
                              ByteString text;
                              if (rc == 0)
                                  text.format("CA : %s, PathLenConstraint : %d", isCA ? "TRUE" : "FALSE", pathLen);
                              else
                                  text.format("CA : %s", isCA ? "TRUE" : "FALSE");
                              return call.putText(text.view(), nBufLen, pszBasicConstraints, "pszBasicConstraints");
                          });
}

QELT_EXPORT int QELT_CERT_GetCertPolicy(void* pCtx, int nBufLen, char* pszCertPolicy) {
    return withLoadedCert(
        pCtx, "QELT_CERT_GetCertPolicy", pszCertPolicy, "pszCertPolicy", [&](ApiCall& call, PCertUtil& cert) {
            return formattedExtension(call, cert, &PCertUtil::getCertPolicy, &PPolicyUtil::parseCertificatePolicies,
                                      "인증서 정책 필드가 없습니다."_cp949, nBufLen, pszCertPolicy, "pszCertPolicy");
        });
}

QELT_EXPORT int QELT_CERT_GetCertPolicyID(void* pCtx, int nBufLen, char* pszCertPolicyID) {
    return withLoadedCert(pCtx, "QELT_CERT_GetCertPolicyID", pszCertPolicyID, "pszCertPolicyID",
                          [&](ApiCall& call, PCertUtil& cert) {
                              const ByteString& value = cert.getCertPolicy();
                              if (cert.errorCode() != 0)
                                  return fieldFailure(call, cert, "인증서 정책 필드가 없습니다."_cp949);
                              PPolicyUtil policies;
                              if (policies.parseCertificatePolicies(value) != 0)
                                  return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), policies);
                              ByteString text;
                              for (const ByteString& id : policies.getPolicyIdentifiers()) {
                                  if (!text.isEmpty()) text.append(", ");
                                  text.append(id);
                              }
                              return call.putText(text.view(), nBufLen, pszCertPolicyID, "pszCertPolicyID");
                          });
}

QELT_EXPORT int QELT_CERT_GetExtKeyUsage(void* pCtx, int nBufLen, char* pszExtKeyUsage) {
    return withLoadedCert(
        pCtx, "QELT_CERT_GetExtKeyUsage", pszExtKeyUsage, "pszExtKeyUsage", [&](ApiCall& call, PCertUtil& cert) {
            return formattedExtension(call, cert, &PCertUtil::getExtendedKeyUsage, &PExtKeyUsageUtil::parseExtKeyUsage,
                                      "확장 키 용도 필드가 없습니다."_cp949, nBufLen, pszExtKeyUsage, "pszExtKeyUsage");
        });
}

QELT_EXPORT int QELT_CERT_GetSubjectAltName(void* pCtx, int nBufLen, char* pszSubAltName) {
    return withLoadedCert(
        pCtx, "QELT_CERT_GetSubjectAltName", pszSubAltName, "pszSubAltName", [&](ApiCall& call, PCertUtil& cert) {
            return formattedExtension(call, cert, &PCertUtil::getSubjectAltNames,
                                      &PSubAltNameUtil::parseSubjectAlternativeName,
                                      "주체 대체 이름 필드가 없습니다."_cp949, nBufLen, pszSubAltName, "pszSubAltName");
        });
}

QELT_EXPORT int QELT_CERT_GetAuthKeyID(void* pCtx, int nBufLen, char* pszAKI) {
    return withLoadedCert(pCtx, "QELT_CERT_GetAuthKeyID", pszAKI, "pszAKI", [&](ApiCall& call, PCertUtil& cert) {
        return formattedExtension(call, cert, &PCertUtil::getAuthorityKeyIdentifier,
                                  &PAuthKeyIdentUtil::parseAuthorityKeyIdentifer,
                                  "기관키 식별자 필드가 없습니다."_cp949, nBufLen, pszAKI, "pszAKI");
    });
}

QELT_EXPORT int QELT_CERT_GetSubKeyID(void* pCtx, int nBufLen, char* pszSKI) {
    return withLoadedCert(pCtx, "QELT_CERT_GetSubKeyID", pszSKI, "pszSKI", [&](ApiCall& call, PCertUtil& cert) {
        const ByteString& keyId = cert.get_SubjectKeyIdentifier_value();
        if (cert.errorCode() != 0) return fieldFailure(call, cert, "주체키 식별자 필드가 없습니다."_cp949);
        return call.putText(keyId.toHex().view(), nBufLen, pszSKI, "pszSKI");
    });
}

QELT_EXPORT int QELT_CERT_GetCRLDP(void* pCtx, int nBufLen, char* pszCRLDP) {
    return withLoadedCert(pCtx, "QELT_CERT_GetCRLDP", pszCRLDP, "pszCRLDP", [&](ApiCall& call, PCertUtil& cert) {
        return formattedExtension(call, cert, &PCertUtil::getCRLDistributionPoints,
                                  &PCRLDistPointsUtil::parseCRLDistributionPoint,
                                  "CRL 배포 지점 필드가 없습니다."_cp949, nBufLen, pszCRLDP, "pszCRLDP");
    });
}

QELT_EXPORT int QELT_CERT_GetAIA(void* pCtx, int nBufLen, char* pszAIA) {
    return withLoadedCert(pCtx, "QELT_CERT_GetAIA", pszAIA, "pszAIA", [&](ApiCall& call, PCertUtil& cert) {
        return formattedExtension(call, cert, &PCertUtil::getAuthorityInformationAccess,
                                  &PAuthorityInfoAccess::parseAuthorityInfoAccess,
                                  "기관 정보 액세스(AIA) 필드가 없습니다."_cp949, nBufLen, pszAIA, "pszAIA");
    });
}

QELT_EXPORT int QELT_CERT_GetRemainDays(void* pCtx, BINSTR* pCert, int* pRemainDays) {
    return api::run(pCtx, "QELT_CERT_GetRemainDays", [&](ApiCall& call) {
        if (!hasBytes(pCert)) return call.invalid("인증서(pCert)를 지정해 주세요."_cp949);
        if (pRemainDays == nullptr) return call.nullOutput("pRemainDays");
        const int threshold = *pRemainDays;
        if (threshold < 0) return call.invalid("pRemainDays의 값이 0보다 작습니다."_cp949);

        PCertUtil2 cert;
        const int rc = cert.parse(std::span<const uint8_t>(pCert->pVal, static_cast<size_t>(pCert->nLen)));
        if (rc == PCertUtil2::kNotCertificate)
            return call.failCore(QELT_ERR_CERT_NOT_CERT, "인증서가 아닙니다."_cp949, cert);
        if (rc != 0) return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), cert);
        int64_t notAfter = 0;
        if (cert.getNotAfter(notAfter) != 0) return call.failCore(QELT_ERR_CERT_INVALID, invalidCertText(), cert);

        const int64_t remaining = notAfter - static_cast<int64_t>(std::time(nullptr));
        if (remaining < 1) return call.fail(QELT_ERR_CERT_EXPIRED, "유효기간이 만료된 인증서 입니다."_cp949);
        // Days fit an int for every time a certificate can name (year 9999).
        const int days = static_cast<int>((remaining + kSecondsPerDay - 1) / kSecondsPerDay);
        *pRemainDays = days;
        if (days >= threshold) return QELT_OK;

        const time_t expiry = notAfter;
        struct tm local {};
        localtime_r(&expiry, &local);
        ByteString message;
        message.format(
            "인증서 유효기간 만료일이 %d년 %d월 %d일입니다. 유효기간이 %d일이 남았으므로 만료일 이전에 갱신하도록 하십시오."_cp949,
            local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, days);
        // This warning is addressed to the user and carries no function label.
        RecordError(&call.ctx(), QELT_ERR_CERT_RENEWAL_DUE, static_cast<int>(ErrKind::Frame), nullptr, message.c_str(),
                    nullptr, 0, nullptr);
        return QELT_ERR_CERT_RENEWAL_DUE;
    });
}
