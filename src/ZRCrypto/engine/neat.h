// The NEAT slot: a 128-bit block cipher with a 128-bit key in CBC mode behind
// fixed routines. The cipher in the slot is AES-128 (FIPS 197): a vetted core
// rather than a home-made one. Its 256-byte key schedule holds the AES-128 key
// expansion (11 round keys, 176 bytes) followed by zeros; the blocks are
// computed by OpenSSL's AES-128 keyed with the schedule's first round key,
// which is the key itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelt {

inline constexpr size_t NEAT_KEY_LEN = 16;
inline constexpr size_t NEAT_BLOCK_LEN = 16;
inline constexpr size_t NEAT_SCHEDULE_LEN = 256;

// Results of the NEAT routines.
enum NeatResult : int {
    NEAT_OK = 0,
    NEAT_NO_KEY_SCHEDULE = 100,  // absent, or not a schedule this slot made
    NEAT_BAD_IV = 101,           // ivLen is not 16
    NEAT_BAD_LENGTH = 102,       // not whole blocks, malformed padding, or output too small
};

// Writes the 256-byte schedule of a 16-byte key.
void ZR_NeatKeySchedule(const uint8_t* key, uint8_t* schedule);

// CBC with the paddings 0 (none), 1 (zeros, kept on decryption), 2 (PKCS#5)
// and 3, 4 (n bytes of value n-1) on 16-byte blocks; *outLen is the capacity
// on entry and the bytes written on return.
int ZR_EncryptNeatCBC(const uint8_t* schedule, const uint8_t* iv, int ivLen, const uint8_t* in, int inLen,
                      uint8_t* out, int* outLen, int padding);
int ZR_DecryptNeatCBC(const uint8_t* schedule, const uint8_t* iv, int ivLen, const uint8_t* in, int inLen,
                      uint8_t* out, int* outLen, int padding);

}  // namespace qelt
