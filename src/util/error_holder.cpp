#include "util/error_holder.h"

#include <cstring>

namespace qelt {

namespace {
const char* baseName(const char* path) {
    if (path == nullptr) return "";
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    return base;
}
const char* orEmpty(const char* s) { return s == nullptr ? "" : s; }
}  // namespace

void formatLocationRecord(ByteString& chain, const char* file, int line, const char* cls, const char* method,
                          const char* label, int code, const char* message) {
    // The message is often the chain itself (an inner record passed outward), so copy it first.
    const ByteString copied(orEmpty(message));
    const char* head = copied.isEmpty() ? "[%s:%d]%s::%s-%s(%d)" : "[%s:%d]%s::%s-%s(%d),";
    chain.format(head, baseName(file), line, orEmpty(cls), orEmpty(method), orEmpty(label), code);
    chain.append(copied);
}

int ErrorHolder::location(const char* cls, const char* method, const char* label, int code, const char* message,
                          SourceLocation where) {
    formatLocationRecord(m_ErrorChain, where.file_name(), static_cast<int>(where.line()), cls, method, label, code,
                         message);
    return code;
}

int ErrorHolder::fail(const char* cls, const char* method, const char* label, int code, const char* message,
                      SourceLocation where) {
    location(cls, method, label, code, message, where);
    m_nErrorCode = code;
    return code;
}

}  // namespace qelt
