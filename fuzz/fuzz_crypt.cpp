// Decryption of attacker-chosen ciphertext: every engine cipher, mode and
// padding through the crypto layer, one-shot and streaming, must fail cleanly
// or agree with itself; hashing any input must succeed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_encrypt.h"
#include "ZRCrypto/zr_hash.h"

using namespace qelt;

namespace {
constexpr int kAlgs[] = {ALG_DES, ALG_3DES, ALG_SEED, ALG_NEAT, ALG_ARIA128, ALG_RC2_40, ALG_RC4};
constexpr int kKeyLens[] = {8, 24, 16, 16, 16, 5, 16};
constexpr int kHashes[] = {ALG_MD5, ALG_SHA1, ALG_SHA256, ALG_HAS160};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t pick = data[0] % (sizeof kAlgs / sizeof kAlgs[0]);
    const int mode = data[1] % 8;     // includes unknown mode codes
    const int padding = data[2] % 6;  // includes an unknown padding type
    data += 3;
    size -= 3;
    const int keyLen = kKeyLens[pick];
    if (size < static_cast<size_t>(keyLen) + 16) return 0;
    const ByteString key(data, keyLen), iv(data + keyLen, 16);
    const ByteString in(data + keyLen + 16, static_cast<int>(size) - keyLen - 16);

    ZREncrypt oneShot;
    ByteString plain;
    const int rc = oneShot.DecryptData(kAlgs[pick], mode, key, iv, in, plain, padding);

    ZREncrypt stream;
    ByteString piece, streamed;
    int src = stream.DecryptData_Init(kAlgs[pick], mode, key, iv);
    for (int pos = 0; src == 0 && pos < in.length(); pos += 700) {
        const int n = in.length() - pos < 700 ? in.length() - pos : 700;
        src = stream.DecryptData_Update(in.data() + pos, n, &piece);
        streamed.append(piece);
    }
    if (src == 0) src = stream.DecryptData_Final(&piece, padding);
    if (src == 0) streamed.append(piece);
    if ((rc == 0) != (src == 0) || (rc == 0 && !(plain == streamed))) std::abort();

    for (int h : kHashes) {
        ZRHash hash;
        ByteString digest;
        if (hash.DigestData(h, in, digest) != 0) std::abort();
    }
    return 0;
}
