#include "net/ocsp_client.h"

#include <string>

#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "net/ldap_url.h"
#include "net/ocsp_request.h"
#include "net/ocsp_response.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace ocsp {

namespace {

constexpr int kNonceLength = 8;
constexpr const char* kMakeFailed = "OCSP 요청 메시지를 구성하는데 실패하였습니다."_cp949;
constexpr const char* kBadResponse = "잘못된 OCSP 응답 메시지 입니다."_cp949;

struct RefusalReason {
    int status;
    const char* text;
};
constexpr RefusalReason kRefusalReasons[] = {
    {1, "잘못된 요청 메시지 형식 - malformedRequest"_cp949}, {2, "OCSP 서버 내부 에러 - internalError"_cp949},
    {3, "다음에 다시 요청 요망 - tryLater"_cp949},           {5, "요청메시지에 서명 요망 - sigRequired"_cp949},
    {6, "인가된 사용자가 아님 - unauthorized"_cp949},
};

// CRLReason names by value; null where the message names none.
constexpr const char* kReasonNames[] = {
    "unspecified)",          "keyCompromise)", "cACompromise)",  "affiliationChanged)", "superseded)",
    "cessationOfOperation)", nullptr,          "removeFromCRL)", "privilegeWithdrawn)", "aACompromise)",
};
// Index 6 (certificateHold) is answered with 1214 and 7 is unused.
constexpr const char* reasonName(int reason) {
    switch (reason) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            return kReasonNames[reason];
        case 8:
        case 9:
        case 10:
            return kReasonNames[reason - 1];
        default:
            return nullptr;
    }
}

constexpr int kCertificateHold = 6;

// "POST <path> HTTP/1.0" with the DER request as an application/ocsp-request body.
ByteString ocspHttpRequest(const std::string& path, const ByteString& der) {
    ByteString request;
    request.append("POST ");
    if (path.empty() || path[0] != '/') request.append("/");
    request.append(path.c_str());
    request.append(" HTTP/1.0\r\n");
    request.append("Content-Type: application/ocsp-request\r\n");
    ByteString length;
    length.format("Content-Length: %d\r\n", der.length());
    request.append(length);
    request.append("\r\n");
    request.append(der);
    return request;
}

int finishRequest(POCSPReq& req, bool sign, const ByteString& signerCert, const ByteString& signerKey,
                  ByteString& nonce, ByteString& requestDer, ServiceFailure& failure) {
    ZRRandom rng;
    if (rng.GenerateRandom(ALG_RANDOM, kNonceLength, nonce) != 0)
        return failure.setCore(QELT_ERR_RANDOM, "랜덤값을 생성하는데 실패하였습니다."_cp949, rng);
    if (req.setNonce(nonce) != 0 || req.setAcceptableResponses() != 0)
        return failure.setCore(QELT_ERR_OCSP_MAKE_REQUEST, kMakeFailed, req);
    const int rc = sign ? req.makeSigOcspReq(signerCert, signerKey, requestDer) : req.makeOcspReq(requestDer);
    if (rc == POCSPReq::kNotPrivateKey)
        return failure.setCore(QELT_ERR_PRIKEY_NOT_PRIKEY,
                               "설정한 OCSP 요청자의 개인키 정보가 개인키가 아닙니다."_cp949, req);
    if (rc != 0) return failure.setCore(QELT_ERR_OCSP_MAKE_REQUEST, kMakeFailed, req);
    return 0;
}

}  // namespace

ByteString revokedMessage(int reason) {
    ByteString text("폐지된 인증서입니다. (폐지 사유 : "_cp949);
    if (const char* name = reasonName(reason)) text.append(name);
    return text;
}

int makeOCSPRequest(const ByteString& target, const ByteString* issuerCert, bool sign, const ByteString& signerCert,
                    const ByteString& signerKey, ByteString& nonce, ByteString& requestDer, ServiceFailure& failure) {
    POCSPReq req;
    if (sign && req.setRequestorCert(signerCert) != 0)
        return failure.setCore(QELT_ERR_OCSP_MAKE_REQUEST, kMakeFailed, req);
    if (req.addTargetCertByCert(target, issuerCert) != 0)
        return failure.setCore(QELT_ERR_OCSP_MAKE_REQUEST, kMakeFailed, req);
    return finishRequest(req, sign, signerCert, signerKey, nonce, requestDer, failure);
}

int makeOCSPRequestForList(const ByteString& targetList, bool sign, const ByteString& signerCert,
                           const ByteString& signerKey, ByteString& nonce, ByteString& requestDer,
                           ServiceFailure& failure) {
    POCSPReq req;
    if (sign && req.setRequestorCert(signerCert) != 0)
        return failure.setCore(QELT_ERR_OCSP_MAKE_REQUEST, kMakeFailed, req);
    if (const int rc = req.addTargetCertsByList(targetList); rc != 0) {
        if (rc == POCSPReq::kBadTargetList)
            return failure.set(QELT_ERR_INVALID_ARGUMENT, "상태 확인하고자 하는 인증서 정보가 잘못되었습니다."_cp949);
        return failure.setCore(QELT_ERR_OCSP_MAKE_REQUEST, kMakeFailed, req);
    }
    return finishRequest(req, sign, signerCert, signerKey, nonce, requestDer, failure);
}

int sendOCSPRequest(const char* responderUrl, const ByteString& requestDer, ByteString& responseDer,
                    ServiceFailure& failure, int timeoutSeconds) {
    ParsedUrl address;
    if (const int rc = parseURL(responderUrl, UrlProtocol::Http, address, failure)) return rc;
    HttpClient client;
    client.setTimeout(timeoutSeconds);
    HttpClient::Stage stage = HttpClient::Stage::None;
    const int rc = client.exchange(address.host.c_str(), address.port, ocspHttpRequest(address.path, requestDer),
                                   "\r\n", responseDer, stage);
    if (rc == 0) return 0;
    switch (stage) {
        case HttpClient::Stage::Connect:
            return failure.setf(QELT_ERR_OCSP_CONNECT,
                                "OCSP 서버(IP : %s, Port : %d)에 접속하는데 실패하였습니다. (%s)"_cp949,
                                address.host.c_str(), address.port, client.errorText());
        case HttpClient::Stage::Send:
            return failure.setf(QELT_ERR_OCSP_SEND, "OCSP 요청 메시지 전송을 실패하였습니다. (%s)"_cp949,
                                client.errorText());
        default:
            if (rc == HttpClient::kTimedOut)
                return failure.setf(QELT_ERR_SERVER_TIMEOUT, "%s의 응답메시지 수신 실패(%s)"_cp949, "OCSP 서버"_cp949,
                                    client.errorText());
            return failure.setf(QELT_ERR_OCSP_RECV, "OCSP 응답 메시지를 받는데 실패하였습니다. (%s)"_cp949,
                                client.errorText());
    }
}

int processOCSPResponse(const ByteString& responseDer, const ByteString& nonce, OcspRevocation& revocation,
                        ByteString& responderCert, ServiceFailure& failure) {
    revocation = OcspRevocation{};
    POCSPResProcess res;
    switch (res.parseOcspResponse(responseDer.bytes())) {
        case 0:
            break;
        case POCSPResProcess::kNotSuccessful: {
            const char* text = "알수없음 - Unknown status"_cp949;
            for (const RefusalReason& r : kRefusalReasons)
                if (r.status == res.responseStatus()) text = r.text;
            return failure.setf(QELT_ERR_OCSP_NOT_SUCCESSFUL,
                                "OCSP요청이 다음 사유로 거절 되었습니다. (사유 : %s)"_cp949, text);
        }
        case POCSPResProcess::kNoResponderCert:
            return failure.setCore(QELT_ERR_OCSP_NO_CERT, "OCSP 서버 인증서가 없습니다."_cp949, res);
        default:
            return failure.setCore(QELT_ERR_OCSP_BAD_RESPONSE, kBadResponse, res);
    }
    if (!nonce.isEmpty() && !(res.hasNonce() && res.nonce() == nonce))
        return failure.set(QELT_ERR_TSP_NOT_OUR_RESPONSE, "요청메시지에 대한 응답 메시지가 아닙니다."_cp949);
    responderCert.assign(res.certs().front());

    // The first single response decides; its CertID is not compared with
    // the request's (the nonce already ties the answer to the question).
    if (res.singleResponses().empty())
        return failure.set(QELT_ERR_OCSP_BAD_RESPONSE,
                           "OCSP 응답메시지에서 폐지 여부 확인 요청에 대한 정보를 확인할 수 없습니다."_cp949);
    const POCSPResProcess::SingleResponse& first = res.singleResponses().front();
    switch (first.status) {
        case POCSPResProcess::CertStatus::Good:
            return 0;
        case POCSPResProcess::CertStatus::Unknown:
            return failure.set(QELT_ERR_OCSP_UNKNOWN_CERT,
                               "OCSP 서버에서 해당 인증서에 대한 폐지 여부 확인 서비스를 지원하지 않습니다."_cp949);
        case POCSPResProcess::CertStatus::Revoked:
            break;
    }
    revocation.revoked = true;
    revocation.time.assign(first.revocationTime);
    revocation.reason = first.reason;
    return 0;
}

int checkStatusByOCSP(const char* responderUrl, const ByteString& target, const ByteString* issuerCert, bool sign,
                      const ByteString& signerCert, const ByteString& signerKey, ByteString& responderCert,
                      ServiceFailure& failure, int timeoutSeconds) {
    responderCert.clear();
    ByteString nonce, request, response;
    if (const int rc = makeOCSPRequest(target, issuerCert, sign, signerCert, signerKey, nonce, request, failure))
        return rc;
    if (const int rc = sendOCSPRequest(responderUrl, request, response, failure, timeoutSeconds)) return rc;
    OcspRevocation revocation;
    if (const int rc = processOCSPResponse(response, nonce, revocation, responderCert, failure)) return rc;
    if (!revocation.revoked) return 0;
    if (revocation.reason == kCertificateHold)
        return failure.set(QELT_ERR_CERT_SUSPENDED, "효력정지된 인증서입니다."_cp949);
    return failure.set(QELT_ERR_CERT_REVOKED, revokedMessage(revocation.reason).c_str());
}

}  // namespace ocsp
}  // namespace qelt
