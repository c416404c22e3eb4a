// com.qelt.qeltapi_jni: the certificate verification service. A native's
// context is fresh, so CERT_Verify takes the whole environment of a
// verification (scope, revocation option, cache use, validation time, OCSP
// address, trusted roots, hash and key of signed OCSP requests) with the
// certificate; the CA bundle comes from the object's `capubs` when set.
#include <cstring>

#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

// The revocation-time buffer of QELT_CERT_CheckStatByCRL: "java" on entry
// asks for "YYYYMMDDhhmmssZ".
constexpr int kRevokedTimeSize = 32;
constexpr const char* kJavaTimeMarker = "java";

// Adds the trusted roots: a certificate list (as CERT_AddCert builds it), each
// of its certificates; anything else is given to QELT_CERT_AddTrustedCert as
// one certificate, which reports what it is not.
int addTrustedCerts(JniCall& c, JBytes& trusted) {
    if (trusted.value.isEmpty()) return 0;
    int count = 0;
    if (QELT_CERT_GetCertCount(c.ctx(), trusted.binstr(), &count) != 0 || count <= 0)
        return QELT_CERT_AddTrustedCert(c.ctx(), trusted.binstr());
    for (int i = 0; i < count; ++i) {
        OutBinstr cert;
        if (const int rc = QELT_CERT_GetCert(c.ctx(), trusted.binstr(), i, &cert.b)) return rc;
        if (const int rc = QELT_CERT_AddTrustedCert(c.ctx(), &cert.b)) return rc;
    }
    return 0;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CERT_1Verify(
    JNIEnv* env, jobject self, jint scope, jint revocationOption, jint useCache, jstring jValidationTime,
    jstring jOcspUrl, jbyteArray jTrustedCerts, jstring jPassword, jint hashAlg, jbyteArray jCert, jint certType,
    jstring jIps, jstring jConf, jint signOcspReq, jbyteArray jMyCert, jbyteArray jMyPriKey) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText validationTime, ocspUrl, password, ips, conf;
        JBytes trusted, cert, myCert, myPriKey;
        if (const int rc = c.convert({{jValidationTime, &validationTime},
                                      {jOcspUrl, &ocspUrl},
                                      {jTrustedCerts, &trusted},
                                      {jPassword, &password},
                                      {jCert, &cert},
                                      {jIps, &ips},
                                      {jConf, &conf},
                                      {jMyCert, &myCert},
                                      {jMyPriKey, &myPriKey}}))
            return rc;
        if (const int rc = c.applySettings(JniCall::kOption | JniCall::kConfFile | JniCall::kCaPubs)) return rc;
        if (const int rc =
                QELT_CERT_SetVerifyEnv(c.ctx(), scope, revocationOption, static_cast<unsigned char>(useCache),
                                       validationTime.text(), ocspUrl.text()))
            return rc;
        if (const int rc = addTrustedCerts(c, trusted)) return rc;
        // A requester's key given under a password is opened for the signed OCSP requests.
        OutBinstr openedKey;
        BINSTR* requesterKey = myPriKey.binstr();
        if (!password.value.isEmpty() && !myPriKey.value.isEmpty()) {
            if (const int rc = QELT_PRIKEY_Decrypt(c.ctx(), password.text(), myPriKey.binstr(), &openedKey.b))
                return rc;
            requesterKey = &openedKey.b;
        }
        if (hashAlg != 0)
            if (const int rc = QELT_API_SetHashAlgo(c.ctx(), hashAlg)) return rc;
        return QELT_CERT_Verify(c.ctx(), cert.binstr(), certType, ips.text(), conf.text(),
                                static_cast<unsigned char>(signOcspReq), myCert.binstr(), requesterKey);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CERT_1CheckStatByCRL(JNIEnv* env, jobject self, jbyteArray jCert) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert;
        if (const int rc = c.convert({{jCert, &cert}})) return rc;
        if (const int rc = c.applySettings(JniCall::kOption | JniCall::kConfFile | JniCall::kCaPubs)) return rc;
        char revoked[kRevokedTimeSize] = {};
        std::memcpy(revoked, kJavaTimeMarker, std::strlen(kJavaTimeMarker));
        int reason = -1;
        if (const int rc = QELT_CERT_CheckStatByCRL(c.ctx(), cert.binstr(), revoked, &reason)) return rc;
        if (const int rc = c.setInt("nReturnInt", reason)) return rc;
        // A good certificate leaves the buffer as it was: no time.
        return c.setText("sReturnString", reason < 0 ? "" : revoked);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CERT_1CheckStatByOCSP(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                          jbyteArray jIssuerCert, jstring jOcspUrl,
                                                                          jstring jConf) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, issuerCert;
        JText ocspUrl, conf;
        if (const int rc =
                c.convert({{jCert, &cert}, {jIssuerCert, &issuerCert}, {jOcspUrl, &ocspUrl}, {jConf, &conf}}))
            return rc;
        if (!conf.value.isEmpty())
            if (const int rc = QELT_API_SetConfFile(c.ctx(), conf.text())) return rc;
        char revoked[kRevokedTimeSize] = {};
        int reason = -1;
        if (const int rc = QELT_CERT_CheckStatByOCSP(c.ctx(), cert.binstr(), issuerCert.binstr(), ocspUrl.text(),
                                                     revoked, &reason))
            return rc;
        if (const int rc = c.setInt("nReturnInt", reason)) return rc;
        return c.setText("sReturnString", revoked);
    });
}

}  // extern "C"
