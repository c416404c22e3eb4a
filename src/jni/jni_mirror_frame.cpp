// com.qelt.qeltapi_jni: the frame natives (version, information, Base64, whole files).
#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1API_1GetVersion(JNIEnv* env, jobject self) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        std::vector<char> text;
        if (const int rc = textInto(text, [&](int n, char* b) { return QELT_API_GetVersion(c.ctx(), n, b); }))
            return rc;
        return c.setText("sReturnString", text.data());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_API_1GetInfo(JNIEnv* env, jobject self, jint bufLen) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        // The caller's size decides, as it would for a C caller's buffer.
        std::vector<char> text(bufLen > 0 ? static_cast<size_t>(bufLen) : 1, 0);
        if (const int rc = QELT_API_GetInfo(c.ctx(), bufLen, text.data())) return rc;
        return c.setText("sReturnString", text.data());
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1BASE64_1Encode(JNIEnv* env, jobject self, jbyteArray jData) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes data;
        if (const int rc = c.convert({{jData, &data}})) return rc;
        return QELT_BASE64_Encode(c.ctx(), data.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1BASE64_1Decode(JNIEnv* env, jobject self, jbyteArray jEnc) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JBytes enc;
        if (const int rc = c.convert({{jEnc, &enc}})) return rc;
        return QELT_BASE64_Decode(c.ctx(), enc.binstr(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1STORAGE_1ReadFile(JNIEnv* env, jobject self, jstring jPath) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText path;
        if (const int rc = c.convert({{jPath, &path}})) return rc;
        return QELT_STORAGE_ReadFile(c.ctx(), path.text(), &out);
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1STORAGE_1WriteFile(JNIEnv* env, jobject self, jstring jPath,
                                                                       jbyteArray jData) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText path;
        JBytes data;
        if (const int rc = c.convert({{jPath, &path}, {jData, &data}})) return rc;
        return QELT_STORAGE_WriteFile(c.ctx(), path.text(), data.binstr());
    });
}

}  // extern "C"
