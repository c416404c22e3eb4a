// Key algorithm identifiers shared by the key classes, and the summary of a
// public key that the certificate and key-information functions show.
#pragma once

#include <string>

#include "util/byte_string.h"

namespace qelt {

inline constexpr const char* kOidRsaEncryption = "1 2 840 113549 1 1 1";
inline constexpr const char* kOidKcdsa = "1 2 410 200004 1 1";
inline constexpr const char* kOidKcdsa21 = "1 2 410 200004 1 21";
inline constexpr const char* kOidEcPublicKey = "1 2 840 10045 2 1";
inline constexpr const char* kOidEcKcdsa = "1 2 410 200004 1 100 2 1";
inline constexpr const char* kOidDsa = "1 2 840 10040 4 1";
inline constexpr const char* kOidDh = "1 2 840 10046 2 1";
inline constexpr const char* kOidEcdh = "1 3 132 1 12";

// The display name of a curve by OID ("sect163k1"), or the OID text itself.
const char* ecCurveName(const char* oidText);
// "WTLS 3" / "WTLS 5" / "WTLS 7" for the three curves, "Unknown" otherwise.
const char* ecCurveSizeText(const char* oidText);
// "512 Bits" / "1024 Bits" / "2048 Bits" for 64 / 128 / 256 bytes, else "Unknown".
const char* keySizeText(int bytes);

// Algorithm name and size text of a DER SubjectPublicKeyInfo: ("RSA", "1024
// Bits"), ("KCDSA", "2048 Bits"), ("ECC", "WTLS 7"), or ("Unknown",
// "Unknown") for another key algorithm. Returns 0, or a non-zero step with
// `error` set when the key or its parameters do not decode.
int describePublicKeyInfo(const ByteString& spki, std::string& name, std::string& size, std::string& error);

}  // namespace qelt
