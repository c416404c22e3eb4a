// com.qelt.qeltapi_jni: signed, enveloped, encrypted and signed-and-enveloped
// messages, in memory and over files.
#include <cstring>

#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"
#include "jni/jni_signers.h"

using namespace qelt::jni;

namespace {

// Settings the message makers read: the object's option word, then the call's own.
int makerSettings(JniCall& c, jint option) {
    if (const int rc = c.applySettings(JniCall::kOption | JniCall::kCaPubs)) return rc;
    return option != 0 ? QELT_API_SetOption(c.ctx(), option) : 0;
}

// The object's settings, then the signing hash (0 follows the certificate).
int signerSettings(JniCall& c, jint hashAlg) {
    if (const int rc = c.applySettings(JniCall::kOption | JniCall::kCaPubs)) return rc;
    return hashAlg != 0 ? QELT_API_SetHashAlgo(c.ctx(), hashAlg) : 0;
}

using SignCall = int (*)(void*, BINSTR*, BINSTR*, BINSTR*, char*, BINSTR*);

jint sign(JNIEnv* env, jobject self, jbyteArray jCert, jbyteArray jPriKey, jbyteArray jIn, jstring jTime, jint hashAlg,
          SignCall call) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert, priKey, in;
        JText time;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jIn, &in}, {jTime, &time}})) return rc;
        if (const int rc = signerSettings(c, hashAlg)) return rc;
        return call(c.ctx(), cert.binstr(), priKey.binstr(), in.binstr(), time.text(), &out);
    });
}

// QELT_CMS_ProcessSignedData2, the content into baReturnArray, the signers to
// setSignerCert; with `texts` also nSignerCnt, setSignTimes and setSignerCerts.
jint processSigned(JNIEnv* env, jobject self, jbyteArray jSigned, bool texts) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes signedData;
        if (const int rc = c.convert({{jSigned, &signedData}})) return rc;
        OutBinstr content;
        int count = 0;
        if (const int rc = QELT_CMS_ProcessSignedData2(c.ctx(), signedData.binstr(), &content.b, &count)) return rc;
        if (const int rc = c.setBytes("baReturnArray", content.b)) return rc;
        if (const int rc = reportSigners(c, count, content.b)) return rc;
        if (!texts) return 0;
        if (const int rc = c.setInt("nSignerCnt", count)) return rc;
        jobjectArray times = c.newStringArray(count);
        jobjectArray certs = c.newStringArray(count);
        if (times == nullptr || certs == nullptr) return kMemoryError;
        for (int i = 0; i < count; ++i) {
            OutBinstr cert, certText;
            char time[16] = {};
            if (const int rc = QELT_CMS_GetSigner(c.ctx(), i, &cert.b, time)) return rc;
            if (const int rc = QELT_BASE64_Encode(c.ctx(), &cert.b, &certText.b)) return rc;
            jstring jTime = c.newString(time, static_cast<int>(std::strlen(time)));
            jstring jCertText = c.newString(reinterpret_cast<const char*>(certText.b.pVal), certText.b.nLen);
            if (jTime == nullptr || jCertText == nullptr) return kMemoryError;
            env->SetObjectArrayElement(times, i, jTime);
            env->SetObjectArrayElement(certs, i, jCertText);
            env->DeleteLocalRef(jTime);
            env->DeleteLocalRef(jCertText);
        }
        if (const int rc = c.callVoid("setSignTimes", "([Ljava/lang/String;)V", times)) return rc;
        return c.callVoid("setSignerCerts", "([Ljava/lang/String;)V", certs);
    });
}

using EnvelopCall = int (*)(void*, BINSTR*, BINSTR*, int, BINSTR*);

jint envelop(JNIEnv* env, jobject self, jbyteArray jCerts, jbyteArray jData, jint symAlg, jint option,
             EnvelopCall call) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes certs, data;
        if (const int rc = c.convert({{jCerts, &certs}, {jData, &data}})) return rc;
        if (const int rc = makerSettings(c, option)) return rc;
        return call(c.ctx(), certs.binstr(), data.binstr(), symAlg, &out);
    });
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1MakeSignedData(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                        jbyteArray jPriKey, jbyteArray jData,
                                                                        jstring jTime, jint hashAlg) {
    return sign(env, self, jCert, jPriKey, jData, jTime, hashAlg, QELT_CMS_MakeSignedData);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1MakeSignedDataWithAddSigner(
    JNIEnv* env, jobject self, jbyteArray jCert, jbyteArray jPriKey, jbyteArray jSigned, jstring jTime, jint hashAlg) {
    return sign(env, self, jCert, jPriKey, jSigned, jTime, hashAlg, QELT_CMS_MakeSignedDataWithAddSigner);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessSignedData(JNIEnv* env, jobject self,
                                                                           jbyteArray jSigned) {
    return processSigned(env, self, jSigned, false);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessSignedData2(JNIEnv* env, jobject self,
                                                                            jbyteArray jSigned) {
    return processSigned(env, self, jSigned, true);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CMS_1MakeEnvelopedData(JNIEnv* env, jobject self, jbyteArray jCert,
                                                                         jbyteArray jData, jint symAlg, jint option) {
    return envelop(env, self, jCert, jData, symAlg, option, QELT_CMS_MakeEnvelopedData);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CMS_1MakeEnvelopedDataWithMultiRecipients(JNIEnv* env, jobject self,
                                                                                            jbyteArray jCerts,
                                                                                            jbyteArray jData,
                                                                                            jint symAlg, jint option) {
    return envelop(env, self, jCerts, jData, symAlg, option, QELT_CMS_MakeEnvelopedDataWithMultiRecipients);
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CMS_1MakeEnvelopedData_1File(JNIEnv* env, jobject self,
                                                                               jbyteArray jCert, jstring jIn,
                                                                               jint symAlg, jstring jOut,
                                                                               jstring jEncOut, jint option) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert;
        JText in, out, encOut;
        if (const int rc = c.convert({{jCert, &cert}, {jIn, &in}, {jOut, &out}, {jEncOut, &encOut}})) return rc;
        if (const int rc = makerSettings(c, option)) return rc;
        // Without a ciphertext file the ciphertext stays inside the message file.
        if (encOut.value.isEmpty())
            return QELT_CMS_MakeEnvelopedData_File(c.ctx(), cert.binstr(), in.text(), symAlg, out.text());
        return QELT_CMS_MakeEnvelopedData_NoContent_File(c.ctx(), cert.binstr(), in.text(), symAlg, out.text(),
                                                         encOut.text());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessEnvelopedData(JNIEnv* env, jobject self,
                                                                              jbyteArray jCert, jbyteArray jPriKey,
                                                                              jbyteArray jEnv) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert, priKey, enveloped;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jEnv, &enveloped}})) return rc;
        if (const int rc = c.applySettings(JniCall::kOption)) return rc;
        return QELT_CMS_ProcessEnvelopedData(c.ctx(), cert.binstr(), priKey.binstr(), enveloped.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessEnvelopedData_1File(
    JNIEnv* env, jobject self, jbyteArray jCert, jbyteArray jPriKey, jstring jEnvFile, jstring jDataFile) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, priKey;
        JText envFile, dataFile;
        if (const int rc =
                c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jEnvFile, &envFile}, {jDataFile, &dataFile}}))
            return rc;
        if (const int rc = c.applySettings(JniCall::kOption)) return rc;
        return QELT_CMS_ProcessEnvelopedData_File(c.ctx(), cert.binstr(), priKey.binstr(), envFile.text(),
                                                  dataFile.text());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessEnvelopedData_1NoContent_1File(
    JNIEnv* env, jobject self, jbyteArray jCert, jbyteArray jPriKey, jstring jEnvFile, jstring jEncFile,
    jstring jDataFile) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, priKey;
        JText envFile, encFile, dataFile;
        if (const int rc = c.convert({{jCert, &cert},
                                      {jPriKey, &priKey},
                                      {jEnvFile, &envFile},
                                      {jEncFile, &encFile},
                                      {jDataFile, &dataFile}}))
            return rc;
        if (const int rc = c.applySettings(JniCall::kOption)) return rc;
        return QELT_CMS_ProcessEnvelopedData_NoContent_File(c.ctx(), cert.binstr(), priKey.binstr(), envFile.text(),
                                                            encFile.text(), dataFile.text());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_CMS_1MakeEncryptedData(JNIEnv* env, jobject self, jint symAlg,
                                                                         jbyteArray jKey, jbyteArray jIv,
                                                                         jbyteArray jData) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes key, iv, data;
        if (const int rc = c.convert({{jKey, &key}, {jIv, &iv}, {jData, &data}})) return rc;
        if (const int rc = QELT_CRYPT_SetKeyAndIV(c.ctx(), symAlg, key.binstr(), iv.binstr())) return rc;
        return QELT_CMS_MakeEncryptedData(c.ctx(), data.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessEncryptedData(JNIEnv* env, jobject self,
                                                                              jbyteArray jKey, jbyteArray jEnc) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes key, enc;
        if (const int rc = c.convert({{jKey, &key}, {jEnc, &enc}})) return rc;
        return QELT_CMS_ProcessEncryptedData(c.ctx(), key.binstr(), enc.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1MakeSignedAndEnvData(JNIEnv* env, jobject self,
                                                                              jbyteArray jCert, jbyteArray jPriKey,
                                                                              jbyteArray jRecCert, jbyteArray jData,
                                                                              jint symAlg, jint hashAlg) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes cert, priKey, recCert, data;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jRecCert, &recCert}, {jData, &data}}))
            return rc;
        if (const int rc = signerSettings(c, hashAlg)) return rc;
        return QELT_CMS_MakeSignedAndEnvData(c.ctx(), cert.binstr(), priKey.binstr(), recCert.binstr(), data.binstr(),
                                             symAlg, &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CMS_1ProcessSignedAndEnvData(JNIEnv* env, jobject self,
                                                                                 jbyteArray jCert, jbyteArray jPriKey,
                                                                                 jbyteArray jMessage) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert, priKey, message;
        if (const int rc = c.convert({{jCert, &cert}, {jPriKey, &priKey}, {jMessage, &message}})) return rc;
        if (const int rc = c.applySettings(JniCall::kOption)) return rc;
        OutBinstr content, signer;
        if (const int rc = QELT_CMS_ProcessSignedAndEnvData(c.ctx(), cert.binstr(), priKey.binstr(), message.binstr(),
                                                            &content.b, &signer.b))
            return rc;
        if (const int rc = c.setBytes("baReturnArray", content.b)) return rc;
        return reportOneSigner(c, signer.b, 0, &content.b);
    });
}

}  // extern "C"
