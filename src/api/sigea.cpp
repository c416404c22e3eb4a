// Challenge-response authentication: QELT_SIGEA_MakeChallenge,
// QELT_SIGEA_MakeResponse and QELT_SIGEA_VerifyResponse.
//
// The server sends a challenge, SEQUENCE { serverChallenge OCTET STRING };
// the client answers with
//   SEQUENCE { clientRandom OCTET STRING, role OCTET STRING ("client"),
//              signatureAlgorithm AlgorithmIdentifier, signature BIT STRING,
//              certificate Certificate }
// whose signature covers clientRandom || serverChallenge || "client". The
// library keeps nothing between the calls: freshness rests on the server
// passing the challenge it issued to VerifyResponse, and the certificate handed
// back is for the caller to validate.
#include <span>
#include <string>

#include "ASN1/asn1_sequence.h"
#include "ASN1/asn1_types.h"
#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PCertKeyLocator.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/key_blobs.h"
#include "api/api_call.h"
#include "api/cms_key_usage.h"
#include "util/cp949_literal.h"

using namespace qelt;

namespace {

constexpr int kRandomLength = 16;
constexpr char kRole[] = "client";
constexpr int kRoleLength = sizeof kRole - 1;
// The response is always signed with the hash of API hash code 1, whatever the
// context's hash setting says.
constexpr int kResponseHash = ALG_SHA1;

constexpr auto kBadChallenge = "잘못된 형식의 도전값입니다."_cp949;
constexpr auto kBadResponse = "잘못된 응답 메시지입니다."_cp949;
constexpr auto kRandomFailed = "랜덤값을 생성하는데 실패하였습니다."_cp949;
constexpr auto kVerifyFailed = "서명값을 검증하는데 실패하였습니다."_cp949;
constexpr auto kMakeFailed = "응답 메시지 구성에 실패하였습니다."_cp949;

int drawRandom(ApiCall& call, ByteString& out) {
    ZRRandom rng;
    if (rng.GenerateRandom(ALG_RANDOM, kRandomLength, out) != 0)
        return call.failCore(QELT_ERR_RANDOM, kRandomFailed, rng);
    return 0;
}

// serverChallenge out of a challenge message; 0 or the recorded 4000.
int readChallenge(ApiCall& call, const BINSTR* pChallenge, ByteString& serverChallenge) {
    const std::span<const uint8_t> in(pChallenge->pVal, static_cast<size_t>(pChallenge->nLen));
    ASN1Sequence seq;
    if (seq.fromASN1Object(in) != 0) return call.failCore(QELT_ERR_SIGEA_BAD_CHALLENGE, kBadChallenge, seq);
    if (seq.getComponentCount() != 1) return call.fail(QELT_ERR_SIGEA_BAD_CHALLENGE, kBadChallenge);
    ASN1OctetString octets;
    if (octets.fromASN1Object(seq.componentBytes(0)) != 0)
        return call.failCore(QELT_ERR_SIGEA_BAD_CHALLENGE, kBadChallenge, octets);
    serverChallenge.assign(octets.getValue());
    return 0;
}

// clientRandom || serverChallenge || "client": what the client signs.
ByteString signedBytes(const ByteString& clientRandom, const ByteString& serverChallenge) {
    ByteString data;
    data.allocZero(clientRandom.length() + serverChallenge.length() + kRoleLength);
    data.append(clientRandom);
    data.append(serverChallenge);
    data.append(kRole, kRoleLength);
    return data;
}

int signingFailure(ApiCall& call, const PPrivateKey& key) {
    if (key.failure() == PPrivateKey::Failure::NotPrivateKey)
        return call.fail(QELT_ERR_PRIKEY_NOT_PRIKEY, "복호화된 개인키가 아닙니다."_cp949);
    return call.failCore(QELT_ERR_SIGN, "서명값을 생성하는데 실패하였습니다."_cp949, key);
}

// The parts of a response message, in order.
struct Response {
    ByteString clientRandom;
    int hash = 0;
    ByteString signature;
    std::span<const uint8_t> certificate;  // inside the decoded sequence
};

// Reads a response; 0 or the recorded 4002. `seq` owns the octets that
// `out.certificate` points into.
int readResponse(ApiCall& call, const BINSTR* pResponse, ASN1Sequence& seq, Response& out) {
    const std::span<const uint8_t> in(pResponse->pVal, static_cast<size_t>(pResponse->nLen));
    if (seq.fromASN1Object(in) != 0) return call.failCore(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse, seq);
    if (seq.getComponentCount() != 5) return call.fail(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse);

    ASN1OctetString random;
    if (random.fromASN1Object(seq.componentBytes(0)) != 0)
        return call.failCore(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse, random);
    out.clientRandom.assign(random.getValue());

    ASN1OctetString role;
    if (role.fromASN1Object(seq.componentBytes(1)) != 0)
        return call.failCore(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse, role);
    if (role.getValue().length() != kRoleLength || !role.getValue().equals(kRole))
        return call.fail(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse);

    RAlgorithmIdentifier algorithm;
    if (algorithm.fromASN1Object(seq.componentBytes(2)) != 0)
        return call.failCore(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse, algorithm);
    PAlgorithmUtil algs;
    if (algs.getHashAlgFromSignAlg(algorithm, out.hash) != 0)
        return call.failCore(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse, algs);

    ASN1BitString signature;
    if (signature.fromASN1Object(seq.componentBytes(3)) != 0)
        return call.failCore(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse, signature);
    int unusedBits = 0;
    out.signature.assign(signature.getBitString(unusedBits));
    // A signature value is whole octets.
    if (unusedBits != 0) return call.fail(QELT_ERR_SIGEA_BAD_RESPONSE, kBadResponse);

    out.certificate = seq.componentBytes(4);
    return 0;
}

}  // namespace

QELT_EXPORT int QELT_SIGEA_MakeChallenge(void* pCtx, BINSTR* pChallenge) {
    return api::run(pCtx, "QELT_SIGEA_MakeChallenge", [&](ApiCall& call) {
        if (pChallenge == nullptr) return call.nullOutput("pChallenge");
        ByteString serverChallenge;
        if (const int rc = drawRandom(call, serverChallenge)) return rc;
        ASN1OctetString octets;
        octets.setValue(serverChallenge);
        ASN1Sequence seq;
        seq.addComponent(octets.toASN1Object());
        return call.putBytes(pChallenge, seq.toASN1Object(), "challenge");
    });
}

QELT_EXPORT int QELT_SIGEA_MakeResponse(void* pCtx, const BINSTR* pChallenge, const BINSTR* pCert,
                                        const BINSTR* pPriKey, BINSTR* pResponse) {
    return api::run(pCtx, "QELT_SIGEA_MakeResponse", [&](ApiCall& call) {
        if (!hasBytes(pChallenge)) return call.invalid("서버로부터 받은 도전값(pChallenge)을 지정하세요."_cp949);
        if (!hasBytes(pCert)) return call.invalid("서명용 인증서(pCert)를 지정하세요."_cp949);
        if (!hasBytes(pPriKey)) return call.invalid("서명용 개인키(pPriKey)를 지정하세요."_cp949);
        if (pResponse == nullptr) return call.nullOutput("pResponse");
        const ByteString cert = bytesOf(pCert);
        if (const int rc = api::checkCmsKeyUsage(call, cert, api::KeyUse::Signing)) return rc;

        ByteString serverChallenge, clientRandom;
        if (const int rc = readChallenge(call, pChallenge, serverChallenge)) return rc;
        if (const int rc = drawRandom(call, clientRandom)) return rc;

        PPrivateKey key;
        ByteString signature;
        if (key.setPrivateKeyInfo(bytesOf(pPriKey)) != 0 ||
            key.genSignature(kResponseHash, signedBytes(clientRandom, serverChallenge), signature, &cert, true) != 0)
            return signingFailure(call, key);

        // The identifier names the certificate's key algorithm with the hash used.
        RCertificate certificate;
        if (certificate.fromASN1Object(cert) != 0)
            return call.failCore(QELT_ERR_SIGEA_MAKE_RESPONSE, kMakeFailed, certificate);
        RAlgorithmIdentifier signatureAlgorithm;
        PAlgorithmUtil algs;
        const std::string keyOid =
            keyblob::oidOf(certificate.getTbsCertificate().getSubjectPublicKeyInfo().getAlgorithm());
        if (algs.makeSignAlgID(keyOid.c_str(), kResponseHash, signatureAlgorithm) != 0)
            return call.failCore(QELT_ERR_SIGEA_MAKE_RESPONSE, kMakeFailed, algs);

        ASN1OctetString random, role;
        random.setValue(clientRandom);
        role.setValue(kRole, kRoleLength);
        ASN1BitString bits;
        bits.setBitString(signature.data(), signature.length(), 0);
        ASN1Sequence response;
        response.addComponent(random.toASN1Object());
        response.addComponent(role.toASN1Object());
        response.addComponent(signatureAlgorithm.toASN1Object());
        response.addComponent(bits.toASN1Object());
        response.addComponent(cert);
        const ByteString& der = response.toASN1Object();
        if (der.isEmpty()) return call.failCore(QELT_ERR_SIGEA_MAKE_RESPONSE, kMakeFailed, response);
        return call.putBytes(pResponse, der, "response");
    });
}

QELT_EXPORT int QELT_SIGEA_VerifyResponse(void* pCtx, const BINSTR* pResponse, const BINSTR* pChallenge,
                                          BINSTR* pCert) {
    return api::run(pCtx, "QELT_SIGEA_VerifyResponse", [&](ApiCall& call) {
        if (!hasBytes(pResponse))
            return call.invalid("클라이언트로 부터 받은 응답 메시지(pResponse)를 지정하세요."_cp949);
        if (!hasBytes(pChallenge)) return call.invalid("도전값(pChallenge)를 지정하세요."_cp949);
        if (pCert == nullptr) return call.nullOutput("pCert");

        ASN1Sequence seq;
        Response response;
        if (const int rc = readResponse(call, pResponse, seq, response)) return rc;
        ByteString serverChallenge;
        if (const int rc = readChallenge(call, pChallenge, serverChallenge)) return rc;

        // The certificate is not validated here, only its key is taken.
        std::span<const uint8_t> spki;
        PPublicKey key;
        if (!locateSubjectPublicKeyInfo(response.certificate, spki)) return call.fail(QELT_ERR_VERIFY, kVerifyFailed);
        if (key.setPublicKeyInfo(ByteString(spki)) != 0 ||
            key.verifySignature(signedBytes(response.clientRandom, serverChallenge), response.signature,
                                response.hash) != 0)
            return call.failCore(QELT_ERR_VERIFY, kVerifyFailed, key);
        return call.putBytes(pCert, response.certificate.data(), static_cast<int>(response.certificate.size()), "cert");
    });
}
