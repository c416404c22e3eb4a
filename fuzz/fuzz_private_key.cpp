// PrivateKeyInfo from arbitrary bytes -> PPrivateKey -> signatures, private
// encryption and decryption: no crash, no leak and no long run, whatever the
// key's numbers claim. A signature that comes out verifies with the key's own
// public half, so a wrong result is never released.
#include <cstdlib>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_rsa.h"
#include "ZRProcess/PPrivateKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qelt;
    const ByteString info(data, static_cast<int>(size));
    const ByteString message("fuzzed message");
    for (const int hash : {0, static_cast<int>(ALG_SHA1), static_cast<int>(ALG_SHA256)}) {
        PPrivateKey key;
        if (key.setPrivateKeyInfo(info) != 0) return 0;
        ByteString signature;
        if (key.genSignature(hash, message, signature, nullptr, false) == 0 && hash == ALG_SHA256) {
            // An RSA signature made from the key must be right for its n and e.
            RPrivateKeyInfo record(info);
            rsa_detail::RsaKey rsa;
            const ByteString& inner = record.getPrivateKey().getValue();
            if (rsa_detail::privateKeyFromDer(inner.data(), static_cast<size_t>(inner.length()), rsa) &&
                signature.length() == static_cast<int>(rsa.bytes())) {
                ByteString block(signature);
                if (!rsa_detail::rawPublic(rsa, signature.data(), block.data(), rsa.bytes()) || block.data()[1] != 0x01)
                    std::abort();
            }
        }
    }
    PPrivateKey key;
    ByteString out;
    if (key.setPrivateKeyInfo(info) == 0) {
        (void)key.encrypt(message, out);
        (void)key.decrypt(message, out, false);
        (void)key.decrypt(message, out, true);
    }
    return 0;
}
