// The object classes of the online services: ocsp.OCSPRequest,
// ocsp.OCSPResponse, protocol.OCSP, tsa.TimeStampRes and tsa.TimeStampToken.
// Failures go to the object's errBuff. The OCSP natives forward to the
// QELT_OCSP_* functions, which this build answers with 1007.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "com_qelt_qeltapi_ocsp_OCSPRequest.h"
#include "com_qelt_qeltapi_ocsp_OCSPResponse.h"
#include "com_qelt_qeltapi_protocol_OCSP.h"
#include "com_qelt_qeltapi_tsa_TimeStampRes.h"
#include "com_qelt_qeltapi_tsa_TimeStampToken.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

constexpr const char* kSetSingleCertStat = "setSingleCertStat";
constexpr const char* kSetSingleCertStatSig = "(IIILjava/lang/String;I)V";
constexpr int kOidText = 4096;
constexpr int kTimeText = 64;

// The status of the response's (first) single response through the callback.
int reportStatus(JniCall& c, BINSTR* response) {
    int status = 0, reason = -1;
    char revoked[kTimeText] = {};
    if (const int rc = QELT_OCSP_GetCertStatus(c.ctx(), response, &status, revoked, &reason)) return rc;
    jstring jRevoked = c.newString(revoked, static_cast<int>(std::strlen(revoked)));
    if (jRevoked == nullptr) return kMemoryError;
    const int rc = c.callVoid(kSetSingleCertStat, kSetSingleCertStatSig, jint{0}, jint{1}, static_cast<jint>(status),
                              jRevoked, static_cast<jint>(reason));
    c.env()->DeleteLocalRef(jRevoked);
    return rc;
}

// "YYYYMMDDhhmmss" and "YYYYMMDDhhmmss.uuuuuu" from a GeneralizedTime text
// ("YYYYMMDDhhmmss[.f...]Z"): the fraction cut or padded to six digits.
void splitGenTime(const BINSTR& text, std::string& seconds, std::string& micro) {
    const std::string t(reinterpret_cast<const char*>(text.pVal), text.pVal ? static_cast<size_t>(text.nLen) : 0);
    seconds = t.substr(0, 14);
    std::string fraction;
    if (t.size() > 15 && (t[14] == '.' || t[14] == ','))
        for (size_t i = 15; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) fraction += t[i];
    fraction.resize(6, '0');
    micro = seconds + "." + fraction;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_ocsp_OCSPRequest__1generateReqMsg(JNIEnv* env, jobject self,
                                                                               jbyteArray jCert, jbyteArray jIssuerCert,
                                                                               jint sign) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes cert, issuerCert, signerCert, signerPriKey;
        if (const int rc = c.convert({{jCert, &cert}, {jIssuerCert, &issuerCert}})) return rc;
        // A signed request names its requester: the object's signer fields.
        if (sign != 0) {
            if (const int rc = c.getBytes("signerCert", signerCert)) return rc;
            if (const int rc = c.getBytes("signerPriKey", signerPriKey)) return rc;
        }
        OutBinstr request, nonce;
        if (const int rc =
                QELT_OCSP_MakeOCSPReq2(c.ctx(), cert.binstr(), issuerCert.binstr(), static_cast<unsigned char>(sign),
                                       signerCert.binstr(), signerPriKey.binstr(), &request.b, &nonce.b))
            return rc;
        if (const int rc = c.setBytes("nonce", nonce.b)) return rc;
        return c.setBytes("reqMsg", request.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_ocsp_OCSPResponse__1processResMsg(JNIEnv* env, jobject self,
                                                                               jbyteArray jRes, jbyteArray jNonce) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes response, nonce;
        if (const int rc = c.convert({{jRes, &response}, {jNonce, &nonce}})) return rc;
        OutBinstr responder;
        if (const int rc = QELT_OCSP_ProcessResMsg(c.ctx(), response.binstr(), &responder.b)) return rc;
        if (!nonce.value.isEmpty())
            if (const int rc = QELT_OCSP_VerifyResMsg(c.ctx(), response.binstr(), nonce.binstr())) return rc;
        if (const int rc = c.setBytes("svrCert", responder.b)) return rc;
        return reportStatus(c, response.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_ocsp_OCSPResponse__1verify(JNIEnv* env, jobject self, jbyteArray jRes,
                                                                        jbyteArray jNonce) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes response, nonce;
        if (const int rc = c.convert({{jRes, &response}, {jNonce, &nonce}})) return rc;
        if (const int rc = QELT_OCSP_VerifyResMsg(c.ctx(), response.binstr(), nonce.binstr())) return rc;
        OutBinstr responder;
        if (const int rc = QELT_OCSP_ProcessResMsg(c.ctx(), response.binstr(), &responder.b)) return rc;
        return c.setBytes("svrCert", responder.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_protocol_OCSP__1sendAndRecv(JNIEnv* env, jobject self, jstring jUrl,
                                                                         jbyteArray jReq, jstring jConf) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JText url, conf;
        JBytes request;
        if (const int rc = c.convert({{jUrl, &url}, {jReq, &request}, {jConf, &conf}})) return rc;
        if (!conf.value.isEmpty())
            if (const int rc = QELT_API_SetConfFile(c.ctx(), conf.text())) return rc;
        OutBinstr response;
        if (const int rc = QELT_OCSP_SendAndRecv(c.ctx(), url.text(), request.binstr(), &response.b)) return rc;
        return c.setBytes("resMsg", response.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_tsa_TimeStampRes__1verifyResMsg(JNIEnv* env, jobject self,
                                                                             jbyteArray jRes) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes response;
        if (const int rc = c.convert({{jRes, &response}})) return rc;
        OutBinstr tsaCert, token, freeText;
        int status = -1;  // stays -1 when the response could not be read
        const int rc = QELT_TSP_VerifyResMsg2(c.ctx(), response.binstr(), &tsaCert.b, &token.b, &status, &freeText.b);
        // A refused response still tells its status and why.
        if (status != -1) {
            char text[16];
            std::snprintf(text, sizeof text, "%d", status);
            if (const int setRc = c.setTextBytes("status", text)) return setRc;
            if (const int setRc = c.setBytes("pkiFreeText", freeText.b)) return setRc;
        }
        if (rc != 0) return rc;
        return c.setBytes("timeStampToken", token.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_tsa_TimeStampToken__1getInfo(JNIEnv* env, jobject self,
                                                                          jbyteArray jToken) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes token;
        if (const int rc = c.convert({{jToken, &token}})) return rc;
        char policy[kOidText] = {}, hashAlg[kOidText] = {};
        OutBinstr hash, serial, genTime, nonce, tsaCert;
        if (const int rc = QELT_TSP_GetTokenInfo2(c.ctx(), token.binstr(), kOidText, policy, hashAlg, &hash.b,
                                                  &serial.b, &genTime.b, &nonce.b, &tsaCert.b))
            return rc;
        std::string seconds, micro;
        splitGenTime(genTime.b, seconds, micro);
        if (const int rc = c.setBytes("nonceBuff", nonce.b)) return rc;
        if (const int rc = c.setBytes("serialNumBuff", serial.b)) return rc;
        if (const int rc = c.setBytes("msgImprintBuff", hash.b)) return rc;
        if (const int rc = c.setBytes("tsaCertBuff", tsaCert.b)) return rc;
        if (const int rc = c.setTextBytes("genTime_microBuff", micro.c_str())) return rc;
        if (const int rc = c.setTextBytes("genTimeBuff", seconds.c_str())) return rc;
        if (const int rc = c.setTextBytes("hashAlgBuff", hashAlg)) return rc;
        return c.setTextBytes("policyBuff", policy);
    });
}

}  // extern "C"
