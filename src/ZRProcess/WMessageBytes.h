// Byte fields of the WAP message formats: big-endian integers of one or two
// octets and variable fields behind their length. The reader checks every
// length against what remains before it hands out a field, so a message
// parser built on it cannot read past its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "util/byte_string.h"

namespace qelt::wap {

class Reader {
public:
    explicit Reader(std::span<const uint8_t> in) : m_in(in) {}

    bool u8(uint8_t& out) {
        if (m_pos + 1 > m_in.size()) return false;
        out = m_in[m_pos++];
        return true;
    }
    bool u16(uint16_t& out) {
        if (m_pos + 2 > m_in.size()) return false;
        out = static_cast<uint16_t>(m_in[m_pos] << 8 | m_in[m_pos + 1]);
        m_pos += 2;
        return true;
    }
    bool bytes(size_t n, std::span<const uint8_t>& out) {
        if (n > m_in.size() - m_pos) return false;
        out = m_in.subspan(m_pos, n);
        m_pos += n;
        return true;
    }
    size_t remaining() const { return m_in.size() - m_pos; }

private:
    std::span<const uint8_t> m_in;
    size_t m_pos = 0;
};

inline void putU8(ByteString& out, uint8_t v) { out.append(v); }
inline void putU16(ByteString& out, uint16_t v) {
    const uint8_t be[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    out.append(be, 2);
}
inline void putBytes(ByteString& out, std::span<const uint8_t> bytes) {
    if (!bytes.empty()) out.append(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace qelt::wap
