// The guard every exported function runs in.
//
//   QELT_EXPORT int QELT_X_Do(void* pCtx, BINSTR* pIn, BINSTR* pOut) {
//       return api::run(pCtx, "QELT_X_Do", [&](ApiCall& call) {
//           if (!hasBytes(pIn)) return call.invalid("입력(pIn)을 지정해 주세요."_cp949);
//           if (pOut == nullptr) return call.nullOutput("pOut");
//           ...work...
//           return call.putBytes(pOut, result, "out");
//       });
//   }
//
// run() is the common prologue (null or disabled handle -> 1001 without a
// message; previous error cleared), catches anything a dependency might throw,
// and hands the body an ApiCall through which it records failures with the
// function's own label and delivers outputs by the library's conventions.
#pragma once

#include <cstdarg>
#include <initializer_list>
#include <new>
#include <string_view>
#include <vector>

#include "api/api_context.h"
#include "api/error_record.h"
#include "qeltapi.h"
#include "util/time_text.h"

namespace qelt {

class ApiCall {
public:
    ApiCall(ApiContext& ctx, const char* function) : m_ctx(ctx), m_function(function) {}

    ApiContext& ctx() { return m_ctx; }
    const char* function() const { return m_function; }

    // Records `code` with a frame message (kind 0) and returns the code.
    int fail(int code, const char* message);
    int failf(int code, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Records a failure of a core library object: its error chain follows the message.
    int failCore(int code, const char* message, const ErrorHolder& object);
    int failCore(int code, const char* message, const char* chain);
    int failLdap(int code, const char* message, int ldapResult, const char* ldapText);
    int failDynamic(int code, const char* message, const char* libFunction, int libResult, const char* libText);
    int failIvs(int code, const char* message, int respCode, const char* respDesc);
    // Records the code with no detail message (GetErrInfo then answers 1005).
    int failCodeOnly(int code);

    // 1006 with a sentence naming the missing argument.
    int invalid(const char* message) { return fail(QELT_ERR_INVALID_ARGUMENT, message); }
    // 1006 "<name>의 포인터가 NULL입니다."
    int nullOutput(const char* paramName);
    // 1003 "메모리를(<what>) 할당하는데 실패하였습니다."
    int noMemory(const char* what);

    // Output text convention: the whole text or 1004 naming the parameter and the size needed.
    int putText(std::string_view text, int bufLen, char* buf, const char* paramName);
    // Output byte convention: QELT_BINSTR_SetData, its failure recorded as
    // "QELT_BINSTR_SetData : <outName>".
    int putBytes(BINSTR* out, const ByteString& bytes, const char* outName);
    int putBytes(BINSTR* out, const void* data, int len, const char* outName);

    // The shared time-text conversion; a refusal records 1242 with the form's message.
    int convertTime(const char* text, TimeForm form, bool local, int64_t& out);

private:
    ApiContext& m_ctx;
    const char* m_function;
};

// Memory for a BINSTR value of `len` bytes plus its terminating NUL (already
// written), released with free() as QELT_BINSTR_Delete does; null when out of
// memory. The bytes themselves are left for the caller to fill.
unsigned char* allocBinstrValue(size_t len);

// The memory a large output is written into, straight in its final place.
// When the caller's output record already holds a value at least as long as
// the new one, and that memory is none of the call's inputs, the new value is
// written over the old one: the old value then needs no separate wipe and the
// allocator is not asked for many megabytes again (a loop that makes large
// messages into one record pays for the copy only). Otherwise new memory
// (allocBinstrValue) takes the old value's place at commit(). Until commit()
// the record is left alone, except that an abandoned in-place write empties it.
class BinstrOutput {
public:
    BinstrOutput(BINSTR* out, std::initializer_list<const BINSTR*> inputs);
    ~BinstrOutput();
    BinstrOutput(const BinstrOutput&) = delete;
    BinstrOutput& operator=(const BinstrOutput&) = delete;

    // Memory for `len` bytes; null when out of memory.
    unsigned char* allocate(size_t len);
    // The record now holds the `len` bytes written, with their terminating NUL.
    void commit() { commit(m_len); }
    // The record now holds the first `used` (<= len) bytes written: for
    // outputs whose length is known only once they are made (a decryption
    // removes its padding), allocate() is asked for the most they can take.
    void commit(size_t used);

private:
    BINSTR* m_out;
    std::vector<const BINSTR*> m_inputs;
    bool m_inPlace = false;
    unsigned char* m_bytes = nullptr;
    size_t m_len = 0;
};

// True when a BINSTR holds at least one byte.
inline bool hasBytes(const BINSTR* b) { return b != nullptr && b->pVal != nullptr && b->nLen > 0; }
// True when a text is present and not empty.
inline bool hasText(const char* s) { return s != nullptr && *s != 0; }
// The bytes of an input BINSTR, copied into a ByteString.
inline ByteString bytesOf(const BINSTR* b) { return hasBytes(b) ? ByteString(b->pVal, b->nLen) : ByteString(); }

namespace api {

// Runs an exported function's body under the common prologue.
template <class Body>
int run(void* handle, const char* function, Body&& body) noexcept {
    ApiContext* ctx = usableContext(handle);
    if (ctx == nullptr) return QELT_ERR_NOT_INITIALIZED;
    ClearError(ctx);
    ApiCall call(*ctx, function);
    try {
        return body(call);
    } catch (const std::bad_alloc&) {
        return call.noMemory("std::bad_alloc");
    } catch (...) {
        return call.fail(QELT_ERR_MEMORY, "unexpected exception");
    }
}

}  // namespace api
}  // namespace qelt
