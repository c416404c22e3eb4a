#include "api/api_context.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace qelt {

char* duplicateText(const char* text) {
    const size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::calloc(n, 1));
    if (copy != nullptr) std::memcpy(copy, text, n);
    return copy;
}

void releaseText(char*& field) {
    if (field != nullptr) {
        secureWipe(field, std::strlen(field));
        std::free(field);
        field = nullptr;
    }
}

void releaseBytes(ByteString*& field) {
    delete field;  // the destructor wipes the whole buffer
    field = nullptr;
}

ByteString* ensureBytes(ByteString*& field) {
    if (field == nullptr) field = new (std::nothrow) ByteString();
    return field;
}

}  // namespace qelt
