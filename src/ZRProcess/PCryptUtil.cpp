#include "ZRProcess/PCryptUtil.h"

#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"

namespace qelt {

namespace {
// Signed and verified inside the process only, never shown.
constexpr const char* kKeyPairTestText = "qelt key pair check: sign with the private key, verify with the certificate.";
}  // namespace

int PCryptUtil::verifySignatureWithCert(const ByteString& cert, const ByteString& privateKeyInfo) {
    const ByteString text(kKeyPairTestText);
    PPrivateKey pri;
    ByteString signature;
    if (pri.setPrivateKeyInfo(privateKeyInfo) != 0 || pri.genSignature(ALG_SHA1, text, signature, &cert, true) != 0)
        return fail("PCryptUtil", "verifySignatureWithCert", "privateKey", 1, pri.errorText());
    PPublicKey pub;
    if (pub.verifySignatureWithCert(cert, text, signature, ALG_SHA1) != 0)
        return fail("PCryptUtil", "verifySignatureWithCert", "publicKey", 2, pub.errorText());
    return 0;
}

}  // namespace qelt
