// com.qelt.qeltapi_jni and cms.SignedContent: the signed and enveloped
// messages of mobile (WAP) clients.
#include "com_qelt_qeltapi_cms_SignedContent.h"
#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"
#include "jni/jni_signers.h"

using namespace qelt::jni;

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1WCMS_1MakeSignedContent(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                            jbyteArray jPriKey, jbyteArray jData,
                                                                            jstring jTime) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert, priKey, data;
        JText time;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jData, &data}, {jTime, &time}})) return rc;
        return QELT_WCMS_MakeSignedContent(c.ctx(), cert.binstr(), priKey.binstr(), data.binstr(), time.text(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1WCMS_1ProcessSignedContent(JNIEnv* env, jobject self,
                                                                               jbyteArray jSigned) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes signedContent;
        if (const int rc = c.convert({{jSigned, &signedContent}})) return rc;
        OutBinstr content, cert;
        int time = 0;
        if (const int rc = QELT_WCMS_ProcessSignedContent2(c.ctx(), signedContent.binstr(), &content.b, &cert.b, &time))
            return rc;
        if (const int rc = c.setBytes("baReturnArray", content.b)) return rc;
        return reportOneSigner(c, cert.b, time, &content.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1WCMS_1MakeWapEnvelopedData(JNIEnv* env, jobject self,
                                                                               jbyteArray jRecCert, jbyteArray jData,
                                                                               jint symAlg) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes recCert, data;
        if (const int rc = c.convert({{jRecCert, &recCert}, {jData, &data}})) return rc;
        return QELT_WCMS_MakeWapEnvelopedData(c.ctx(), recCert.binstr(), data.binstr(), symAlg, &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1WCMS_1ProcessWapEnvelopedData(JNIEnv* env, jobject self,
                                                                                  jbyteArray jCert, jbyteArray jPriKey,
                                                                                  jbyteArray jEnveloped) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert, priKey, enveloped;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jEnveloped, &enveloped}})) return rc;
        return QELT_WCMS_ProcessWapEnvelopedData(c.ctx(), cert.binstr(), priKey.binstr(), enveloped.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cms_SignedContent__1verify(JNIEnv* env, jobject self, jbyteArray jSigned) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes signedContent;
        if (const int rc = c.convert({{jSigned, &signedContent}})) return rc;
        OutBinstr content, cert;
        char time[32] = {};  // "YYYYMMDDhhmmss"
        if (const int rc = QELT_WCMS_ProcessSignedContent(c.ctx(), signedContent.binstr(), &content.b, &cert.b, time))
            return rc;
        if (const int rc = c.setBytes("msgBuff", content.b)) return rc;
        if (const int rc = c.setBytes("certBuff", cert.b)) return rc;
        return c.setTextBytes("genTime", time);
    });
}

}  // extern "C"
