// com.qelt.qeltapi_jni: the time-stamp protocol. The request state that
// QELT_TSP_VerifyResMsg compares an answer with lives in the API context, so
// only _TSP_GetToken, which makes the request, exchanges it and checks the
// answer in one context, can accept a response; _TSP_VerifyResMsg alone
// reports the missing request (1610) after the response's own checks.
#include <string>
#include <vector>

#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

// Largest text buffer offered to QELT_TSP_GetTokenInfo (a TSA DN is the only long value).
constexpr int kMaxTokenText = 1 << 20;

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1TSP_1MakeReqMsg(JNIEnv* env, jobject self, jbyteArray jDoc,
                                                                    jint hashAlg, jstring jPolicy, jint sign,
                                                                    jbyteArray jCert, jbyteArray jPriKey) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes doc, cert, priKey;
        JText policy;
        if (const int rc = c.convert({{jDoc, &doc}, {jPolicy, &policy}, {jCert, &cert}, {jPriKey, &priKey}})) return rc;
        return QELT_TSP_MakeReqMsg(c.ctx(), doc.binstr(), hashAlg, policy.text(), static_cast<unsigned char>(sign),
                                   cert.binstr(), priKey.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1TSP_1SendAndRecv(JNIEnv* env, jobject self, jstring jIp, jint port,
                                                                     jbyteArray jReq) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText ip;
        JBytes req;
        if (const int rc = c.convert({{jIp, &ip}, {jReq, &req}})) return rc;
        return QELT_TSP_SendAndRecv(c.ctx(), ip.text(), port, req.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1TSP_1GetToken(JNIEnv* env, jobject self, jstring jConf,
                                                                  jbyteArray jDoc, jint hashAlg, jstring jPolicy,
                                                                  jint sign, jbyteArray jCert, jbyteArray jPriKey,
                                                                  jstring jIp, jint port) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& token) {
        JText conf, policy, ip;
        JBytes doc, cert, priKey;
        if (const int rc = c.convert(
                {{jConf, &conf}, {jDoc, &doc}, {jPolicy, &policy}, {jCert, &cert}, {jPriKey, &priKey}, {jIp, &ip}}))
            return rc;
        // The configuration's [TSA] TSA_TIME_OUT bounds the wait for the answer.
        if (!conf.value.isEmpty())
            if (const int rc = QELT_API_SetConfFile(c.ctx(), conf.text())) return rc;
        OutBinstr request, response, tsaCert;
        if (const int rc =
                QELT_TSP_MakeReqMsg(c.ctx(), doc.binstr(), hashAlg, policy.text(), static_cast<unsigned char>(sign),
                                    cert.binstr(), priKey.binstr(), &request.b))
            return rc;
        if (const int rc = QELT_TSP_SendAndRecv(c.ctx(), ip.text(), port, &request.b, &response.b)) return rc;
        return QELT_TSP_VerifyResMsg(c.ctx(), &response.b, &tsaCert.b, &token);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1TSP_1VerifyResMsg(JNIEnv* env, jobject self, jbyteArray jRes) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& token) {
        JBytes res;
        if (const int rc = c.convert({{jRes, &res}})) return rc;
        OutBinstr tsaCert;
        return QELT_TSP_VerifyResMsg(c.ctx(), res.binstr(), &tsaCert.b, &token);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1TSP_1VerifyToken(JNIEnv* env, jobject self, jbyteArray jDoc,
                                                                     jbyteArray jToken) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& tsaCert) {
        JBytes doc, token;
        if (const int rc = c.convert({{jDoc, &doc}, {jToken, &token}})) return rc;
        return QELT_TSP_VerifyToken2(c.ctx(), doc.binstr(), token.binstr(), &tsaCert);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1TSP_1GetTokenInfo(JNIEnv* env, jobject self, jbyteArray jToken) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes token;
        if (const int rc = c.convert({{jToken, &token}})) return rc;
        constexpr int kFields = 8;
        std::vector<char> fields[kFields];
        int rc = 0;
        // Every value must fit the one buffer size: grow while the call says it is too small.
        for (int size = 4096;; size *= 8) {
            for (auto& f : fields) f.assign(static_cast<size_t>(size), 0);
            rc = QELT_TSP_GetTokenInfo(c.ctx(), token.binstr(), size, fields[0].data(), fields[1].data(),
                                       fields[2].data(), fields[3].data(), fields[4].data(), fields[5].data(),
                                       fields[6].data(), fields[7].data());
            if (rc != QELT_ERR_BUFFER_TOO_SMALL || size >= kMaxTokenText) break;
        }
        if (rc != 0) return rc;
        std::string lines;
        for (int i = 0; i < kFields; ++i) {
            if (i > 0) lines += "\r\n";
            lines += fields[i].data();
        }
        return c.setText("sReturnString", lines.c_str());
    });
}

}  // extern "C"
