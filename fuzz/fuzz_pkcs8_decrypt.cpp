// Password decryption of an EncryptedPrivateKeyInfo from arbitrary bytes, and
// re-encryption of whatever decrypts: no crash, no leak, and a key that
// decrypts once decrypts again to the same PrivateKeyInfo after re-encryption.
#include <cstdlib>

#include "ASN1Pkix/PPKCS8.h"
#include "ASN1Pkix/pkcs_keys.h"

namespace {

constexpr int kMaxIterations = 2048;  // keeps each run short; counts are not what is being tested

// The iteration count a key asks for (PBES1 or PBES2); 0 when unreadable.
int iterationsOf(const qelt::ByteString& der) {
    using namespace qelt;
    REncryptedPrivateKeyInfo info(der);
    if (info.errorCode() != 0) return 0;
    const ByteString& params = info.getEncryptionAlgorithm().getParameters().getEncoding();
    if (info.getEncryptionAlgorithm().getAlgorithm().is("1 2 840 113549 1 5 13")) {
        RPBES2_params pbes2(params);
        if (pbes2.errorCode() != 0) return 0;
        RPBKDF2_params kdf(pbes2.getKeyDerivationFunc().getParameters().getEncoding());
        return kdf.errorCode() != 0 ? 0 : kdf.getIterationCount().getInteger();
    }
    RPBEParameter pbe(params);
    return pbe.errorCode() != 0 ? 0 : pbe.getIterationCount().getInteger();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qelt::ByteString in(data, static_cast<int>(size));
    if (iterationsOf(in) > kMaxIterations) return 0;
    qelt::PPKCS8 pkcs8;
    pkcs8.setPassword("secret");
    qelt::ByteString plain;
    if (pkcs8.getPrivateKeyInfo(in, plain) != 0) return 0;
    qelt::ByteString again, back;
    if (pkcs8.setPrivateKeyInfo(plain) != 0 || pkcs8.getPKCS8Data(again) != 0) std::abort();
    qelt::PPKCS8 reader;
    reader.setPassword("secret");
    if (reader.getPrivateKeyInfo(again, back) != 0 || !(back == plain)) std::abort();
    return 0;
}
