// ZREncrypt: symmetric encryption for the rest of the library, by algorithm
// code, mode code and padding type. One-shot with a raw key, one-shot with an
// already expanded key (the chaining value and key state are written back so
// that the next call continues the chain), and streaming init/update/final.
// The NEAT cipher takes its own path (engine/neat.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "util/error_holder.h"

namespace qelt {

class ZREncrypt : public ErrorHolder {
public:
    ZREncrypt() = default;
    ~ZREncrypt() override = default;
    ZREncrypt(const ZREncrypt&) = delete;
    ZREncrypt& operator=(const ZREncrypt&) = delete;

    [[nodiscard]] int GenerateKey(int nAlg, const ByteString& key, ByteString& expanded);

    [[nodiscard]] int EncryptData(int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                                  const ByteString& in, ByteString& out, int nPadding);
    [[nodiscard]] int DecryptData(int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                                  const ByteString& in, ByteString& out, int nPadding);

    // One-shot with a raw key, written straight into memory the caller hands
    // out: `allocate(n)` is asked once for n bytes (at least 1, enough for the
    // result) after the arguments are checked, and `outLen` receives how many
    // were written. The input is read in place. For large data this is the
    // form without copies: the result is written once, where it is kept. A
    // null from `allocate` fails with kNoOutputMemory. Encryption asks for
    // exactly the ciphertext's length, and so does a padded CBC or ECB
    // decryption for the plaintext's (its last block is deciphered first);
    // other decryptions ask for the ciphertext's length. After a failure the
    // memory may hold part of the result: the caller wipes it.
    using OutputMemory = std::function<uint8_t*(size_t)>;
    static constexpr int kNoOutputMemory = 28;
    [[nodiscard]] int EncryptDataTo(int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                                    std::span<const uint8_t> in, const OutputMemory& allocate, size_t& outLen,
                                    int nPadding);
    [[nodiscard]] int DecryptDataTo(int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                                    std::span<const uint8_t> in, const OutputMemory& allocate, size_t& outLen,
                                    int nPadding);

    [[nodiscard]] int EncryptData_NoGenKey(int nAlg, int nMode, ByteString& expandedKey, ByteString& iv,
                                           const uint8_t* in, int inLen, ByteString& out, int nPadding);
    [[nodiscard]] int DecryptData_NoGenKey(int nAlg, int nMode, ByteString& expandedKey, ByteString& iv,
                                           const uint8_t* in, int inLen, ByteString& out, int nPadding);

    [[nodiscard]] int EncryptData_Init(int nAlg, int nMode, const ByteString& key, const ByteString& iv);
    [[nodiscard]] int DecryptData_Init(int nAlg, int nMode, const ByteString& key, const ByteString& iv);
    // Output of the update goes to *out (emptied first); a null out is refused
    // once there is output to give.
    [[nodiscard]] int EncryptData_Update(const ByteString& in, ByteString* out);
    [[nodiscard]] int DecryptData_Update(const ByteString& in, ByteString* out);
    [[nodiscard]] int EncryptData_Update(const uint8_t* in, int inLen, ByteString* out);
    [[nodiscard]] int DecryptData_Update(const uint8_t* in, int inLen, ByteString* out);
    [[nodiscard]] int EncryptData_Final(ByteString* out, int nPadding);
    [[nodiscard]] int DecryptData_Final(ByteString* out, int nPadding);

    // The engine result of the last public-key operation (0 when it succeeded).
    int engineResult() const { return m_nEngineResult; }

private:
    // What a one-shot call runs on: the engine's algorithm, mode and padding.
    struct OneShotPlan {
        int id = 0;
        int mode = 0;
        int padding = 0;
    };
    // Checks the algorithm, mode and padding of a one-shot call the same way
    // for both of its forms; 0, or the failure reported under `method`.
    int planOneShot(const char* method, int nAlg, int nMode, int nPadding, OneShotPlan& plan);
    // 0, or failure 18 (not CBC) or 4 (padding outside 0 to 4) for NEAT.
    int checkNeatUse(const char* method, int mode, int nPadding);
    // The engine's key schedule for `id` from the raw key; 0 or failure 25.
    int expandKey(const char* method, int id, const ByteString& key, ByteString& expanded);
    int oneShot(bool decrypt, int nAlg, int nMode, const ByteString& key, const ByteString& iv, const ByteString& in,
                ByteString& out, int nPadding);
    int oneShotTo(bool decrypt, int nAlg, int nMode, const ByteString& key, const ByteString& iv,
                  std::span<const uint8_t> in, const OutputMemory& allocate, size_t& outLen, int nPadding);
    int noGenKey(bool decrypt, int nAlg, int nMode, ByteString& expandedKey, ByteString& iv, const uint8_t* in,
                 int inLen, ByteString& out, int nPadding, const char* method = nullptr);
    int init(bool decrypt, int nAlg, int nMode, const ByteString& key, const ByteString& iv);
    int update(bool decrypt, const uint8_t* in, int inLen, ByteString* out);
    int final(bool decrypt, ByteString* out, int nPadding);

    int m_nEngineResult = 0;
    int m_bKeyNotExpanded = 0;  // 1 from init until the first update expands the key
    int m_nAlg = 0;
    int m_nMode = 0;
    bool m_bDecrypt = false;
    ByteString m_Key;  // raw after init, then expanded in place
    ByteString m_Iv;   // follows the chaining value after every chunk
    ByteString m_Buffer;
};

}  // namespace qelt
