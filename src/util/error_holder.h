// ErrorHolder: the common base of the core library's processing and record
// classes. It carries the last error code, a result buffer that text getters
// fill and return, and the error chain made of location records, the newest
// first: "[file:line]Class::method-label(code),inner chain".
#pragma once

#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

#include "util/byte_string.h"

namespace qelt {

#if defined(__cpp_lib_source_location)
using SourceLocation = std::source_location;
#else
// clang 14 (the fuzzing compiler) with libstdc++ 12 has no std::source_location;
// the same two facts come from the compiler builtins.
struct SourceLocation {
    static constexpr SourceLocation current(const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
        return SourceLocation{file, line};
    }
    constexpr const char* file_name() const { return m_file; }
    constexpr unsigned line() const { return static_cast<unsigned>(m_line); }
    const char* m_file = "";
    int m_line = 0;
};
#endif

class ErrorHolder {
public:
    ErrorHolder() = default;
    ErrorHolder(const ErrorHolder&) = default;
    ErrorHolder& operator=(const ErrorHolder&) = default;
    virtual ~ErrorHolder() = default;

    int errorCode() const { return m_nErrorCode; }
    void setErrorCode(int code) { m_nErrorCode = code; }
    const ByteString& errorChain() const { return m_ErrorChain; }
    const char* errorText() const { return m_ErrorChain.c_str(); }
    ByteString& result() { return m_Result; }
    const ByteString& result() const { return m_Result; }

    // Writes a location record into the chain (replacing it) and returns the code.
    // The file and line come from the call site. Does not touch errorCode().
    int location(const char* cls, const char* method, const char* label, int code, const char* message = nullptr,
                 SourceLocation where = SourceLocation::current());
    // location() and then errorCode() = code; returns the code.
    int fail(const char* cls, const char* method, const char* label, int code, const char* message = nullptr,
             SourceLocation where = SourceLocation::current());
    // Getters start from a clean state: code 0 and an empty result buffer.
    void resetForGetter() {
        m_nErrorCode = 0;
        m_Result.clear();
    }

protected:
    int m_nErrorCode = 0;
    ByteString m_Result;
    ByteString m_ErrorChain;
};

// Formats one location record into `chain` (replacing its content).
void formatLocationRecord(ByteString& chain, const char* file, int line, const char* cls, const char* method,
                          const char* label, int code, const char* message);

}  // namespace qelt
