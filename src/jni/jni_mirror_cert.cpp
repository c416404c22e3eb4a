// com.qelt.qeltapi_jni: certificate information and certificate lists. Every
// getter loads the certificate, reads the field and unloads it in one native.
#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

using TextGetter = int (*)(void*, int, char*);

// QELT_CERT_Load, the getter into sReturnString, QELT_CERT_Unload. After a
// failure the certificate is left to QELT_API_Finish, so that the failing
// call's detail message is the one reported.
jint certText(JNIEnv* env, jobject self, jbyteArray jCert, TextGetter getter) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert;
        if (const int rc = c.convert({{jCert, &cert}})) return rc;
        if (const int rc = QELT_CERT_Load(c.ctx(), cert.binstr())) return rc;
        std::vector<char> text;
        if (const int rc = textInto(text, [&](int n, char* b) { return getter(c.ctx(), n, b); })) return rc;
        if (const int rc = QELT_CERT_Unload(c.ctx())) return rc;
        return c.setText("sReturnString", text.data());
    });
}

}  // namespace

extern "C" {

#define QELT_CERT_TEXT_NATIVE(Name)                                                                               \
    JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CERT_1##Name(JNIEnv* env, jobject self, jbyteArray jCert) { \
        return certText(env, self, jCert, QELT_CERT_##Name);                                                      \
    }
QELT_CERT_TEXT_NATIVE(GetUID)
QELT_CERT_TEXT_NATIVE(GetSerialNum)
QELT_CERT_TEXT_NATIVE(GetIssuerName)
QELT_CERT_TEXT_NATIVE(GetSubjectName)
QELT_CERT_TEXT_NATIVE(GetValidity)
QELT_CERT_TEXT_NATIVE(GetPubKeyAlg)
QELT_CERT_TEXT_NATIVE(GetKeyUsage)
QELT_CERT_TEXT_NATIVE(GetBasicConstraints)
QELT_CERT_TEXT_NATIVE(GetCertPolicyID)
#undef QELT_CERT_TEXT_NATIVE

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CERT_1GetRemainDays(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                      jint warnDays) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert;
        if (const int rc = c.convert({{jCert, &cert}})) return rc;
        int days = warnDays;
        const int rc = QELT_CERT_GetRemainDays(c.ctx(), cert.binstr(), &days);
        // The days left are known even when they fall under the warning threshold (1248).
        if (rc == 0 || rc == QELT_ERR_CERT_RENEWAL_DUE)
            if (const int set = c.setInt("nReturnInt", days)) return set;
        return rc;
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CERT_1AddCert(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                jbyteArray jCerts) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& list) {
        JBytes cert, certs;
        if (const int rc = c.convert({{jCert, &cert}, {jCerts, &certs}})) return rc;
        // The list is an in-out record: it starts as a library-owned copy of the caller's list.
        if (!certs.value.isEmpty() && QELT_BINSTR_SetData(certs.value.data(), certs.value.length(), &list) != 0)
            return kMemoryError;
        return QELT_CERT_AddCert(c.ctx(), cert.binstr(), &list);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CERT_1GetCertCount(JNIEnv* env, jobject self, jbyteArray jCerts) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes certs;
        if (const int rc = c.convert({{jCerts, &certs}})) return rc;
        int count = 0;
        if (const int rc = QELT_CERT_GetCertCount(c.ctx(), certs.binstr(), &count)) return rc;
        return c.setInt("nReturnInt", count);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CERT_1GetCert(JNIEnv* env, jobject self, jbyteArray jCerts,
                                                                  jint index) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes certs;
        if (const int rc = c.convert({{jCerts, &certs}})) return rc;
        return QELT_CERT_GetCert(c.ctx(), certs.binstr(), index, &out);
    });
}

}  // extern "C"
