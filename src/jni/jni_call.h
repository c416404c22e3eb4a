// The call wrapper every Java native runs in.
//
//   JNIEXPORT jint JNICALL Java_com_qelt_qeltapi_1jni__1CRYPT_1Hash(JNIEnv* env, jobject self, jint alg, jbyteArray
//   jData) {
//       return jni::run(env, self, jni::Results::Mirror, [&](jni::JniCall& c) {
//           jni::JBytes data;
//           if (int rc = c.convert({{jData, &data}})) return rc;
//           jni::OutBinstr digest;
//           if (int rc = QELT_CRYPT_Hash(c.ctx(), alg, data.binstr(), &digest.b)) return rc;
//           return c.setBytes("baReturnArray", digest.b);
//       });
//   }
//
// Each native gets a fresh API context (initialised with the Java work
// directory, "." while none is set), finished when the native returns, so
// nothing survives between natives.
// A non-zero result is reported in the calling object's fields: the standing
// message of the code and "ErrCode=%d,ErrMsg=%s" for the mirror class, the
// latter alone in `errBuff` for the object classes.
#pragma once

#include <jni.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "qeltapi.h"
#include "util/byte_string.h"

namespace qelt::jni {

// Codes of the binding layer.
inline constexpr int kFieldError = QELT_ERR_JNI_FIELD;
inline constexpr int kNullInput = QELT_ERR_JNI_NULL_INPUT;
inline constexpr int kMethodError = QELT_ERR_JNI_METHOD;
inline constexpr int kMemoryError = QELT_ERR_JNI_MEMORY;
inline constexpr int kClassError = QELT_ERR_JNI_CLASS;

// Where a failure is reported.
enum class Results {
    Mirror,  // com.qelt.qeltapi_jni: baReturnArray (standing message) and bDetailErrMsg
    Object,  // the object classes: errBuff
};

// An argument converted from Java: the bytes of a byte[] or of a String's
// getBytes(), held in a wiping ByteString. A null or empty array is empty.
class JArg {
public:
    ByteString value;
    // The bytes as an input record (pVal null when empty) for the exported functions.
    BINSTR* binstr() {
        m_record.pVal = value.isEmpty() ? nullptr : value.data();
        m_record.nLen = value.length();
        return &m_record;
    }
    // The bytes as a NUL-terminated text; "" when empty.
    char* text() { return const_cast<char*>(value.c_str()); }
    bool isString() const { return m_isString; }

protected:
    explicit JArg(bool isString) : m_isString(isString) {}

private:
    BINSTR m_record{nullptr, 0};
    bool m_isString;
};
struct JBytes : JArg {
    JBytes() : JArg(false) {}
};
struct JText : JArg {
    JText() : JArg(true) {}
};

// An output record filled by an exported function, wiped and freed at scope exit.
struct OutBinstr {
    BINSTR b{nullptr, 0};
    OutBinstr() = default;
    ~OutBinstr() { QELT_BINSTR_Delete(&b); }
    OutBinstr(const OutBinstr&) = delete;
    OutBinstr& operator=(const OutBinstr&) = delete;
};

class JniCall {
public:
    // `self` is the calling object (or the class, for a static native).
    JniCall(JNIEnv* env, jobject self, Results results);
    ~JniCall();
    JniCall(const JniCall&) = delete;
    JniCall& operator=(const JniCall&) = delete;

    JNIEnv* env() const { return m_env; }
    jobject self() const { return m_self; }
    // The call's API context; null when it could not be created (initCode()).
    void* ctx() const { return m_ctx; }
    int initCode() const { return m_initCode; }

    // Converts the arguments in order; stops at the first failure with its code (5003).
    int convert(std::initializer_list<std::pair<jobject, JArg*>> args);

    // Applies the calling object's settings, in this order, to the context:
    // `option` (QELT_API_SetOption), `confFile` when not empty
    // (QELT_API_SetConfFile), `capubs` when present (QELT_API_SetCaPubs).
    enum Setting : unsigned { kOption = 1, kConfFile = 2, kCaPubs = 4 };
    int applySettings(unsigned which);

    // Result fields of the calling object, looked up by name and signature.
    int setBytes(const char* field, const void* data, int len);
    int setBytes(const char* field, const BINSTR& b) { return setBytes(field, b.pVal, b.nLen); }
    int setBytes(const char* field, const ByteString& s) { return setBytes(field, s.data(), s.length()); }
    int setText(const char* field, const char* text);       // a new String from the text's bytes
    int setTextBytes(const char* field, const char* text);  // a byte[] of the text without its NUL
    int setInt(const char* field, jint value);
    int setLong(const char* field, jlong value);
    int getInt(const char* field, jint& value);
    int getText(const char* field, JText& value);
    int getBytes(const char* field, JBytes& value);

    // New Java values; null (with the pending exception cleared) on failure.
    jbyteArray newBytes(const void* data, int len);
    jstring newString(const char* text, int len);
    jobjectArray newStringArray(int count);

    // Calls a void method of the calling object; 5002 when it cannot be found
    // or throws. Local references made for the call's arguments should be
    // released by the caller when the method is called in a loop.
    int callVoid(const char* method, const char* signature, ...);

    // Reports `code` in the calling object's fields (see the file comment).
    void reportFailure(int code);

    // True (and the exception cleared) when a Java exception is pending.
    bool exceptionRaised();

private:
    jclass selfClass();
    jfieldID field(const char* name, const char* signature);
    int setObject(const char* field, const char* signature, jobject value);
    int convertOne(jobject value, JArg& out);

    JNIEnv* m_env;
    jobject m_self;
    Results m_results;
    jclass m_class = nullptr;
    void* m_ctx = nullptr;
    int m_initCode = 0;
};

// Runs a library function that writes a text into a caller buffer of a given
// size, growing the buffer while it answers 1004 (up to 4 MiB).
template <class Getter>
int textInto(std::vector<char>& buf, Getter&& get) {
    for (size_t size = 4096;; size *= 8) {
        buf.assign(size, 0);
        const int rc = get(static_cast<int>(size), buf.data());
        if (rc != QELT_ERR_BUFFER_TOO_SMALL || size >= (size_t{1} << 22)) return rc;
    }
}

// The work directory every native's context is initialised with: the one set
// by QeltApi._setWorkDir or qeltapi_jni._API_Init, "." while none is.
const char* workDirectory();

// Runs a native's body in a call wrapper: a context failure, a thrown
// exception (5003) or a non-zero result is reported in the object's fields.
template <class Body>
jint run(JNIEnv* env, jobject self, Results results, Body&& body) noexcept {
    int rc;
    try {
        JniCall call(env, self, results);
        if (call.ctx() == nullptr) {
            rc = call.initCode();
        } else {
            try {
                rc = body(call);
            } catch (...) {
                rc = kMemoryError;
            }
        }
        if (rc != 0) call.reportFailure(rc);
    } catch (...) {
        rc = kMemoryError;
    }
    return rc;
}

// A mirror native whose one byte output goes to baReturnArray: `call(c, out)`
// converts the arguments and makes the exported call(s) filling `out`.
template <class Call>
jint bytesResult(JNIEnv* env, jobject self, Call&& call) {
    return run(env, self, Results::Mirror, [&](JniCall& c) {
        OutBinstr out;
        if (const int rc = call(c, out.b)) return rc;
        return c.setBytes("baReturnArray", out.b);
    });
}

}  // namespace qelt::jni
