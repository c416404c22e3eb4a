#include "util/byte_string.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string.h>

namespace qelt {

namespace {
// Returned by c_str() for an empty byte string so callers can always read a text.
constexpr char kEmptyText[1] = {0};

uint8_t* allocate(int capacity) {
    return static_cast<uint8_t*>(std::malloc(static_cast<size_t>(capacity) + 1));
}

int hexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;  // any other character counts as 0
}
}  // namespace

void secureWipe(void* p, size_t n) {
    if (p != nullptr && n > 0) explicit_bzero(p, n);
}

ByteString::ByteString(const char* text) {
    m_nStatus = set(text, text ? static_cast<int>(std::strlen(text)) : 0);
}

ByteString::ByteString(const void* data, int len) { m_nStatus = set(data, len); }

ByteString::ByteString(std::span<const uint8_t> bytes) {
    m_nStatus = set(bytes.data(), static_cast<int>(bytes.size()));
}

ByteString::ByteString(const ByteString& other) { m_nStatus = set(other.m_pData, other.m_nLength); }

ByteString::ByteString(ByteString&& other) noexcept
    : m_nLength(other.m_nLength), m_nCapacity(other.m_nCapacity), m_pData(other.m_pData), m_nStatus(other.m_nStatus) {
    other.m_nLength = other.m_nCapacity = 0;
    other.m_pData = nullptr;
    other.m_nStatus = kOk;
}

ByteString& ByteString::operator=(const ByteString& other) {
    assign(other);
    return *this;
}

ByteString& ByteString::operator=(ByteString&& other) noexcept {
    if (this != &other) {
        release();
        m_nLength = other.m_nLength;
        m_nCapacity = other.m_nCapacity;
        m_pData = other.m_pData;
        m_nStatus = other.m_nStatus;
        other.m_nLength = other.m_nCapacity = 0;
        other.m_pData = nullptr;
        other.m_nStatus = kOk;
    }
    return *this;
}

ByteString::~ByteString() { release(); }

void ByteString::release() {
    if (m_pData != nullptr) {
        secureWipe(m_pData, static_cast<size_t>(m_nCapacity) + 1);
        std::free(m_pData);
    }
    m_pData = nullptr;
    m_nLength = m_nCapacity = 0;
}

bool ByteString::grow(int newCapacity) {
    release();
    m_pData = allocate(newCapacity);
    if (m_pData == nullptr) return false;
    m_nCapacity = newCapacity;
    return true;
}

int ByteString::set(const void* data, int len) {
    const auto* src = static_cast<const uint8_t*>(data);
    if (src != nullptr && len > 0 && m_pData != nullptr && src >= m_pData && src <= m_pData + m_nCapacity) {
        // The source lies in our own buffer, which clearing would wipe: copy it out first.
        const ByteString copy(data, len);
        return set(copy.m_pData, copy.m_nLength);
    }
    clear();
    if (data == nullptr || len < 1) return m_nStatus = kOk;
    if (m_nCapacity < len && !grow(len)) return m_nStatus = kNoMemory;
    std::memmove(m_pData, data, static_cast<size_t>(len));
    m_nLength = len;
    m_pData[len] = 0;
    return m_nStatus = kOk;
}

void ByteString::assign(const ByteString& other) {
    m_nStatus = kOk;
    if (&other == this) return;
    clear();
    if (other.m_nLength == 0) return;
    if (m_nCapacity < other.m_nLength && !grow(other.m_nLength)) {
        m_nStatus = kNoMemory;
        return;
    }
    std::memcpy(m_pData, other.m_pData, static_cast<size_t>(other.m_nLength));
    m_nLength = other.m_nLength;
    m_pData[m_nLength] = 0;
}

void ByteString::assign(const char* text) {
    if (text == nullptr || *text == 0) {
        clear();
        return;
    }
    assign(ByteString(text));
}

void ByteString::assign(uint8_t byte) { set(&byte, 1); }

void ByteString::append(const void* data, int len) {
    m_nStatus = kOk;
    if (data == nullptr || len < 1) return;
    const int newLength = m_nLength + len;
    if (newLength > m_nCapacity) {
        uint8_t* fresh = allocate(newLength);
        if (fresh == nullptr) {
            m_nStatus = kNoMemory;
            return;
        }
        if (m_nLength > 0) std::memcpy(fresh, m_pData, static_cast<size_t>(m_nLength));
        std::memcpy(fresh + m_nLength, data, static_cast<size_t>(len));
        release();
        m_pData = fresh;
        m_nCapacity = newLength;
    } else {
        std::memmove(m_pData + m_nLength, data, static_cast<size_t>(len));
    }
    m_nLength = newLength;
    m_pData[m_nLength] = 0;
}

void ByteString::append(const ByteString& other) {
    if (&other == this) {
        const ByteString copy(other);
        append(copy.m_pData, copy.m_nLength);
        return;
    }
    append(other.m_pData, other.m_nLength);
}

void ByteString::append(const char* text) {
    if (text != nullptr) append(text, static_cast<int>(std::strlen(text)));
}

void ByteString::append(uint8_t byte) { append(&byte, 1); }

void ByteString::clear() {
    if (m_pData != nullptr) secureWipe(m_pData, static_cast<size_t>(m_nLength));
    m_nLength = 0;
    m_nStatus = kOk;
}

int ByteString::allocZero(int n) {
    if (m_nCapacity >= n) {
        clear();
        return kOk;
    }
    if (!grow(n)) return m_nStatus = kNoMemory;
    std::memset(m_pData, 0, static_cast<size_t>(n) + 1);
    m_nLength = 0;
    return m_nStatus = kOk;
}

int ByteString::writeAt(int pos, const void* data, int n) {
    if (data == nullptr || n < 1) return kOk;
    if (m_pData == nullptr) {
        m_nLength = m_nCapacity = 0;
        return kNoMemory;
    }
    if (pos < 0 || pos > m_nCapacity - n) return kRange;
    std::memmove(m_pData + pos, data, static_cast<size_t>(n));
    m_nLength = std::max(m_nLength, pos + n);
    m_pData[m_nLength] = 0;
    return kOk;
}

int ByteString::byteAt(int index, uint8_t* out) const {
    if (index < 0 || index >= m_nLength) return kRange;
    if (out != nullptr) *out = m_pData[index];
    return kOk;
}

int ByteString::setByteAt(int index, uint8_t byte) {
    if (index < 0 || index >= m_nLength) return kRange;
    m_pData[index] = byte;
    return kOk;
}

ByteString ByteString::substring(int pos, int count) {
    if (pos < 0 || count < 0 || pos >= m_nLength || count > m_nLength - pos) {
        m_nStatus = kRange;
        return {};
    }
    return ByteString(m_pData + pos, count);
}

bool ByteString::equals(const ByteString& other) const {
    if (&other == this) return true;
    if (m_nLength != other.m_nLength) return false;
    if (m_nLength == 0) return true;
    return std::memcmp(m_pData, other.m_pData, static_cast<size_t>(m_nLength)) == 0;
}

bool ByteString::equals(const char* text) const {
    if (text == nullptr) return m_pData == nullptr;
    const size_t n = std::strlen(text);
    if (static_cast<size_t>(m_nLength) != n) return false;
    return n == 0 || std::memcmp(m_pData, text, n) == 0;
}

int ByteString::find(const void* needle, int n) const {
    if (needle == nullptr || n < 1 || n > m_nLength) return -1;
    const void* hit = memmem(m_pData, static_cast<size_t>(m_nLength), needle, static_cast<size_t>(n));
    return hit == nullptr ? -1 : static_cast<int>(static_cast<const uint8_t*>(hit) - m_pData);
}

int ByteString::find(const char* text) const {
    return text == nullptr ? -1 : find(text, static_cast<int>(std::strlen(text)));
}

const char* ByteString::c_str() const {
    return (m_pData == nullptr || m_nLength == 0) ? kEmptyText : reinterpret_cast<const char*>(m_pData);
}

ByteString ByteString::toHex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    ByteString out;
    if (m_nLength == 0) return out;
    if (out.allocZero(m_nLength * 2) != kOk) return out;
    for (int i = 0; i < m_nLength; ++i) {
        out.m_pData[2 * i] = static_cast<uint8_t>(kDigits[m_pData[i] >> 4]);
        out.m_pData[2 * i + 1] = static_cast<uint8_t>(kDigits[m_pData[i] & 0x0F]);
    }
    out.m_nLength = m_nLength * 2;
    out.m_pData[out.m_nLength] = 0;
    return out;
}

ByteString ByteString::fromHex() {
    ByteString out;
    if (m_nLength < 2) {
        m_nStatus = kBadHex;
        return out;
    }
    const int n = m_nLength / 2;
    if (out.allocZero(n) != kOk) {
        m_nStatus = kNoMemory;
        return out;
    }
    for (int i = 0; i < n; ++i)
        out.m_pData[i] = static_cast<uint8_t>(hexValue(m_pData[2 * i]) << 4 | hexValue(m_pData[2 * i + 1]));
    out.m_nLength = n;
    out.m_pData[n] = 0;
    return out;
}

int ByteString::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int rc = vformat(fmt, args);
    va_end(args);
    return rc;
}

int ByteString::vformat(const char* fmt, va_list args) {
    char scratch[kFormatLimit];
    const int n = std::vsnprintf(scratch, sizeof scratch, fmt, args);
    if (n < 0 || n >= kFormatLimit) {
        secureWipe(scratch, sizeof scratch);
        return m_nStatus = kTooLong;
    }
    const int rc = set(scratch, n);
    secureWipe(scratch, static_cast<size_t>(n));
    return rc;
}

}  // namespace qelt
