// com.qelt.qeltapi_jni: identity verification (locally and through the
// identity-verification server) and challenge-response authentication.
#include <string>

#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_VID_1Verify(JNIEnv* env, jobject self, jbyteArray jCert,
                                                              jbyteArray jRandom, jstring jIdn) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, random;
        JText idn;
        if (const int rc = c.convert({{jCert, &cert}, {jRandom, &random}, {jIdn, &idn}})) return rc;
        return QELT_VID_Verify(c.ctx(), cert.binstr(), random.binstr(), idn.text());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_VID_1VerifyByIVS(JNIEnv* env, jobject self, jstring jConf,
                                                                   jbyteArray jCert, jbyteArray jMyCert, jstring jIdn,
                                                                   jbyteArray jSvrKmCert, jbyteArray jSvrSignCert) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText conf, idn;
        JBytes cert, myCert, svrKmCert, svrSignCert;
        if (const int rc = c.convert({{jConf, &conf},
                                      {jCert, &cert},
                                      {jMyCert, &myCert},
                                      {jIdn, &idn},
                                      {jSvrKmCert, &svrKmCert},
                                      {jSvrSignCert, &svrSignCert}}))
            return rc;
        return QELT_VID_VerifyByIVS(c.ctx(), conf.text(), cert.binstr(), myCert.binstr(), idn.text(),
                                    svrKmCert.binstr(), svrSignCert.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CERT_1VerifyByIVS(JNIEnv* env, jobject self, jstring jConf,
                                                                    jbyteArray jCert, jbyteArray jMyCert,
                                                                    jbyteArray jSvrSignCert) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText conf;
        JBytes cert, myCert, svrSignCert;
        if (const int rc =
                c.convert({{jConf, &conf}, {jCert, &cert}, {jMyCert, &myCert}, {jSvrSignCert, &svrSignCert}}))
            return rc;
        // QELT_CERT_VerifyByIVS takes the server's signing certificate from the
        // work directory's cache (or the directory): a certificate the caller
        // holds becomes that cached copy.
        if (!svrSignCert.value.isEmpty()) {
            std::string path = workDirectory();
            path += "/cache/IVS/IVS_SignCert.der";
            if (const int rc = QELT_STORAGE_WriteFile(c.ctx(), path.data(), svrSignCert.binstr())) return rc;
        }
        return QELT_CERT_VerifyByIVS(c.ctx(), conf.text(), cert.binstr(), myCert.binstr());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1SIGEA_1MakeChallenge(JNIEnv* env, jobject self) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) { return QELT_SIGEA_MakeChallenge(c.ctx(), &out); });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1SIGEA_1MakeResponse(JNIEnv* env, jobject self,
                                                                        jbyteArray jChallenge, jbyteArray jCert,
                                                                        jbyteArray jPriKey) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes challenge, cert, priKey;
        if (const int rc = c.convert({{jChallenge, &challenge}, {jCert, &cert}, {jPriKey, &priKey}})) return rc;
        return QELT_SIGEA_MakeResponse(c.ctx(), challenge.binstr(), cert.binstr(), priKey.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1SIGEA_1VerifyResponse(JNIEnv* env, jobject self,
                                                                          jbyteArray jResponse, jbyteArray jChallenge) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& cert) {
        JBytes response, challenge;
        if (const int rc = c.convert({{jResponse, &response}, {jChallenge, &challenge}})) return rc;
        return QELT_SIGEA_VerifyResponse(c.ctx(), response.binstr(), challenge.binstr(), &cert);
    });
}

}  // extern "C"
