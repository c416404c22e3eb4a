// The Java work directory: one process-wide buffer, set once by
// QeltApi._setWorkDir or qeltapi_jni._API_Init and read by every native when
// it initialises its context.
#include <atomic>
#include <cstring>
#include <mutex>

#include "jni/jni_call.h"

namespace qelt::jni {

namespace {

constexpr size_t kWorkDirSize = 1024;
constexpr const char* kLengthMessage = "The length of work directory path can't exceed 1024.";

char g_workDir[kWorkDirSize] = {};
std::atomic<bool> g_workDirSet{false};
std::mutex g_workDirLock;

enum class SetResult { Set, AlreadySet, BadLength, NoString };

// Copies the string's modified-UTF-8 bytes into the buffer unless it is set.
SetResult setWorkDir(JNIEnv* env, jstring path) {
    std::lock_guard lock(g_workDirLock);
    if (g_workDirSet.load(std::memory_order_acquire)) return SetResult::AlreadySet;
    if (path == nullptr) return SetResult::NoString;
    const char* bytes = env->GetStringUTFChars(path, nullptr);
    if (bytes == nullptr) {
        env->ExceptionClear();
        return SetResult::NoString;
    }
    const size_t withZero = static_cast<size_t>(env->GetStringUTFLength(path)) + 1;
    SetResult result = SetResult::BadLength;
    if (withZero >= 1 && withZero <= kWorkDirSize) {
        std::memset(g_workDir, 0, kWorkDirSize);
        std::memcpy(g_workDir, bytes, withZero - 1);
        // An empty path leaves the buffer empty, so "." stays in force and a later call may still set one.
        if (g_workDir[0] != 0) g_workDirSet.store(true, std::memory_order_release);
        result = SetResult::Set;
    }
    env->ReleaseStringUTFChars(path, bytes);
    return result;
}

}  // namespace

const char* workDirectory() { return g_workDirSet.load(std::memory_order_acquire) ? g_workDir : "."; }

}  // namespace qelt::jni

using namespace qelt::jni;

extern "C" {

JNIEXPORT jstring JNICALL Java_com_qelt_qeltapi_QeltApi__1setWorkDir(JNIEnv* env, jclass, jstring path) {
    const SetResult result = setWorkDir(env, path);
    const char* answer = "";
    if (result == SetResult::BadLength) answer = kLengthMessage;
    if (result == SetResult::NoString) answer = "The input parameter is null.";
    jstring s = env->NewStringUTF(answer);
    if (s == nullptr) env->ExceptionClear();
    return s;
}

JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1API_1Init(JNIEnv* env, jobject self, jstring path) {
    const SetResult result = setWorkDir(env, path);
    if (result == SetResult::Set || result == SetResult::AlreadySet) return 0;
    const char* text = result == SetResult::BadLength ? kLengthMessage : "The input parameter is null.";
    // The text goes to errBuff as it is, without the ErrCode frame of the other natives.
    jclass cls = env->GetObjectClass(self);
    const jfieldID id = env->GetFieldID(cls, "errBuff", "[B");
    env->DeleteLocalRef(cls);
    if (id == nullptr) {
        env->ExceptionClear();
        return kFieldError;
    }
    const jsize len = static_cast<jsize>(std::strlen(text));
    jbyteArray bytes = env->NewByteArray(len);
    if (bytes == nullptr) {
        env->ExceptionClear();
        return kMemoryError;
    }
    env->SetByteArrayRegion(bytes, 0, len, reinterpret_cast<const jbyte*>(text));
    env->SetObjectField(self, id, bytes);
    env->DeleteLocalRef(bytes);
    return result == SetResult::BadLength ? 1 : kNullInput;
}

}  // extern "C"
