// com.qelt.qeltapi_jni: certificates and private keys on storage media. Each
// native loads the storage plug-in it is given (none for disk files), makes
// its one storage call and unloads the plug-in again: no module stays loaded
// between natives, as no context does.
#include "com_qelt_qeltapi_jni.h"
#include "jni/jni_call.h"

using namespace qelt::jni;

namespace {

// The medium's arguments common to every storage native.
struct Medium {
    JText libPath, info;
};

// Converts the plug-in path and the medium's info (first), then `more`, loads
// the plug-in when a path is given and runs `call`. After a success the
// plug-in is unloaded here, so that an unload failure is reported; after a
// failure it is left to QELT_API_Finish, so that the call's own error stays
// the context's last one.
template <class Call>
int onMedium(JniCall& c, jstring jLib, jstring jInfo, std::initializer_list<std::pair<jobject, JArg*>> more,
             Call&& call) {
    Medium m;
    if (const int rc = c.convert({{jLib, &m.libPath}, {jInfo, &m.info}})) return rc;
    if (const int rc = c.convert(more)) return rc;
    const bool plugin = !m.libPath.value.isEmpty();
    if (plugin)
        if (const int rc = QELT_STORAGE_Load(c.ctx(), m.libPath.text())) return rc;
    if (const int rc = call(m.info.text())) return rc;
    return plugin ? QELT_STORAGE_Unload(c.ctx()) : 0;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_STORAGE_1ReadCert(JNIEnv* env, jobject self, jstring jLib,
                                                                    jint mediaType, jstring jInfo, jint dataType) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        return onMedium(c, jLib, jInfo, {},
                        [&](char* info) { return QELT_STORAGE_ReadCert(c.ctx(), mediaType, info, dataType, &out); });
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_STORAGE_1ReadPriKey(JNIEnv* env, jobject self, jstring jLib,
                                                                      jint mediaType, jstring jInfo, jstring jPassword,
                                                                      jint dataType) {
    return bytesResult(env, self, [&](JniCall& c, BINSTR& out) {
        JText password;
        return onMedium(c, jLib, jInfo, {{jPassword, &password}}, [&](char* info) {
            return QELT_STORAGE_ReadPriKey(c.ctx(), mediaType, info, password.text(), dataType, &out);
        });
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_STORAGE_1WriteCert(JNIEnv* env, jobject self, jstring jLib,
                                                                     jint mediaType, jstring jInfo, jint dataType,
                                                                     jbyteArray jCert) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JBytes cert;
        return onMedium(c, jLib, jInfo, {{jCert, &cert}}, [&](char* info) {
            return QELT_STORAGE_WriteCert(c.ctx(), mediaType, info, dataType, cert.binstr());
        });
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_STORAGE_1WritePriKey(JNIEnv* env, jobject self, jstring jLib,
                                                                       jint mediaType, jstring jInfo, jstring jPassword,
                                                                       jint dataType, jint symAlg, jbyteArray jPriKey) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText password;
        JBytes priKey;
        return onMedium(c, jLib, jInfo, {{jPassword, &password}, {jPriKey, &priKey}}, [&](char* info) {
            return QELT_STORAGE_WritePriKey(c.ctx(), mediaType, info, password.text(), dataType, symAlg,
                                            priKey.binstr());
        });
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_STORAGE_1DeleteCert(JNIEnv* env, jobject self, jstring jLib,
                                                                      jint mediaType, jstring jInfo, jint dataType) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        return onMedium(c, jLib, jInfo, {},
                        [&](char* info) { return QELT_STORAGE_DeleteCert(c.ctx(), mediaType, info, dataType); });
    });
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni_STORAGE_1DeletePriKey(JNIEnv* env, jobject self, jstring jLib,
                                                                        jint mediaType, jstring jInfo,
                                                                        jstring jPassword, jint dataType) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        JText password;
        return onMedium(c, jLib, jInfo, {{jPassword, &password}}, [&](char* info) {
            return QELT_STORAGE_DeletePriKey(c.ctx(), mediaType, info, password.text(), dataType);
        });
    });
}

}  // extern "C"
