#include "ZRProcess/PKeyAlgorithms.h"

#include <cstring>

#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/x509_certificate.h"
#include "ZRProcess/key_blobs.h"

namespace qelt {

namespace {
struct CurveName {
    const char* oid;
    const char* name;
    const char* size;
};
constexpr CurveName kCurveNames[] = {
    {"1 3 132 0 1", "sect163k1", "WTLS 3"},
    {"1 2 840 10045 3 0 1", "c2pnb163v1", "WTLS 5"},
    {"1 3 132 0 8", "secp160r1", "WTLS 7"},
};
}  // namespace

const char* ecCurveName(const char* oidText) {
    for (const CurveName& c : kCurveNames)
        if (std::strcmp(c.oid, oidText) == 0) return c.name;
    return oidText;
}

const char* ecCurveSizeText(const char* oidText) {
    for (const CurveName& c : kCurveNames)
        if (std::strcmp(c.oid, oidText) == 0) return c.size;
    return "Unknown";
}

const char* keySizeText(int bytes) {
    switch (bytes) {
        case 64: return "512 Bits";
        case 128: return "1024 Bits";
        case 256: return "2048 Bits";
        default: return "Unknown";
    }
}

int describePublicKeyInfo(const ByteString& der, std::string& name, std::string& size, std::string& error) {
    name = size = "Unknown";
    RSubjectPublicKeyInfo spki;
    if (der.isEmpty() || spki.fromASN1Object(der) != 0) {
        error = spki.errorText();
        return 1;
    }
    const std::string oid = keyblob::oidOf(spki.getAlgorithm());
    if (oid == kOidRsaEncryption) {
        RRSAPublicKey rsa;
        if (rsa.fromASN1Object(keyblob::bitsOf(spki.getSubjectPublicKey())) != 0) {
            error = rsa.errorText();
            return 2;
        }
        name = "RSA";
        size = keySizeText(keyblob::magnitudeOf(rsa.getModulus()).length());
        return 0;
    }
    const bool kcdsa = oid == kOidKcdsa21 || oid == kOidKcdsa;
    if (kcdsa || oid == kOidEcPublicKey) {
        const RAlgorithmIdentifier& alg = spki.getAlgorithm();
        if (!alg.hasParameters()) {
            error = "The key algorithm has no parameters.";
            return 3;
        }
        if (kcdsa) {
            RKCDSAParameters params;
            if (params.fromASN1Object(alg.getParameters().getEncoding()) != 0) {
                error = params.errorText();
                return 3;
            }
            name = "KCDSA";
            size = keySizeText(keyblob::magnitudeOf(params.getP()).length());
            return 0;
        }
        RecpkParameters params;
        if (params.fromASN1Object(alg.getParameters().getEncoding()) != 0) {
            error = params.errorText();
            return 3;
        }
        name = "ECC";
        if (params.isNamedCurve()) {
            ASN1ObjectIdentifier curve = params.getNamedCurve();
            size = ecCurveSizeText(curve.getOID().c_str());
        }
        return 0;
    }
    return 0;
}

}  // namespace qelt
