// ByteString: the library's growable byte buffer.
//
// Always keeps a NUL after its content, records the outcome of its last
// operation in a status field, grows to exactly the length it needs, and
// zeroes every buffer before giving it back so that keys and plaintext do not
// linger on the heap.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qelt {

class ByteString {
public:
    // Outcome of the last operation, kept in status().
    enum Status : int { kOk = 0, kRange = 1, kNoMemory = 2, kBadHex = 3, kTooLong = 4 };
    // Largest text format() composes; a composition this long or longer is refused.
    static constexpr int kFormatLimit = 4096;

    ByteString() = default;
    explicit ByteString(const char* text);
    ByteString(const void* data, int len);
    explicit ByteString(std::span<const uint8_t> bytes);
    ByteString(const ByteString& other);
    ByteString(ByteString&& other) noexcept;
    ByteString& operator=(const ByteString& other);
    ByteString& operator=(ByteString&& other) noexcept;
    virtual ~ByteString();

    // Replaces the content; a null pointer or len < 1 leaves it empty. Returns the status.
    int set(const void* data, int len);
    void assign(const ByteString& other);
    void assign(const char* text);
    void assign(uint8_t byte);
    void append(const ByteString& other);
    void append(const char* text);
    void append(const void* data, int len);
    void append(uint8_t byte);
    // Wipes the content; the buffer and its capacity stay.
    void clear();
    // Makes room for n zero bytes with length 0. Returns the status code.
    int allocZero(int n);
    int writeAt(int pos, const void* data, int n);
    int byteAt(int index, uint8_t* out) const;
    int setByteAt(int index, uint8_t byte);
    ByteString substring(int pos, int count);

    bool equals(const ByteString& other) const;
    bool equals(const char* text) const;
    bool operator==(const ByteString& other) const { return equals(other); }
    bool isEmpty() const { return m_nLength == 0; }
    int find(const void* needle, int n) const;
    int find(const char* text) const;

    // The content as text: never null (the shared empty text when empty).
    const char* c_str() const;
    const uint8_t* data() const { return m_pData; }
    uint8_t* data() { return m_pData; }
    int length() const { return m_nLength; }
    int capacity() const { return m_nCapacity; }
    int status() const { return m_nStatus; }
    std::span<const uint8_t> bytes() const { return {m_pData, static_cast<size_t>(m_nLength)}; }
    std::string_view view() const { return {c_str(), static_cast<size_t>(m_nLength)}; }

    ByteString toHex() const;
    // Decodes the hexadecimal text held by this byte string.
    ByteString fromHex();
    int format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    int vformat(const char* fmt, va_list args);

private:
    void release();
    bool grow(int newCapacity);  // frees (wiped) and allocates; false on failure

    int m_nLength = 0;
    int m_nCapacity = 0;
    uint8_t* m_pData = nullptr;
    int m_nStatus = kOk;
};

// Zeroes memory in a way the compiler may not drop.
void secureWipe(void* p, size_t n);

}  // namespace qelt
