// Opening attacker-chosen EncryptedData through the exported function: the
// first byte picks one of the key lengths the ciphers use, the key is fixed
// bytes, the rest is the message. 0 or a code, never a crash; what opens is
// left as the context's session key and encrypts again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "qeltapi.h"

namespace {

using qelt_fuzz::context;

constexpr int kKeyLens[] = {5, 8, 16, 24};
constexpr uint8_t kKeyBytes[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba, 0x98,
                                   0x76, 0x54, 0x32, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    void* ctx = context();
    BINSTR key{const_cast<uint8_t*>(kKeyBytes), kKeyLens[data[0] % 4]};
    BINSTR msg{const_cast<uint8_t*>(data + 1), static_cast<int>(size - 1)};
    BINSTR out{nullptr, 0};
    if (QELT_CMS_ProcessEncryptedData(ctx, &key, &msg, &out) == 0 && out.nLen > 0) {
        BINSTR again{nullptr, 0};
        // Encrypting again under the session key the call left must work or
        // fail with the make code (RC2 content has no session cipher).
        const int rc = QELT_CMS_MakeEncryptedData(ctx, &out, &again);
        if (rc != 0 && rc != QELT_ERR_ENCRYPTED_MAKE) std::abort();
        QELT_BINSTR_Delete(&again);
    }
    QELT_BINSTR_Delete(&out);
    return 0;
}
