// A storage plug-in: a module exporting
//   int PKI_STORAGE_Read(int code, const char* pin, unsigned char* buf, int* len, char* errText);
//   int PKI_STORAGE_Write(int code, const char* pin, const unsigned char* data, int len, char* errText);
//   int PKI_STORAGE_Delete(int code, const char* pin, char* errText);
// Each returns 0 on success, 256 when no card is present, 257 for a wrong PIN
// and any other value for another failure, with a text in errText.
//
// The plug-in is the caller's code and is not trusted: the read buffer it is
// offered is 2048 bytes, a length it reports outside 0..2048 is refused, and
// guard bytes beyond both buffers reveal a plug-in that wrote past them.
#pragma once

#include <cstddef>

#include "util/byte_string.h"

namespace qelt {

using PkiStorageRead = int (*)(int code, const char* pin, unsigned char* buf, int* len, char* errText);
using PkiStorageWrite = int (*)(int code, const char* pin, const unsigned char* data, int len, char* errText);
using PkiStorageDelete = int (*)(int code, const char* pin, char* errText);

class PluginMedium {
public:
    static constexpr int kReadBufferLen = 2048;
    static constexpr size_t kErrTextLen = 1024;
    static constexpr int kNoCard = 256;
    static constexpr int kWrongPin = 257;

    enum class Outcome { Ok, NoSymbol, NoCard, WrongPin, Failed };

    explicit PluginMedium(void* module) : m_module(module) {}

    Outcome read(int code, const char* pin, ByteString& out);
    Outcome write(int code, const char* pin, const ByteString& data);
    Outcome remove(int code, const char* pin);

    // The entry point of the last call, its result and error text.
    const char* function() const { return m_function; }
    int result() const { return m_result; }
    const char* text() const { return m_text.c_str(); }

private:
    void* symbol(const char* name);
    Outcome outcomeOf(int result, const char* pluginText);
    Outcome refuse(const char* why);

    void* m_module;
    const char* m_function = "";
    int m_result = 0;
    ByteString m_text;
};

}  // namespace qelt
