// The engine's own block and stream ciphers: DES and three-key 3DES (FIPS 46-3,
// EDE), SEED (RFC 4269), RC2 (RFC 2268) and RC4. Each is a small final class
// whose key schedule can be written to and read from bytes: the engine hands
// expanded keys around as byte strings (at most 1200 bytes), so the schedule
// is the expanded key.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelt {

// The block methods of both work on the halves as IP leaves them: CBC keeps
// its chaining value permuted, and several blocks run their rounds side by
// side. in may equal out in all of them.
class Des final {
public:
    static constexpr size_t kBlockSize = 8;
    static constexpr size_t kKeySize = 8;
    static constexpr size_t kScheduleSize = 32 * 4;

    void setKey(const uint8_t* key);
    void loadSchedule(const uint8_t* bytes);
    void saveSchedule(uint8_t* bytes) const;
    void encryptBlock(const uint8_t* in, uint8_t* out) const;
    void decryptBlock(const uint8_t* in, uint8_t* out) const;
    void encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
    void decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
    // iv is updated to the last ciphertext block.
    void cbcEncrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const;
    void cbcDecrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const;
    ~Des();

private:
    uint32_t m_keys[32];
};

// Three-key EDE; the schedule is the three DES schedules in key order.
class TripleDes final {
public:
    static constexpr size_t kBlockSize = 8;
    static constexpr size_t kKeySize = 24;
    static constexpr size_t kScheduleSize = 3 * 32 * 4;

    void setKey(const uint8_t* key);
    void loadSchedule(const uint8_t* bytes);
    void saveSchedule(uint8_t* bytes) const;
    void encryptBlock(const uint8_t* in, uint8_t* out) const;
    void decryptBlock(const uint8_t* in, uint8_t* out) const;
    void encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
    void decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
    void cbcEncrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const;
    void cbcDecrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const;
    ~TripleDes();

private:
    uint32_t m_keys[3][32];
};

class Seed final {
public:
    static constexpr size_t kBlockSize = 16;
    static constexpr size_t kKeySize = 16;
    static constexpr size_t kScheduleSize = 32 * 4;

    void setKey(const uint8_t* key);
    void loadSchedule(const uint8_t* bytes);
    void saveSchedule(uint8_t* bytes) const;
    void encryptBlock(const uint8_t* in, uint8_t* out) const;
    void decryptBlock(const uint8_t* in, uint8_t* out) const;
    // Several independent blocks, two at a time so that their table lookups
    // overlap (ECB, and CBC decryption before the chaining XOR).
    void decryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
    void encryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) const;
    // CBC encryption on words, the chaining value kept in registers; iv is
    // updated to the last ciphertext block. On x86-64 CPUs with BMI1 the
    // rounds run as hand-scheduled assembly; cbcEncryptPortable is the C++
    // version that other CPUs run (tests compare the two).
    void cbcEncrypt(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const;
    void cbcEncryptPortable(const uint8_t* in, uint8_t* out, size_t blocks, uint8_t* iv) const;
    ~Seed();

private:
    uint32_t m_keys[32];
};

class Rc2 final {
public:
    static constexpr size_t kBlockSize = 8;
    static constexpr size_t kScheduleSize = 64 * 2;

    // keyLen 1..128 bytes, effectiveBits 1..1024.
    void setKey(const uint8_t* key, size_t keyLen, size_t effectiveBits);
    void loadSchedule(const uint8_t* bytes);
    void saveSchedule(uint8_t* bytes) const;
    void encryptBlock(const uint8_t* in, uint8_t* out) const;
    void decryptBlock(const uint8_t* in, uint8_t* out) const;
    ~Rc2();

private:
    uint16_t m_k[64];
};

class Rc4 final {
public:
    static constexpr size_t kScheduleSize = 258;  // the permutation, then i and j

    void setKey(const uint8_t* key, size_t keyLen);  // keyLen 1..256
    void loadSchedule(const uint8_t* bytes);
    void saveSchedule(uint8_t* bytes) const;
    void process(const uint8_t* in, uint8_t* out, size_t len);
    ~Rc4();

private:
    uint8_t m_s[256];
    uint8_t m_i = 0;
    uint8_t m_j = 0;
};

}  // namespace qelt
