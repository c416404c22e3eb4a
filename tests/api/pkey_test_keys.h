// Keys and certificates for the signature and encryption tests: RSA and EC
// ones made by the openssl command (so that every interop test starts from
// OpenSSL's own encodings), KCDSA ones made by the engine and wrapped in
// PKCS#8, SubjectPublicKeyInfo and a certificate carrying that key.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/x509_certificate.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "test_support.h"

namespace qelt::test {

using Bytes = std::vector<uint8_t>;

inline Bytes fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void putFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
// Runs the openssl command in `dir`; true on exit status 0.
inline bool openssl(const std::filesystem::path& dir, const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && openssl " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

struct TestKey {
    std::filesystem::path dir;
    Bytes pkcs8, cert, spki;
};

// genpkey options select the key ("-algorithm RSA -pkeyopt rsa_keygen_bits:1024").
inline TestKey opensslKey(const std::string& name, const std::string& genpkey) {
    TestKey k;
    // One directory per process: CTest runs the cases of a suite as parallel processes.
    k.dir = scratchDir("pkey-" + name + "-" + std::to_string(::getpid()));
    const bool ok =
        openssl(k.dir, "genpkey " + genpkey + " -out key.pem") &&
        openssl(k.dir, "pkcs8 -topk8 -nocrypt -in key.pem -outform DER -out key.p8") &&
        openssl(k.dir, "pkey -in key.pem -pubout -out pub.pem") &&
        openssl(k.dir, "pkey -in key.pem -pubout -outform DER -out pub.der") &&
        openssl(k.dir, "req -x509 -new -key key.pem -subj /CN=" + name + " -days 30 -outform DER -out cert.der");
    EXPECT_TRUE(ok) << "openssl could not make the " << name << " key";
    k.pkcs8 = fileBytes(k.dir / "key.p8");
    k.spki = fileBytes(k.dir / "pub.der");
    k.cert = fileBytes(k.dir / "cert.der");
    return k;
}

inline ByteString bs(const Bytes& b) { return ByteString(b.data(), static_cast<int>(b.size())); }
inline Bytes bytes(const ByteString& b) { return Bytes(b.data(), b.data() + b.length()); }

// A KCDSA key pair from the engine (`engineId` gives its size) as PKCS#8 and
// SubjectPublicKeyInfo.
inline void kcdsaKeyPair(int engineId, Bytes& pkcs8, Bytes& spkiDer) {
    ByteString pub, pri;
    EXPECT_EQ(zcapGenerateKeyPair(engineId, ByteString(), pub, pri), 0);
    RDSAPrivateKey dsa(pri);
    RKCDSAParameters params;
    params.setP(dsa.getP());
    params.setQ(dsa.getQ());
    params.setG(dsa.getG());
    RAlgorithmIdentifier alg;
    alg.editAlgorithm().setOID("1 2 410 200004 1 21");
    ASN1Any any;
    any.set(params.toASN1Object());
    alg.setParameters(any);
    RPrivateKeyInfo info;
    info.setVersion(0);
    info.setPrivateKeyAlgorithm(alg);
    ASN1Integer x = dsa.getX();
    info.editPrivateKey().setValue(x.toASN1Object());
    pkcs8 = bytes(info.toASN1Object());
    RSubjectPublicKeyInfo spki;
    spki.setAlgorithm(alg);
    ASN1Integer y = dsa.getY();
    const ByteString& yDer = y.toASN1Object();
    spki.editSubjectPublicKey().setBitString(yDer.data(), yDer.length(), 0);
    spkiDer = bytes(spki.toASN1Object());
}

// A KCDSA key as above; the certificate is `carrier` with its public key
// replaced (its own signature is not what these tests look at).
inline TestKey kcdsaKey(int engineId, const Bytes& carrier) {
    TestKey k;
    kcdsaKeyPair(engineId, k.pkcs8, k.spki);
    RCertificate cert(bs(carrier));
    cert.editTbsCertificate().setSubjectPublicKeyInfo(RSubjectPublicKeyInfo(bs(k.spki)));
    k.cert = bytes(cert.toASN1Object());
    return k;
}

}  // namespace qelt::test
