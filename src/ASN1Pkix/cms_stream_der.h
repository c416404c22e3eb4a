// Hand-made DER framing for CMS messages whose content streams through a file:
// the small parts of a message are built or parsed in memory and the content
// (megabytes or gigabytes) is written or read around them block by block.
//
// Only what the streaming code needs: a length encoder, a length reader for
// definite lengths, and fixed-size header buffers that name themselves when
// they overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qelt::der {

// Tags the framing checks and writes.
inline constexpr uint8_t kSequence = 0x30;
inline constexpr uint8_t kSet = 0x31;
inline constexpr uint8_t kInteger = 0x02;
inline constexpr uint8_t kOid = 0x06;
inline constexpr uint8_t kOctetString = 0x04;
inline constexpr uint8_t kContext0Constructed = 0xA0;
inline constexpr uint8_t kContext0Primitive = 0x80;

// Most length octets a length can take here (0x84 and four octets).
inline constexpr size_t kMaxLengthOctets = 5;

// Writes the minimal definite length octets of `len` into out (room for
// kMaxLengthOctets) and returns their count; 0 for a negative length or one
// that needs more than four octets.
size_t encodeLength(long long len, uint8_t* out);
// The number of length octets encodeLength writes for `len` (0 when refused).
size_t lengthSize(long long len);

// Reads a definite length at buf[pos] (short or long form, at most four
// octets; the indefinite form is refused). On success advances pos past the
// length octets, takes them off `remaining`, stores the length and, when
// `consumed` is given, the number of octets read; false otherwise, with
// nothing changed.
bool readLength(const uint8_t* buf, size_t& pos, size_t& remaining, size_t& len, size_t* consumed = nullptr);

// One element of a DER buffer: its tag must be `tag`; afterwards `pos` is at
// its contents and `len` holds their length. False when the tag differs, the
// length cannot be read or (with `whole`) the contents run past the buffer.
inline bool enter(const uint8_t* b, size_t& pos, size_t& rem, uint8_t tag, size_t& len, bool whole = true) {
    if (rem == 0 || b[pos] != tag) return false;
    size_t p = pos + 1, r = rem - 1;
    if (!readLength(b, p, r, len) || (whole && len > r)) return false;
    pos = p;
    rem = r;
    return true;
}

// A header gathered in a fixed buffer; `name` is the buffer's name in the
// overflow message. Every put fails (false) once the capacity is exceeded.
template <size_t N>
class HeaderBuffer {
public:
    explicit HeaderBuffer(const char* name) : m_name(name) {}
    const char* name() const { return m_name; }
    bool put(const void* p, size_t n) {
        if (n > N - m_len) return false;
        if (n > 0) std::memcpy(m_buf + m_len, p, n);
        m_len += n;
        return true;
    }
    bool put(uint8_t byte) { return put(&byte, 1); }
    // Tag and definite length octets.
    bool header(uint8_t tag, long long len) {
        uint8_t octets[kMaxLengthOctets];
        const size_t n = encodeLength(len, octets);
        return n != 0 && put(tag) && put(octets, n);
    }
    const uint8_t* data() const { return m_buf; }
    size_t size() const { return m_len; }

private:
    const char* m_name;
    uint8_t m_buf[N];
    size_t m_len = 0;
};

}  // namespace qelt::der
