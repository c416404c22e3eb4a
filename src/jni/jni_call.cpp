#include "jni/jni_call.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>

#include "api/error_record.h"

namespace qelt::jni {

namespace {

// Local references a native may hold at once (arguments, results, the
// callbacks' arguments of one round); natives that loop release per round.
constexpr jint kLocalFrame = 32;
constexpr int kErrInfoSize = 2048;
constexpr const char* kNoErrorMessage = "NO ERROR MESSAGE !";

// Field IDs already looked up, by class, name and signature: a lookup by name
// costs as much as a small native's own work. The classes are held by global
// references (a class in the cache is never unloaded); the table is small and
// fixed, and a class beyond it is simply looked up each time.
class FieldCache {
public:
    jfieldID find(JNIEnv* env, jclass cls, const char* name, const char* signature) {
        const int n = m_count.load(std::memory_order_acquire);
        for (int i = 0; i < n; ++i) {
            const Entry& e = m_entries[i];
            if (std::strcmp(e.name, name) == 0 && std::strcmp(e.signature, signature) == 0 &&
                env->IsSameObject(e.cls, cls))
                return e.id;
        }
        return nullptr;
    }
    void add(JNIEnv* env, jclass cls, const char* name, const char* signature, jfieldID id) {
        std::lock_guard lock(m_lock);
        const int n = m_count.load(std::memory_order_relaxed);
        if (n == kSize) return;
        for (int i = 0; i < n; ++i)
            if (m_entries[i].name == name && m_entries[i].signature == signature &&
                env->IsSameObject(m_entries[i].cls, cls))
                return;  // added by another thread meanwhile
        const auto global = static_cast<jclass>(env->NewGlobalRef(cls));
        if (global == nullptr) {
            env->ExceptionClear();
            return;
        }
        m_entries[n] = Entry{global, name, signature, id};
        m_count.store(n + 1, std::memory_order_release);
    }

private:
    struct Entry {
        jclass cls;
        const char* name;  // the natives' string literals
        const char* signature;
        jfieldID id;
    };
    static constexpr int kSize = 64;
    Entry m_entries[kSize] = {};
    std::atomic<int> m_count{0};
    std::mutex m_lock;
};

FieldCache g_fieldCache;

}  // namespace

JniCall::JniCall(JNIEnv* env, jobject self, Results results) : m_env(env), m_self(self), m_results(results) {
    // The native's local references are released when it returns; it only
    // needs room for more than the 16 the JVM guarantees.
    if (env->EnsureLocalCapacity(kLocalFrame) != 0) {
        env->ExceptionClear();
        m_initCode = kMemoryError;
        return;
    }
    m_initCode = QELT_API_Init(&m_ctx, workDirectory());
    if (m_initCode != 0) m_ctx = nullptr;
}

JniCall::~JniCall() { QELT_API_Finish(&m_ctx); }

bool JniCall::exceptionRaised() {
    if (!m_env->ExceptionCheck()) return false;
    m_env->ExceptionClear();
    return true;
}

int JniCall::convertOne(jobject value, JArg& out) {
    out.value.clear();
    if (value == nullptr) return 0;
    jbyteArray array = nullptr;
    if (out.isString()) {
        // The platform's default charset, as String.getBytes() gives it.
        const jclass stringClass = m_env->GetObjectClass(value);
        const jmethodID getBytes = m_env->GetMethodID(stringClass, "getBytes", "()[B");
        m_env->DeleteLocalRef(stringClass);
        if (getBytes == nullptr) {
            exceptionRaised();
            return kMethodError;
        }
        array = static_cast<jbyteArray>(m_env->CallObjectMethod(value, getBytes));
        if (exceptionRaised() || array == nullptr) return kMemoryError;
    } else {
        array = static_cast<jbyteArray>(value);
    }
    int rc = 0;
    const jsize len = m_env->GetArrayLength(array);
    if (len > 0) {
        // The elements are copied straight from the pinned array and released
        // without copy-back: no intermediate copy of a possibly large input.
        void* elements = m_env->GetPrimitiveArrayCritical(array, nullptr);
        if (elements == nullptr) {
            exceptionRaised();
            rc = kMemoryError;
        } else {
            rc = out.value.set(elements, len) == 0 ? 0 : kMemoryError;
            m_env->ReleasePrimitiveArrayCritical(array, elements, JNI_ABORT);
        }
    }
    if (out.isString()) m_env->DeleteLocalRef(array);
    if (rc != 0) out.value.clear();
    return rc;
}

int JniCall::convert(std::initializer_list<std::pair<jobject, JArg*>> args) {
    for (const auto& [value, out] : args)
        if (const int rc = convertOne(value, *out)) return rc;
    return 0;
}

int JniCall::applySettings(unsigned which) {
    if (which & kOption) {
        jint option = 0;
        if (const int rc = getInt("option", option)) return rc;
        if (const int rc = QELT_API_SetOption(m_ctx, option)) return rc;
    }
    if (which & kConfFile) {
        JText conf;
        if (const int rc = getText("confFile", conf)) return rc;
        if (!conf.value.isEmpty())
            if (const int rc = QELT_API_SetConfFile(m_ctx, conf.text())) return rc;
    }
    if (which & kCaPubs) {
        JBytes caPubs;
        if (const int rc = getBytes("capubs", caPubs)) return rc;
        if (!caPubs.value.isEmpty())
            if (const int rc = QELT_API_SetCaPubs(m_ctx, caPubs.binstr())) return rc;
    }
    return 0;
}

jclass JniCall::selfClass() {
    if (m_class == nullptr) m_class = m_env->GetObjectClass(m_self);
    return m_class;
}

jfieldID JniCall::field(const char* name, const char* signature) {
    if (selfClass() == nullptr) return nullptr;
    if (const jfieldID cached = g_fieldCache.find(m_env, m_class, name, signature)) return cached;
    const jfieldID id = m_env->GetFieldID(m_class, name, signature);
    if (id == nullptr) {
        exceptionRaised();
        return nullptr;
    }
    g_fieldCache.add(m_env, m_class, name, signature, id);
    return id;
}

jbyteArray JniCall::newBytes(const void* data, int len) {
    if (len < 0) len = 0;
    jbyteArray array = m_env->NewByteArray(len);
    if (array == nullptr) {
        exceptionRaised();
        return nullptr;
    }
    if (len > 0) {
        m_env->SetByteArrayRegion(array, 0, len, static_cast<const jbyte*>(data));
        if (exceptionRaised()) {
            m_env->DeleteLocalRef(array);
            return nullptr;
        }
    }
    return array;
}

jstring JniCall::newString(const char* text, int len) {
    // new String(byte[]): the platform's default charset, like getBytes() on the way in.
    const jclass stringClass = m_env->FindClass("java/lang/String");
    if (stringClass == nullptr) {
        exceptionRaised();
        return nullptr;
    }
    jstring result = nullptr;
    const jmethodID ctor = m_env->GetMethodID(stringClass, "<init>", "([B)V");
    if (ctor == nullptr) {
        exceptionRaised();
    } else if (jbyteArray bytes = newBytes(text, len); bytes != nullptr) {
        result = static_cast<jstring>(m_env->NewObject(stringClass, ctor, bytes));
        if (exceptionRaised()) result = nullptr;
        m_env->DeleteLocalRef(bytes);
    }
    m_env->DeleteLocalRef(stringClass);
    return result;
}

jobjectArray JniCall::newStringArray(int count) {
    const jclass stringClass = m_env->FindClass("java/lang/String");
    if (stringClass == nullptr) {
        exceptionRaised();
        return nullptr;
    }
    jobjectArray array = m_env->NewObjectArray(count, stringClass, nullptr);
    if (array == nullptr) exceptionRaised();
    m_env->DeleteLocalRef(stringClass);
    return array;
}

int JniCall::setObject(const char* name, const char* signature, jobject value) {
    const jfieldID id = field(name, signature);
    if (id == nullptr) return kFieldError;
    m_env->SetObjectField(m_self, id, value);
    return 0;
}

int JniCall::setBytes(const char* name, const void* data, int len) {
    jbyteArray array = newBytes(data, len);
    if (array == nullptr) return kMemoryError;
    const int rc = setObject(name, "[B", array);
    m_env->DeleteLocalRef(array);
    return rc;
}

int JniCall::setTextBytes(const char* name, const char* text) {
    return setBytes(name, text, static_cast<int>(std::strlen(text)));
}

int JniCall::setText(const char* name, const char* text) {
    jstring s = newString(text, static_cast<int>(std::strlen(text)));
    if (s == nullptr) return kMemoryError;
    const int rc = setObject(name, "Ljava/lang/String;", s);
    m_env->DeleteLocalRef(s);
    return rc;
}

int JniCall::setInt(const char* name, jint value) {
    const jfieldID id = field(name, "I");
    if (id == nullptr) return kFieldError;
    m_env->SetIntField(m_self, id, value);
    return 0;
}

int JniCall::setLong(const char* name, jlong value) {
    const jfieldID id = field(name, "J");
    if (id == nullptr) return kFieldError;
    m_env->SetLongField(m_self, id, value);
    return 0;
}

int JniCall::getInt(const char* name, jint& value) {
    const jfieldID id = field(name, "I");
    if (id == nullptr) return kFieldError;
    value = m_env->GetIntField(m_self, id);
    return 0;
}

int JniCall::getText(const char* name, JText& value) {
    const jfieldID id = field(name, "Ljava/lang/String;");
    if (id == nullptr) return kFieldError;
    jobject s = m_env->GetObjectField(m_self, id);
    const int rc = convertOne(s, value);
    m_env->DeleteLocalRef(s);
    return rc;
}

int JniCall::getBytes(const char* name, JBytes& value) {
    const jfieldID id = field(name, "[B");
    if (id == nullptr) return kFieldError;
    jobject a = m_env->GetObjectField(m_self, id);
    const int rc = convertOne(a, value);
    m_env->DeleteLocalRef(a);
    return rc;
}

int JniCall::callVoid(const char* method, const char* signature, ...) {
    if (selfClass() == nullptr) return kClassError;
    const jmethodID id = m_env->GetMethodID(m_class, method, signature);
    if (id == nullptr) {
        exceptionRaised();
        return kMethodError;
    }
    va_list args;
    va_start(args, signature);
    m_env->CallVoidMethodV(m_self, id, args);
    va_end(args);
    return exceptionRaised() ? kMethodError : 0;
}

void JniCall::reportFailure(int code) {
    char detail[kErrInfoSize] = {};
    // A binding-layer code comes from no exported call: the context's detail
    // (if any) belongs to an earlier call whose failure the native tolerated.
    const bool bindingCode = code >= kFieldError && code <= kClassError;
    if (m_ctx == nullptr || bindingCode || QELT_API_GetErrInfo(m_ctx, kErrInfoSize, detail) != 0) {
        std::memset(detail, 0, sizeof detail);
        std::memcpy(detail, kNoErrorMessage, std::strlen(kNoErrorMessage));
    }
    ByteString text;
    text.format("ErrCode=%d,ErrMsg=%s", code, detail);
    if (m_results == Results::Mirror) {
        const char* standing = ErrorMessageLookup(code);
        (void)setBytes("baReturnArray", standing, static_cast<int>(std::strlen(standing)));
        (void)setBytes("bDetailErrMsg", text);
    } else {
        (void)setBytes("errBuff", text);
    }
}

}  // namespace qelt::jni
