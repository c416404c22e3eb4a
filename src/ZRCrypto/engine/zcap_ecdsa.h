// ECDSA (ANSI X9.62) on the three named curves, on OpenSSL's EC arithmetic
// with nonces from the library's generator.
#pragma once

#include <memory>

#include "ZRCrypto/engine/zcap_ossl.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "ZRCrypto/engine/zcap_signer.h"

namespace qelt::ecdsa_detail {

// The process-wide group of a curve (read only once built); null for None.
const EC_GROUP* groupOf(EcCurve c);

struct EcKey {
    EcCurve curve = EcCurve::None;
    BnPtr d;         // null for a public key
    EcPointPtr q;    // the public point
};

// ECPrivateKey with namedCurve parameters / SubjectPublicKeyInfo.
bool privateKeyFromDer(const uint8_t* der, size_t len, EcKey& key);
bool publicKeyFromDer(const uint8_t* der, size_t len, EcKey& key);
bool encodePrivate(const EcKey& key, ByteString& der);
bool encodePublic(const EcKey& key, ByteString& der);
bool generateKeyPair(EcCurve c, EcKey& key);

std::unique_ptr<ZcapSigner> makeSigner(EcKey key);

}  // namespace qelt::ecdsa_detail
