// The C side of the Java-binding benchmark: the same exported calls a native
// makes (context, call, record release, context finish), looped in C and
// started from Java, so both sides run in one JVM process on one library.
// Built into its own small library: libqeltapi.so keeps exactly its natives.
#include <jni.h>

#include <vector>

#include "qeltapi.h"

namespace {

// A Java byte[] copied once, outside the timed loop.
std::vector<unsigned char> bytesOf(JNIEnv* env, jbyteArray a) {
    std::vector<unsigned char> v(static_cast<size_t>(env->GetArrayLength(a)));
    env->GetByteArrayRegion(a, 0, static_cast<jsize>(v.size()), reinterpret_cast<jbyte*>(v.data()));
    return v;
}

BINSTR view(std::vector<unsigned char>& v) { return BINSTR{v.data(), static_cast<int>(v.size())}; }

}  // namespace

extern "C" {

// `n` rounds of QELT_API_Init, QELT_CRYPT_Hash, QELT_BINSTR_Delete, QELT_API_Finish; the failures counted.
JNIEXPORT jint JNICALL Java_com_qelt_bench_JniBench_hashLoop(JNIEnv* env, jclass, jint n, jint alg, jbyteArray jData,
                                                             jstring jWorkDir) {
    std::vector<unsigned char> data = bytesOf(env, jData);
    const char* workDir = env->GetStringUTFChars(jWorkDir, nullptr);
    jint failures = 0;
    for (jint i = 0; i < n; ++i) {
        void* ctx = nullptr;
        BINSTR in = view(data), out{nullptr, 0};
        if (QELT_API_Init(&ctx, workDir) != 0 || QELT_CRYPT_Hash(ctx, alg, &in, &out) != 0) ++failures;
        QELT_BINSTR_Delete(&out);
        QELT_API_Finish(&ctx);
    }
    env->ReleaseStringUTFChars(jWorkDir, workDir);
    return failures;
}

// `n` rounds of QELT_API_Init, QELT_CRYPT_Verify, QELT_API_Finish; the failures counted.
JNIEXPORT jint JNICALL Java_com_qelt_bench_JniBench_verifyLoop(JNIEnv* env, jclass, jint n, jbyteArray jCert,
                                                               jint hashAlg, jbyteArray jData, jbyteArray jSig,
                                                               jstring jWorkDir) {
    std::vector<unsigned char> cert = bytesOf(env, jCert), data = bytesOf(env, jData), sig = bytesOf(env, jSig);
    const char* workDir = env->GetStringUTFChars(jWorkDir, nullptr);
    jint failures = 0;
    for (jint i = 0; i < n; ++i) {
        void* ctx = nullptr;
        BINSTR c = view(cert), d = view(data), s = view(sig);
        if (QELT_API_Init(&ctx, workDir) != 0 || QELT_CRYPT_Verify(ctx, &c, hashAlg, &d, &s) != 0) ++failures;
        QELT_API_Finish(&ctx);
    }
    env->ReleaseStringUTFChars(jWorkDir, workDir);
    return failures;
}

// What every native returning bytes must do whatever it computes: cross into
// native code, make the 32-byte result array, fill it and store it in the
// object's baReturnArray. Timed from Java, it shows the part of a native's
// cost that no conversion work of the library can remove.
JNIEXPORT void JNICALL Java_com_qelt_bench_JniBench_resultOnly(JNIEnv* env, jclass, jobject target) {
    static jfieldID field = nullptr;
    if (field == nullptr) {
        jclass cls = env->GetObjectClass(target);
        field = env->GetFieldID(cls, "baReturnArray", "[B");
        env->DeleteLocalRef(cls);
        if (field == nullptr) return;
    }
    const jbyte zeros[32] = {};
    jbyteArray array = env->NewByteArray(32);
    if (array == nullptr) return;
    env->SetByteArrayRegion(array, 0, 32, zeros);
    if (env->ExceptionCheck()) return;
    env->SetObjectField(target, field, array);
    env->DeleteLocalRef(array);
}

}  // extern "C"
