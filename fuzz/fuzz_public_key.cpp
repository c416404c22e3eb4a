// SubjectPublicKeyInfo from arbitrary bytes -> PPublicKey -> verification and
// encryption: no crash, no leak, whatever the key claims to be. The first
// byte chooses where the key ends and the signature starts.
#include <string>

#include "ZRProcess/PKeyAlgorithms.h"
#include "ZRProcess/PPublicKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qelt;
    if (size < 2) return 0;
    size_t split = 1 + (static_cast<size_t>(data[0]) * 4) % (size - 1);
    if (split < size / 2) split = size - (size - 1) / 8;  // mostly key, a short signature tail
    const ByteString spki(data + 1, static_cast<int>(split - 1));
    const ByteString sig(data + split, static_cast<int>(size - split));
    std::string name, keySize, error;
    (void)describePublicKeyInfo(spki, name, keySize, error);
    const ByteString message("fuzzed message");
    for (int hash : {0, 3, 5, 6, 9}) {
        PPublicKey key;
        if (key.setPublicKeyInfo(spki) != 0) return 0;
        (void)key.verifySignature(message, sig, hash);
        (void)key.verifyWTLSSignature(message, sig, hash);
    }
    PPublicKey key;
    ByteString out;
    if (key.setPublicKeyInfo(spki) == 0) {
        (void)key.encrypt(message, out, false);
        (void)key.encrypt(message, out, true);
        (void)key.decrypt(sig, out);
    }
    return 0;
}
