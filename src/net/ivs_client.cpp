#include "net/ivs_client.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PPublicKey.h"
#include "api/cms_key_usage.h"
#include "net/http_client.h"
#include "net/ldap_directory.h"
#include "net/ldap_url.h"
#include "qeltapi.h"
#include "util/base64.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"
#include "util/profile.h"

namespace qelt::ivs {

namespace {

constexpr const char* kSection = "IVS";
constexpr int kNonceLength = 20;
constexpr int kDefaultTimeOut = 600;
constexpr int kMaxConfigValue = 1024;
constexpr int kDefaultLdapTimeOut = 10;

struct CertKind {
    const char* cacheName;
    const char* attribute;
    int code;
    const char* failed;  // "...획득 실패(%s?%s)"
    const char* detail;  // "...획득(%s?%s) - %s"
};
const CertKind kKeyManagement{"IVS_KmCert.der", "usercertificate", QELT_ERR_IVS_KM_CERT,
                              "통합검증서버 키분배용 인증서 획득 실패(%s?%s)"_cp949,
                              "통합검증서버 키분배용 인증서 획득(%s?%s) - %s"_cp949};
const CertKind kSigning{"IVS_SignCert.der", "signcertificate", QELT_ERR_IVS_SIGN_CERT,
                        "통합검증서버의 서명용 인증서 획득 실패(%s?%s)"_cp949,
                        "통합검증서버의 서명용 인증서 획득(%s?%s) - %s"_cp949};
const CertKind& kindOf(ServerCert which) { return which == ServerCert::KeyManagement ? kKeyManagement : kSigning; }

int base64(const ByteString& data, ByteString& text, Failure& failure) {
    if (base64Encode(data, text) != 0) return failure.set(QELT_ERR_BASE64_ENCODE, "BASE64 인코딩 실패"_cp949);
    return 0;
}

// Replaces `path` by `data` through a file beside it, so that a failed write
// never leaves half a certificate in the cache.
bool writeCacheFile(const std::string& path, const ByteString& data) {
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    if (writeWholeFile(temp.c_str(), data) != WriteFileResult::Ok) {
        std::remove(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string Client::cachePath(ServerCert which) const { return m_workDir + "/cache/IVS/" + kindOf(which).cacheName; }

int Client::loadConfig(const char* path, Failure& failure) {
    Profile profile;
    char value[kMaxConfigValue];
    if (profile.setPath(path) != Profile::kPathOk)
        return failure.set(QELT_ERR_CONF_READ, "환경파일을 읽는데 실패하였습니다."_cp949);
    if (profile.getString(kSection, "IP", value, sizeof value, "") == 0)
        return failure.set(QELT_ERR_IVS_NO_IP, "환경파일에 통합검증서버의 IP 정보를 지정하세요."_cp949);
    m_ip = value;
    m_port = profile.getInt(kSection, "PORT", 0);
    if (m_port < 1 || m_port > 65535)
        return failure.set(QELT_ERR_IVS_NO_PORT, "환경파일에 통합검증서버의 Port 정보를 지정하세요."_cp949);
    if (profile.getString(kSection, "SVR_KM_CERT_URL", value, sizeof value, "") == 0)
        return failure.set(QELT_ERR_IVS_NO_CERT_LOCATION,
                           "환경파일에 통합검증서버의 인증서가 게시되어있는 위치를 지정하세요."_cp949);
    m_certUrl = value;
    // The directory is searched with the context's LDAP time-out, or the one
    // of this configuration file while the context has none.
    m_ldapTimeOut =
        m_ldapContextTimeOut > 0 ? m_ldapContextTimeOut : profile.getInt("LDAP", "LDAP_TIME_OUT", kDefaultLdapTimeOut);
    if (m_ldapTimeOut < 1) m_ldapTimeOut = kDefaultLdapTimeOut;
    if (m_timeOut == 0) {
        const int t = profile.getInt(kSection, "TIME_OUT", 0);
        m_timeOut = t < 1 ? kDefaultTimeOut : t;
    }
    return 0;
}

int Client::serverCertificate(ServerCert which, int pass, ByteString& cert, Failure& failure, bool* fromCache) {
    const std::string path = cachePath(which);
    if (fromCache != nullptr) *fromCache = false;
    if (pass == 0 && readWholeFile(path.c_str(), cert) == ReadFileResult::Ok && !cert.isEmpty()) {
        if (fromCache != nullptr) *fromCache = true;
        return 0;
    }
    if (const int rc = fetchFromDirectory(which, cert, failure)) return rc;
    if (!writeCacheFile(path, cert))
        return failure.set(QELT_ERR_STORAGE_WRITE_CERT,
                           "통합검증서버 인증서를 캐쉬에 저장하는데 실패하였습니다."_cp949);
    return 0;
}

int Client::trustedSigner(const ByteString& presented, const ByteString* given, ByteString& trusted, Failure& failure) {
    constexpr auto kUntrusted = "통합검증 서버의 서명용 인증서를 선뢰할 수 없습니다."_cp949;
    if (given != nullptr) {
        trusted.assign(*given);
        return presented == trusted ? 0 : failure.set(QELT_ERR_IVS_SIGN_CERT_UNTRUSTED, kUntrusted);
    }
    // The cached certificate first; when the answer was signed under another
    // one, the directory's once more (unless it was just read from there).
    bool fromCache = false;
    if (const int rc = serverCertificate(ServerCert::Signing, 0, trusted, failure, &fromCache)) return rc;
    if (presented == trusted) return 0;
    if (fromCache) {
        if (const int rc = serverCertificate(ServerCert::Signing, 1, trusted, failure)) return rc;
        if (presented == trusted) return 0;
    }
    return failure.set(QELT_ERR_IVS_SIGN_CERT_UNTRUSTED, kUntrusted);
}

int Client::ask(MessageType type, RequestFields& fields, const ByteString* signCert, Failure& failure) {
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y%m%d%H%M%S", &local);
    fields.generateDate.assign(date);
    ZRRandom rng;
    ByteString nonce;
    if (rng.GenerateRandom(ALG_RANDOM, kNonceLength, nonce) != 0)
        return failure.setCore(QELT_ERR_RANDOM, "랜덤값을 생성하는데 실패하였습니다."_cp949, rng);
    if (const int rc = base64(nonce, fields.nonce, failure)) return rc;
    ByteString xml;
    if (const int rc = makeRequest(type, fields, xml, failure)) return rc;

    HttpClient http;
    http.setTimeout(m_timeOut);
    ByteString body;
    HttpClient::Stage stage = HttpClient::Stage::None;
    const int rc = http.exchange(m_ip.c_str(), m_port, makeHttpRequest(m_ip.c_str(), m_port, xml), "\n", body, stage);
    if (rc != 0) {
        switch (stage) {
            case HttpClient::Stage::Connect:
                return failure.setf(QELT_ERR_IVS_CONNECT,
                                    "통합검증서버(IP : %s, Port : %d)에 접속하는데 실패하였습니다. (%s)"_cp949,
                                    m_ip.c_str(), m_port, http.errorText());
            case HttpClient::Stage::Send:
                return failure.setf(QELT_ERR_IVS_SEND, "통합검증서버에 요청 메시지 전송을 실패하였습니다. (%s)"_cp949,
                                    http.errorText());
            default:
                if (rc == HttpClient::kTimedOut)
                    return failure.setf(QELT_ERR_SERVER_TIMEOUT, "%s의 응답메시지 수신 실패(%s)"_cp949,
                                        "통합검증서버"_cp949, http.errorText());
                return failure.setf(QELT_ERR_IVS_RECV,
                                    "통합검증서버에서 응답 메시지를 받는데 실패하였습니다. (%s)"_cp949,
                                    http.errorText());
        }
    }

    Response response;
    if (const int r = response.read(body.view(), type, fields.nonce, failure)) return r;
    ByteString trusted;
    if (const int r = trustedSigner(response.certificate(), signCert, trusted, failure)) return r;
    if (const int r = response.verifySignature(trusted, failure)) return r;
    return response.result(failure);
}

int Client::verifyCertificate(const ByteString& cert, const ByteString& myCert, const ByteString* signCert,
                              Failure& failure) {
    RequestFields fields;
    if (const int rc = base64(myCert, fields.requestCert, failure)) return rc;
    if (const int rc = base64(cert, fields.destination, failure)) return rc;
    return ask(MessageType::CertificateValidation, fields, signCert, failure);
}

int Client::verifyIdentity(const ByteString& cert, const ByteString& myCert, const char* idn, const ByteString* kmCert,
                           const ByteString* signCert, Failure& failure) {
    ByteString km;
    if (kmCert != nullptr)
        km.assign(*kmCert);
    else if (const int rc = serverCertificate(ServerCert::KeyManagement, 0, km, failure))
        return rc;
    PPublicKey key;
    ByteString encrypted;
    if (key.encryptWithCert(km, ByteString(idn), encrypted, false) != 0) {
        if (key.failure() == PPublicKey::Failure::NotCertificate)
            return failure.setCore(QELT_ERR_CERT_NOT_CERT, "잘못된 통합검증서버 인증서입니다."_cp949, key);
        return failure.setCore(QELT_ERR_ENCRYPT, "데이터를 암호화하는데 실패하였습니다."_cp949, key);
    }
    RequestFields fields;
    if (const int rc = base64(encrypted, fields.cipherValue, failure)) return rc;
    if (const int rc = base64(myCert, fields.requestCert, failure)) return rc;
    if (const int rc = base64(cert, fields.destination, failure)) return rc;
    return ask(MessageType::IdentityVerification, fields, signCert, failure);
}

int Client::fetchFromDirectory(ServerCert which, ByteString& cert, Failure& failure) {
    const CertKind& kind = kindOf(which);
    const char* url = m_certUrl.c_str();
    ParsedUrl parsed;
    ServiceFailure lower;
    DirectoryAnswer answer;
    int rc = parseURL(url, UrlProtocol::Ldap, parsed, lower);
    if (rc == 0)
        rc = getDirectoryData(parsed.host, parsed.port, ByteString(parsed.path.c_str()), kind.attribute, m_ldapTimeOut,
                              false, answer, lower);
    if (rc == 0) {
        // The entry may publish several certificates: the first one whose key
        // usage fits the purpose is the server's.
        const api::KeyUse use = which == ServerCert::KeyManagement ? api::KeyUse::Encryption : api::KeyUse::Signing;
        std::string refusal;
        ByteString detail;
        for (const ByteString& value : answer.values) {
            if (api::cmsKeyUsageProblem(value, use, refusal, detail) == QELT_OK) {
                cert.assign(value);
                return 0;
            }
        }
        lower.set(QELT_ERR_LDAP_NO_ATTRIBUTE,
                  refusal.empty() ? "찾고자 하는 데이터가 해당 엔트리에 존재하지 않습니다."_cp949 : refusal.c_str());
    }
    if (lower.message.isEmpty()) return failure.setf(kind.code, kind.failed, url, kind.attribute);
    failure.setf(kind.code, kind.detail, url, kind.attribute, lower.message.c_str());
    failure.kind = lower.kind;
    failure.libCode = lower.libCode;
    failure.libText = lower.libText;
    return kind.code;
}

}  // namespace qelt::ivs
