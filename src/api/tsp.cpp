// Time-stamp protocol: making a TimeStampReq (optionally signed) and
// remembering what was asked, exchanging it with a TSA over HTTP as
// hexadecimal text, checking the TimeStampResp against the remembered
// request, and checking and reading stored tokens.
#include <cstdio>
#include <cstring>
#include <string>

#include "ASN1Pkix/PSignedData.h"
#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/UDNSettings.h"
#include "api/api_call.h"
#include "api/cms_key_usage.h"
#include "api/cms_signer_common.h"
#include "net/http_client.h"
#include "net/tsp_request.h"
#include "net/tsp_token.h"
#include "util/cp949_literal.h"
#include "util/profile.h"

using namespace qelt;

namespace {

constexpr int kNonceLength = 16;
constexpr const char* kMakeFailed = "TimeStamp 요청 메시지를 생성하는 실패하였습니다."_cp949;
constexpr const char* kCommonNameOid = "2 5 4 3";

// 16 random bytes whose first byte is neither 0x00 nor 0xFF, so that the
// nonce keeps its length as the magnitude of an INTEGER.
int drawNonce(ApiCall& call, ByteString& nonce) {
    ZRRandom rng;
    do {
        if (rng.GenerateRandom(ALG_RANDOM, kNonceLength, nonce) != 0)
            return call.failCore(QELT_ERR_RANDOM, "랜덤값을 생성하는데 실패하였습니다."_cp949, rng);
    } while (nonce.data()[0] == 0x00 || nonce.data()[0] == 0xFF);
    return 0;
}

int remember(ApiCall& call, ByteString*& field, const ByteString& value, const char* name) {
    ByteString* bytes = ensureBytes(field);
    if (bytes == nullptr) return call.noMemory(name);
    bytes->assign(value);
    return 0;
}

// The requester's signature over the DER TimeStampReq: a SignedData made as
// QELT_CMS_MakeSignedData makes it, with the request as its data content.
int signRequest(ApiCall& call, const ByteString& cert, const ByteString& key, const ByteString& request,
                ByteString& signedRequest) {
    if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Signing)) return rc;
    PSignedData sd;
    sd.setOption(PSignedData::kPkcs7);
    if (call.ctx().nOption & QELT_OPT_CMS_CONTENTINFO) sd.setOption(PSignedData::kWrapContentInfo);
    if (sd.setContent(request, nullptr) != 0) return call.failCore(QELT_ERR_TSP_MAKE_REQUEST, kMakeFailed, sd);
    sd.setSigningTime(nullptr);
    int hash = 0;
    if (const int rc = cms::chooseSignerHash(call, cert, hash)) return rc;
    if (const int rc = sd.addSignerCert(cert, key, hash); rc != 0) {
        if (rc == PSignedData::kNotPrivateKey)
            return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
        return call.failCore(QELT_ERR_TSP_MAKE_REQUEST, kMakeFailed, sd);
    }
    if (sd.makeSignedData(signedRequest) != 0) return call.failCore(QELT_ERR_TSP_MAKE_REQUEST, kMakeFailed, sd);
    return 0;
}

// [TSA] TSA_TIME_OUT of the configuration file, read once per context; the
// client's default when no configuration file is set.
int tsaTimeout(ApiCall& call, int& seconds) {
    ApiContext& ctx = call.ctx();
    seconds = HttpClient::kDefaultTimeout;
    if (ctx.nTSATimeOut > 0) {
        seconds = ctx.nTSATimeOut;
        return 0;
    }
    if (!hasText(ctx.pszConfFilePath)) return 0;
    Profile profile;
    if (profile.setPath(ctx.pszConfFilePath) != Profile::kPathOk)
        return call.fail(QELT_ERR_CONF_READ, "환경파일을 읽는데 실패하였습니다."_cp949);
    const int value = profile.getInt("TSA", "TSA_TIME_OUT", 0);
    ctx.nTSATimeOut = value < 1 ? HttpClient::kDefaultTimeout : value;
    seconds = ctx.nTSATimeOut;
    return 0;
}

// The TSA's HTTP request: the DER TimeStampReq as lower-case hexadecimal text.
ByteString tsaHttpRequest(const char* host, const ByteString& der) {
    const ByteString body = der.toHex();
    ByteString request;
    request.append("POST /TSAReq HTTP/1.0\r\n");
    request.append("Content-Type: application/timestamp-query\r\n");
    request.append("User-Agent: TSAClient/1.0\r\n");
    request.append("Host: ");
    request.append(host);
    request.append("\r\n");
    ByteString length;
    length.format("Content-Length: %d\r\n", body.length());
    request.append(length);
    request.append("Connection: Close\r\nPragma: no-cache\r\n\r\n");
    request.append(body);
    return request;
}

// The UTF8Strings of a PKIFreeText, one per line.
ByteString freeText(const RPKIStatusInfo& status) {
    ByteString text;
    if (!status.hasStatusString()) return text;
    const RPKIFreeText& list = status.getStatusString();
    for (int i = 0; i < list.getElementCount(); ++i) {
        ASN1UTF8String s;
        if (list.getElement(i, s) != 0) continue;
        if (!text.isEmpty()) text.append("\r\n");
        text.append(s.getValue());
    }
    return text;
}

// A token's failure as VerifyResMsg reports it (the token came in a response).
int responseTokenFailure(ApiCall& call, const PTimeStampToken& token) {
    switch (token.errorCode()) {
        case PTimeStampToken::kNoTsaCert:
            return call.failCore(QELT_ERR_NO_SIGNER_CERT, "TSA 서버의 인증서가 없습니다."_cp949, token);
        case PTimeStampToken::kBadSignature:
            return call.failCore(QELT_ERR_TSP_BAD_TOKEN, "잘못된 TimeStamp 토큰입니다."_cp949, token);
        case PTimeStampToken::kNotTSTInfo:
            return call.failf(QELT_ERR_TSP_BAD_RESPONSE, "잘못된 TimeStamp 응답 메시지 입니다. (%s)"_cp949,
                              "TimeStamp 토큰을 포함하고 있지 않습니다."_cp949);
        case PTimeStampToken::kBadTSTInfo:
            return call.failCore(QELT_ERR_TSP_BAD_RESPONSE,
                                 "잘못된 TimeStamp 응답 메시지 입니다. (The TSTInfo is invalid.)"_cp949, token);
        default:
            return call.failCore(QELT_ERR_TSP_TOKEN_NOT_SIGNED, "TimeStamp 토큰이 서명 데이터가 아닙니다."_cp949,
                                 token);
    }
}

// A stored token's failure as VerifyToken and GetTokenInfo report it.
int storedTokenFailure(ApiCall& call, const PTimeStampToken& token) {
    switch (token.errorCode()) {
        case PTimeStampToken::kNoTsaCert:
            return call.failCore(QELT_ERR_NO_SIGNER_CERT, "TSA 서버의 인증서가 없습니다."_cp949, token);
        case PTimeStampToken::kBadSignature:
            return call.failCore(QELT_ERR_TSP_BAD_TOKEN, "잘못된 TimeStamp 토큰입니다."_cp949, token);
        default:
            return call.failCore(QELT_ERR_TSP_NOT_RESPONSE2, "TimeStamp 토큰이 아닙니다."_cp949, token);
    }
}

int parseStoredToken(ApiCall& call, const BINSTR* pToken, PTimeStampToken& token) {
    if (token.parseToken(std::span<const uint8_t>(pToken->pVal, static_cast<size_t>(pToken->nLen))) != 0)
        return storedTokenFailure(call, token);
    return 0;
}

// The CN of a certificate's subject (the most specific one), "" when it has none.
ByteString commonName(const ByteString& cert) {
    PCertUtil util;
    ByteString cn;
    if (util.parseCertificate(cert) != 0) return cn;
    const RRDNSequence& subject = util.certificate()->getTbsCertificate().getSubject();
    for (int i = 0; i < subject.getElementCount(); ++i) {
        RRelativeDistinguishedName rdn;
        if (subject.getElement(i, rdn) != 0) continue;
        for (int j = 0; j < rdn.getElementCount(); ++j) {
            RAttributeTypeAndValue atv;
            ByteString text;
            if (rdn.getElement(j, atv) == 0 && atv.getType().is(kCommonNameOid) &&
                UDNSettings::stringValueText(atv.getValue().getEncoding(), text) == 0)
                cn.assign(text);
        }
    }
    return cn;
}

// "%d%02d%02d%02d%02d%02d%s": the calendar fields of the GeneralizedTime and
// whatever the token carries after the seconds (fraction and zone).
std::string genTimeText(const ByteString& genTime) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    if (std::sscanf(genTime.c_str(), "%4d%2d%2d%2d%2d%2d%n", &y, &mo, &d, &h, &mi, &s, &used) != 6)
        return genTime.c_str();
    char text[64];
    std::snprintf(text, sizeof text, "%d%02d%02d%02d%02d%02d", y, mo, d, h, mi, s);
    return std::string(text) + (genTime.c_str() + used);
}

struct TokenTexts {
    std::string cn, dn, policy, hashAlg, hashValue, serial, genTime, nonce;
};

int tokenTexts(ApiCall& call, PTimeStampToken& token, TokenTexts& out) {
    PCertUtil util;
    if (util.parseCertificate(token.tsaCert()) != 0)
        return call.failCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, util);
    out.dn = util.getSubjectDN().c_str();
    out.cn = commonName(token.tsaCert()).c_str();
    out.policy = token.policyOid().c_str();
    out.hashAlg = token.hashAlgorithmOid().c_str();
    out.hashValue = token.hashedMessage().toHex().c_str();
    out.serial = token.serialNumber().toHex().c_str();
    out.genTime = genTimeText(token.genTime());
    out.nonce = token.nonce().toHex().c_str();
    return 0;
}

void copyText(const std::string& value, char* buffer) { std::memcpy(buffer, value.c_str(), value.size() + 1); }

bool isHexText(const ByteString& text) {
    if (text.isEmpty() || text.length() % 2 != 0) return false;
    for (const uint8_t c : text.bytes())
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

}  // namespace

QELT_EXPORT int QELT_TSP_MakeReqMsg(void* pCtx, BINSTR* pDoc, int nHashAlg, char* pszPolicy, unsigned char bSign,
                                    BINSTR* pCert, BINSTR* pPriKey, BINSTR* pReqMsg) {
    return api::run(pCtx, "QELT_TSP_MakeReqMsg", [&](ApiCall& call) {
        if (!hasBytes(pDoc)) return call.invalid("TimeStamp를 요청할 메시지(pDoc)를 지정해 주세요."_cp949);
        const TspHashAlgorithm* hash = tspHashBySelector(nHashAlg);
        if (hash == nullptr) return call.fail(QELT_ERR_HASH_ALGORITHM, "지원되지 않는 HASH 알고리즘입니다."_cp949);
        if (bSign == 1) {
            if (!hasBytes(pCert)) return call.invalid("요청자의 인증서를(pCert)를 지정해 주세요."_cp949);
            if (!hasBytes(pPriKey)) return call.invalid("요청자의 개인키를(pPriKey)를 지정해 주세요."_cp949);
        }
        if (pReqMsg == nullptr) return call.nullOutput("pReqMsg");

        ByteString digest;
        ZRHash hasher;
        if (hasher.DigestData(hash->alg, bytesOf(pDoc), digest) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hasher);
        PTimeStampRequest req;
        if (req.setMessageImprint(hash->oid, digest) != 0)
            return call.failCore(QELT_ERR_TSP_MAKE_REQUEST, kMakeFailed, req);
        ByteString policy;
        if (hasText(pszPolicy)) {
            if (req.setReqPolicy(pszPolicy) != 0) return call.failCore(QELT_ERR_TSP_MAKE_REQUEST, kMakeFailed, req);
            ASN1ObjectIdentifier oid(pszPolicy);
            policy.assign(oid.getOID());
        }
        ByteString nonce;
        if (const int rc = drawNonce(call, nonce)) return rc;
        (void)req.setNonce(nonce);
        req.setCertReq(true);
        ByteString der;
        if (req.makeTimeStampReq(der) != 0) return call.failCore(QELT_ERR_TSP_MAKE_REQUEST, kMakeFailed, req);

        ApiContext& ctx = call.ctx();
        if (const int rc = remember(call, ctx.pMsgImprint, digest, "pApiCtx->pMsgImprint")) return rc;
        if (const int rc = remember(call, ctx.pPolicy, policy, "pApiCtx->pPolicy")) return rc;
        if (const int rc = remember(call, ctx.pNonce, nonce, "pApiCtx->pNonce")) return rc;

        if (bSign == 1) {
            ByteString signedRequest;
            if (const int rc = signRequest(call, bytesOf(pCert), bytesOf(pPriKey), der, signedRequest)) return rc;
            return call.putBytes(pReqMsg, signedRequest, "reqMsg");
        }
        return call.putBytes(pReqMsg, der, "reqMsg");
    });
}

QELT_EXPORT int QELT_TSP_SendAndRecv(void* pCtx, char* pszIP, int nPort, BINSTR* pReqMsg, BINSTR* pResMsg) {
    return api::run(pCtx, "QELT_TSP_SendAndRecv", [&](ApiCall& call) {
        if (!hasText(pszIP)) return call.invalid("TSA 서버의 IP를 지정하세요."_cp949);
        if (nPort <= 0) return call.invalid("TSA 서버의 Port를 지정하세요."_cp949);
        if (!hasBytes(pReqMsg)) return call.invalid("TSA 요청 메시지(pReqMsg)를 지정해 주세요."_cp949);
        if (pResMsg == nullptr) return call.nullOutput("pResMsg");
        int timeout = 0;
        if (const int rc = tsaTimeout(call, timeout)) return rc;

        HttpClient client;
        client.setTimeout(timeout);
        HttpClient::Stage stage = HttpClient::Stage::None;
        ByteString body;
        const int rc = client.exchange(pszIP, nPort, tsaHttpRequest(pszIP, bytesOf(pReqMsg)), "\r\n", body, stage);
        if (rc != 0) {
            switch (stage) {
                case HttpClient::Stage::Connect:
                    return call.failf(QELT_ERR_TSP_CONNECT,
                                      "TSA 서버(IP : %s, Port : %d)에 접속하는데 실패하였습니다. %s"_cp949, pszIP,
                                      nPort, client.errorText());
                case HttpClient::Stage::Send:
                    return call.failf(QELT_ERR_TSP_SEND, "TimeStamp 요청 메시지를 전송하는데 실패하였습니다. %s"_cp949,
                                      client.errorText());
                default:
                    if (rc == HttpClient::kTimedOut)
                        return call.failf(QELT_ERR_SERVER_TIMEOUT, "%s의 응답메시지 수신 실패(%s)"_cp949,
                                          "TSA 서버"_cp949, client.errorText());
                    return call.failf(QELT_ERR_TSP_RECV, "TimeStamp 응답 메시지를 받는데 실패하였습니다. %s"_cp949,
                                      client.errorText());
            }
        }
        // The body is the DER TimeStampResp in hexadecimal text.
        if (!isHexText(body))
            return call.failf(QELT_ERR_TSP_RECV, "TimeStamp 응답 메시지를 받는데 실패하였습니다. %s"_cp949,
                              "The response is not hexadecimal text.");
        return call.putBytes(pResMsg, body.fromHex(), "resMsg");
    });
}

namespace {

int verifyResponse(void* pCtx, const char* function, BINSTR* pResMsg, BINSTR* pTSACert, BINSTR* pToken, int* pStatus,
                   BINSTR* pPkiFreeText) {
    return api::run(pCtx, function, [&](ApiCall& call) {
        if (!hasBytes(pResMsg)) return call.invalid("TSA 응답 메시지(pResMsg)를 지정해 주세요."_cp949);
        if (pTSACert == nullptr) return call.nullOutput("pTSACert");
        if (pToken == nullptr) return call.nullOutput("pToken");
        if (pStatus != nullptr && pPkiFreeText == nullptr) return call.nullOutput("pPkiFreeText");

        const std::span<const uint8_t> der(pResMsg->pVal, static_cast<size_t>(pResMsg->nLen));
        RTimeStampResp response;
        if (response.fromASN1Object(der) != 0)
            return call.failCore(QELT_ERR_TSP_NOT_RESPONSE, "TSA 응답 메시지가 아닙니다."_cp949, response);
        const int status = response.getStatus().getStatus().getInteger();
        const ByteString text = freeText(response.getStatus());
        if (pStatus != nullptr) {
            *pStatus = status;
            // A status without free text leaves the output empty.
            if (text.isEmpty())
                QELT_BINSTR_Delete(pPkiFreeText);
            else if (const int rc = call.putBytes(pPkiFreeText, text, "pkiFreeText"))
                return rc;
        }
        // Only "granted" counts: grantedWithMods is refused too.
        if (status != 0)
            return call.failf(QELT_ERR_TSP_NOT_GRANTED,
                              "TimeStamp 요청이 승인 되지 않았습니다. (사유 : Status = %d, FreeText = %s)"_cp949,
                              status, text.c_str());
        if (!response.hasTimeStampToken())
            return call.failf(QELT_ERR_TSP_BAD_RESPONSE, "잘못된 TimeStamp 응답 메시지 입니다. (%s)"_cp949,
                              "TimeStamp 토큰을 포함하고 있지 않습니다."_cp949);
        // The token exactly as received: the response's second element.
        ASN1Sequence outer;
        if (outer.fromASN1Object(der) != 0 || outer.getComponentCount() < 2)
            return call.failCore(QELT_ERR_TSP_NOT_RESPONSE, "TSA 응답 메시지가 아닙니다."_cp949, outer);
        const ByteString tokenDer(outer.componentBytes(1));
        PTimeStampToken token;
        if (token.parseToken(tokenDer.bytes()) != 0) return responseTokenFailure(call, token);

        const ApiContext& ctx = call.ctx();
        if (ctx.pMsgImprint == nullptr || ctx.pMsgImprint->isEmpty())
            return call.fail(QELT_ERR_TSP_NO_REQUEST, "TimeStamp 요청 정보를 확인할 수 없습니다."_cp949);
        if (!(token.hashedMessage() == *ctx.pMsgImprint))
            return call.fail(QELT_ERR_TSP_IMPRINT_MISMATCH,
                             "TimeStamp를 요청했던 메시지와 TimeStamp 받은 메시지가 다릅니다."_cp949);
        if (ctx.pNonce == nullptr || !(token.nonce() == *ctx.pNonce))
            return call.fail(QELT_ERR_TSP_NOT_OUR_RESPONSE, "TimeStamp 요청에 대한 응답 메시지가 아닙니다."_cp949);
        if (ctx.pPolicy != nullptr && !ctx.pPolicy->isEmpty() && !(token.policyOid() == *ctx.pPolicy))
            return call.fail(QELT_ERR_TSP_POLICY,
                             "TimeStamp 응답메시지가 요청자가 허용하지 않는 인증서 정책으로 발급되었습니다."_cp949);
        if (const int rc = call.putBytes(pToken, tokenDer, "token")) return rc;
        return call.putBytes(pTSACert, token.tsaCert(), "tsaCert");
    });
}

int verifyToken(void* pCtx, const char* function, BINSTR* pDoc, BINSTR* pToken, BINSTR* pTSACert) {
    return api::run(pCtx, function, [&](ApiCall& call) {
        if (!hasBytes(pDoc)) return call.invalid("TimeStamp를 요청했던 메시지(pDoc)를 지정해 주세요."_cp949);
        if (!hasBytes(pToken)) return call.invalid("TimeStamp 토큰(pToken)을 지정해 주세요."_cp949);
        PTimeStampToken token;
        if (const int rc = parseStoredToken(call, pToken, token)) return rc;
        ASN1ObjectIdentifier algorithm(token.tstInfo().getMessageImprint().getHashAlgorithm().getAlgorithm());
        const TspHashAlgorithm* hash = tspHashByOid(algorithm);
        if (hash == nullptr)
            return call.failf(QELT_ERR_HASH_ALGORITHM, "해쉬알고리즘 %s은 지원되지 않습니다."_cp949,
                              algorithm.getOID().c_str());
        ByteString digest;
        ZRHash hasher;
        if (hasher.DigestData(hash->alg, bytesOf(pDoc), digest) != 0)
            return call.failCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hasher);
        if (!(digest == token.hashedMessage()))
            return call.fail(QELT_ERR_TSP_WRONG_DOCUMENT, "해당 문서에 대한 시점확인 토큰이 아닙니다."_cp949);
        if (pTSACert != nullptr) return call.putBytes(pTSACert, token.tsaCert(), "tsaCert");
        return 0;
    });
}

}  // namespace

QELT_EXPORT int QELT_TSP_VerifyResMsg(void* pCtx, BINSTR* pResMsg, BINSTR* pTSACert, BINSTR* pToken) {
    return verifyResponse(pCtx, "QELT_TSP_VerifyResMsg", pResMsg, pTSACert, pToken, nullptr, nullptr);
}

QELT_EXPORT int QELT_TSP_VerifyResMsg2(void* pCtx, BINSTR* pResMsg, BINSTR* pTSACert, BINSTR* pToken, int* pStatus,
                                       BINSTR* pPkiFreeText) {
    return verifyResponse(pCtx, "QELT_TSP_VerifyResMsg2", pResMsg, pTSACert, pToken, pStatus, pPkiFreeText);
}

QELT_EXPORT int QELT_TSP_VerifyToken(void* pCtx, BINSTR* pDoc, BINSTR* pToken) {
    return verifyToken(pCtx, "QELT_TSP_VerifyToken", pDoc, pToken, nullptr);
}

QELT_EXPORT int QELT_TSP_VerifyToken2(void* pCtx, BINSTR* pDoc, BINSTR* pToken, BINSTR* pTSACert) {
    return verifyToken(pCtx, "QELT_TSP_VerifyToken2", pDoc, pToken, pTSACert);
}

QELT_EXPORT int QELT_TSP_GetTokenInfo(void* pCtx, BINSTR* pToken, int nBufSize, char* pszCN, char* pszDN,
                                      char* pszPolicy, char* pszHashAlg, char* pszHashValue, char* pszSerialNum,
                                      char* pszGenTime, char* pszNonce) {
    return api::run(pCtx, "QELT_TSP_GetTokenInfo", [&](ApiCall& call) {
        if (!hasBytes(pToken)) return call.invalid("TimeStamp 토큰(pToken)을 지정해 주세요."_cp949);
        const std::pair<char*, const char*> buffers[] = {
            {pszCN, "pszCN에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszDN, "pszDN에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszPolicy, "pszPolicy에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszHashAlg, "pszHashAlg에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszHashValue, "pszHashValue에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszSerialNum, "pszSerialNum에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszGenTime, "pszGenTime에 메모리 할당이 되어있지 않습니다."_cp949},
            {pszNonce, "pszNonce에 메모리 할당이 되어있지 않습니다."_cp949},
        };
        for (const auto& [buffer, message] : buffers)
            if (buffer == nullptr) return call.invalid(message);
        PTimeStampToken token;
        if (const int rc = parseStoredToken(call, pToken, token)) return rc;
        TokenTexts texts;
        if (const int rc = tokenTexts(call, token, texts)) return rc;
        // Every value must fit before any is written.
        for (const std::string* value : {&texts.cn, &texts.dn, &texts.policy, &texts.hashAlg, &texts.hashValue,
                                         &texts.serial, &texts.genTime, &texts.nonce})
            if (static_cast<long long>(value->size()) + 1 > nBufSize)
                return call.fail(QELT_ERR_BUFFER_TOO_SMALL, "할당된 메모리의 크기가 작습니다."_cp949);
        copyText(texts.cn, pszCN);
        copyText(texts.dn, pszDN);
        copyText(texts.policy, pszPolicy);
        copyText(texts.hashAlg, pszHashAlg);
        copyText(texts.hashValue, pszHashValue);
        copyText(texts.serial, pszSerialNum);
        copyText(texts.genTime, pszGenTime);
        copyText(texts.nonce, pszNonce);
        return 0;
    });
}

QELT_EXPORT int QELT_TSP_GetTokenInfo2(void* pCtx, BINSTR* pToken, int nBufSize, char* pszPolicy, char* pszHashAlg,
                                       BINSTR* pHashValue, BINSTR* pSerialNum, BINSTR* pGenTime, BINSTR* pNonce,
                                       BINSTR* pTSACert) {
    return api::run(pCtx, "QELT_TSP_GetTokenInfo2", [&](ApiCall& call) {
        if (!hasBytes(pToken)) return call.invalid("TimeStamp 토큰(pToken)을 지정해 주세요."_cp949);
        if (pszPolicy == nullptr) return call.invalid("pszPolicy에 메모리 할당이 되어있지 않습니다."_cp949);
        if (pszHashAlg == nullptr) return call.invalid("pszHashAlg에 메모리 할당이 되어있지 않습니다."_cp949);
        if (pHashValue == nullptr) return call.nullOutput("pHashValue");
        if (pSerialNum == nullptr) return call.nullOutput("pSerialNum");
        if (pGenTime == nullptr) return call.nullOutput("pGenTime");
        if (pNonce == nullptr) return call.nullOutput("pNonce");
        if (pTSACert == nullptr) return call.nullOutput("pTSACert");
        PTimeStampToken token;
        if (const int rc = parseStoredToken(call, pToken, token)) return rc;
        const ByteString policy = token.policyOid(), hashAlg = token.hashAlgorithmOid();
        if (policy.length() + 1 > nBufSize || hashAlg.length() + 1 > nBufSize)
            return call.fail(QELT_ERR_BUFFER_TOO_SMALL, "할당된 메모리의 크기가 작습니다."_cp949);
        if (const int rc = call.putBytes(pHashValue, token.hashedMessage(), "hashValue")) return rc;
        if (const int rc = call.putBytes(pSerialNum, token.serialNumber(), "serialNum")) return rc;
        if (const int rc = call.putBytes(pGenTime, token.genTime(), "genTime")) return rc;
        if (const int rc = call.putBytes(pNonce, token.nonce(), "nonce")) return rc;
        if (const int rc = call.putBytes(pTSACert, token.tsaCert(), "tsaCert")) return rc;
        copyText(policy.c_str(), pszPolicy);
        copyText(hashAlg.c_str(), pszHashAlg);
        return 0;
    });
}
