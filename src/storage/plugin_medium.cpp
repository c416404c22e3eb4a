#include "storage/plugin_medium.h"

#include <cstring>
#include <vector>

#include "storage/dynamic_module.h"

namespace qelt {

namespace {

constexpr size_t kGuardLen = 2048;
constexpr uint8_t kGuardByte = 0xA7;

bool guardIntact(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != kGuardByte) return false;
    return true;
}

// The plug-in's error-text buffer: kErrTextLen zero bytes, then guard bytes.
class TextBuffer {
public:
    TextBuffer() : m_bytes(PluginMedium::kErrTextLen + kGuardLen, kGuardByte) {
        std::memset(m_bytes.data(), 0, PluginMedium::kErrTextLen);
    }
    char* data() { return reinterpret_cast<char*>(m_bytes.data()); }
    bool intact() const { return guardIntact(m_bytes.data() + PluginMedium::kErrTextLen, kGuardLen); }
    // The text, cut at the buffer's end when the plug-in left no NUL in it.
    const char* text() {
        m_bytes[PluginMedium::kErrTextLen - 1] = 0;
        return data();
    }

private:
    std::vector<uint8_t> m_bytes;
};

constexpr const char* kOverrun = "The plug-in wrote past the end of its buffer.";

}  // namespace

void* PluginMedium::symbol(const char* name) {
    m_function = name;
    m_result = 0;
    m_text.clear();
    return moduleSymbol(m_module, name);
}

PluginMedium::Outcome PluginMedium::outcomeOf(int result, const char* pluginText) {
    m_result = result;
    m_text.assign(pluginText);
    if (result == 0) return Outcome::Ok;
    if (result == kNoCard) return Outcome::NoCard;
    if (result == kWrongPin) return Outcome::WrongPin;
    return Outcome::Failed;
}

PluginMedium::Outcome PluginMedium::refuse(const char* why) {
    m_text.assign(why);
    return Outcome::Failed;
}

PluginMedium::Outcome PluginMedium::read(int code, const char* pin, ByteString& out) {
    auto fn = reinterpret_cast<PkiStorageRead>(symbol("PKI_STORAGE_Read"));
    if (fn == nullptr) return Outcome::NoSymbol;
    // Buffer, then guard bytes; the error text, then guard bytes.
    std::vector<uint8_t> buf(kReadBufferLen + kGuardLen, kGuardByte);
    TextBuffer text;
    int len = kReadBufferLen;
    const int rc = fn(code, pin, buf.data(), &len, text.data());
    const bool intact = guardIntact(buf.data() + kReadBufferLen, kGuardLen) && text.intact();
    Outcome outcome = outcomeOf(rc, text.text());
    if (!intact) {
        outcome = refuse(kOverrun);
    } else if (outcome == Outcome::Ok) {
        if (len < 0 || len > kReadBufferLen) {
            ByteString msg;
            msg.format("The plug-in returned a length of %d for a buffer of %d bytes.", len, kReadBufferLen);
            outcome = refuse(msg.c_str());
        } else {
            out.set(buf.data(), len);
        }
    }
    secureWipe(buf.data(), buf.size());
    return outcome;
}

PluginMedium::Outcome PluginMedium::write(int code, const char* pin, const ByteString& data) {
    auto fn = reinterpret_cast<PkiStorageWrite>(symbol("PKI_STORAGE_Write"));
    if (fn == nullptr) return Outcome::NoSymbol;
    TextBuffer text;
    const int rc = fn(code, pin, data.data(), data.length(), text.data());
    const Outcome outcome = outcomeOf(rc, text.text());
    return text.intact() ? outcome : refuse(kOverrun);
}

PluginMedium::Outcome PluginMedium::remove(int code, const char* pin) {
    auto fn = reinterpret_cast<PkiStorageDelete>(symbol("PKI_STORAGE_Delete"));
    if (fn == nullptr) return Outcome::NoSymbol;
    TextBuffer text;
    const int rc = fn(code, pin, text.data());
    const Outcome outcome = outcomeOf(rc, text.text());
    return text.intact() ? outcome : refuse(kOverrun);
}

}  // namespace qelt
