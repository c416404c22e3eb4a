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

}  // extern "C"
