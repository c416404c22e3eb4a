// The object classes of certificates and messages: cert.X509Certificate,
// cms.EnvelopedData and cms.SignedData. Failures go to the object's errBuff.
#include <algorithm>
#include <cstring>

#include "com_qelt_qeltapi_cert_X509Certificate.h"
#include "com_qelt_qeltapi_cms_EnvelopedData.h"
#include "com_qelt_qeltapi_cms_SignedData.h"
#include "jni/jni_call.h"
#include "jni/jni_signers.h"

using namespace qelt::jni;

namespace {

// QELT_CERT_Load, `read` on the loaded certificate, QELT_CERT_Unload.
template <class Read>
jint withCert(JNIEnv* env, jobject self, jbyteArray jCert, Read&& read) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes cert;
        if (const int rc = c.convert({{jCert, &cert}})) return rc;
        if (const int rc = QELT_CERT_Load(c.ctx(), cert.binstr())) return rc;
        if (const int rc = read(c)) return rc;
        return QELT_CERT_Unload(c.ctx());
    });
}

using TimeGetter = int (*)(void*, time_t*);

jint certTime(JNIEnv* env, jobject self, jbyteArray jCert, TimeGetter getter) {
    return withCert(env, self, jCert, [&](JniCall& c) {
        time_t t = 0;
        if (const int rc = getter(c.ctx(), &t)) return rc;
        return c.setLong("longBuff", static_cast<jlong>(t));
    });
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cert_X509Certificate__1getSerialNumber(JNIEnv* env, jobject self,
                                                                                    jbyteArray jCert) {
    return withCert(env, self, jCert, [&](JniCall& c) {
        OutBinstr serial;
        if (const int rc = QELT_CERT_GetSerialNum2(c.ctx(), &serial.b)) return rc;
        return c.setBytes("binBuff", serial.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cert_X509Certificate__1getNotBefore(JNIEnv* env, jobject self,
                                                                                 jbyteArray jCert) {
    return certTime(env, self, jCert, QELT_CERT_GetNotBefore);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cert_X509Certificate__1getNotAfter(JNIEnv* env, jobject self,
                                                                                jbyteArray jCert) {
    return certTime(env, self, jCert, QELT_CERT_GetNotAfter);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cert_X509Certificate__1getSubjectPublicKeyInfo(JNIEnv* env, jobject self,
                                                                                            jbyteArray jCert) {
    return withCert(env, self, jCert, [&](JniCall& c) {
        char keyAlg[50] = {};
        OutBinstr spki;
        if (const int rc = QELT_CERT_GetSubjectPubKeyInfo(c.ctx(), keyAlg, &spki.b)) return rc;
        return c.setBytes("binBuff", spki.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cert_X509Certificate__1getSignatureAlgorithm(JNIEnv* env, jobject self,
                                                                                          jbyteArray jCert) {
    return withCert(env, self, jCert, [&](JniCall& c) {
        std::vector<char> text;
        if (const int rc =
                textInto(text, [&](int n, char* b) { return QELT_CERT_GetSignatureAlgorithm(c.ctx(), n, b); }))
            return rc;
        return c.setText("strBuff", text.data());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cms_EnvelopedData__1process2(JNIEnv* env, jobject self, jbyteArray jEnv) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes enveloped;
        if (const int rc = c.convert({{jEnv, &enveloped}})) return rc;
        int count = 0;
        if (const int rc = QELT_CMS_ProcessEnvelopedData2(c.ctx(), enveloped.binstr(), &count)) return rc;
        constexpr int kField = 1024;
        std::vector<char> issuer(kField), serial(kField), keyId(kField);
        for (int i = 0; i < count; ++i) {
            std::fill(issuer.begin(), issuer.end(), 0);
            std::fill(serial.begin(), serial.end(), 0);
            std::fill(keyId.begin(), keyId.end(), 0);
            if (const int rc = QELT_CMS_GetRecipient(c.ctx(), i, kField, issuer.data(), serial.data(), keyId.data()))
                return rc;
            jstring jIssuer = c.newString(issuer.data(), static_cast<int>(std::strlen(issuer.data())));
            jstring jSerial = c.newString(serial.data(), static_cast<int>(std::strlen(serial.data())));
            jstring jKeyId = c.newString(keyId.data(), static_cast<int>(std::strlen(keyId.data())));
            int rc = kMemoryError;
            if (jIssuer != nullptr && jSerial != nullptr && jKeyId != nullptr)
                rc = c.callVoid("setRecInfos", "(IILjava/lang/String;Ljava/lang/String;Ljava/lang/String;)V",
                                static_cast<jint>(i), static_cast<jint>(count), jIssuer, jSerial, jKeyId);
            for (jobject ref :
                 {static_cast<jobject>(jIssuer), static_cast<jobject>(jSerial), static_cast<jobject>(jKeyId)})
                if (ref != nullptr) env->DeleteLocalRef(ref);
            if (rc != 0) return rc;
        }
        return 0;
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cms_SignedData__1verify(JNIEnv* env, jobject self, jbyteArray jSigned,
                                                                     jbyteArray jData) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes signedData, data;
        if (const int rc = c.convert({{jSigned, &signedData}, {jData, &data}})) return rc;
        if (const int rc = c.applySettings(0)) return rc;
        // In-out record: the detached content in, or the content inside the message out.
        OutBinstr content;
        if (!data.value.isEmpty() && QELT_BINSTR_SetData(data.value.data(), data.value.length(), &content.b) != 0)
            return kMemoryError;
        int count = 0;
        if (const int rc = QELT_CMS_ProcessSignedData2(c.ctx(), signedData.binstr(), &content.b, &count)) return rc;
        return reportSigners(c, count, content.b);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cms_SignedData__1verify_1File(JNIEnv* env, jobject self,
                                                                           jstring jSignedFile, jstring jDataFile,
                                                                           jint detached) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JText signedFile, dataFile;
        if (const int rc = c.convert({{jSignedFile, &signedFile}, {jDataFile, &dataFile}})) return rc;
        OutBinstr cert;
        int time = 0;
        const int rc = detached != 0 ? QELT_CMS_ProcessSignedData_NoContent_File2(c.ctx(), signedFile.text(),
                                                                                  dataFile.text(), &cert.b, &time)
                                     : QELT_CMS_ProcessSignedData_File2(c.ctx(), signedFile.text(), dataFile.text(),
                                                                        &cert.b, &time);
        if (rc != 0) return rc;
        return reportOneSigner(c, cert.b, time, nullptr);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cms_SignedData__1signData_1File(JNIEnv* env, jobject self,
                                                                             jbyteArray jCert, jbyteArray jPriKey,
                                                                             jstring jDataFile, jstring jTime,
                                                                             jstring jSignedFile, jint hashAlg,
                                                                             jint option, jint detached) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes cert, priKey;
        JText dataFile, time, signedFile;
        if (const int rc = c.convert({{jCert, &cert},
                                      {jPriKey, &priKey},
                                      {jDataFile, &dataFile},
                                      {jTime, &time},
                                      {jSignedFile, &signedFile}}))
            return rc;
        if (option != 0)
            if (const int rc = QELT_API_SetOption(c.ctx(), option)) return rc;
        if (hashAlg != 0)
            if (const int rc = QELT_API_SetHashAlgo(c.ctx(), hashAlg)) return rc;
        if (detached != 0)
            return QELT_CMS_MakeSignedData_NoContent_File(c.ctx(), cert.binstr(), priKey.binstr(), dataFile.text(),
                                                          time.text(), signedFile.text());
        return QELT_CMS_MakeSignedData_File(c.ctx(), cert.binstr(), priKey.binstr(), dataFile.text(), time.text(),
                                            signedFile.text());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_cms_SignedData__1setTimeStampToken(JNIEnv* env, jobject self,
                                                                                jbyteArray jSigned, jint index,
                                                                                jbyteArray jToken) {
    return run(env, self, Results::Object, [&](JniCall& c) {
        JBytes signedData, token;
        if (const int rc = c.convert({{jSigned, &signedData}, {jToken, &token}})) return rc;
        OutBinstr out;
        if (const int rc = QELT_CMS_SetTimeStampToken(c.ctx(), signedData.binstr(), index, token.binstr(), &out.b))
            return rc;
        return c.setBytes("outBuff", out.b);
    });
}

}  // extern "C"
