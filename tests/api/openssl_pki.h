// A small PKI made by the openssl command for the CMS tests: a CA and the
// leaf certificates a test asks for, and the ContentInfo wrapper the openssl
// command wants around a bare SignedData.
#pragma once

#include <initializer_list>
#include <string>

#include "pkey_test_keys.h"

namespace qelt::test {

inline Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A leaf certificate: its extensions (the text of an openssl extension file),
// serial number and the hash the CA signs it with.
struct LeafPlan {
    std::string name, extensions;
    int serial;
    std::string hash = "sha256";
};

// Makes, in `dir`, an RSA-2048 CA (ca.key, ca.pem, ca.der, subject CN=`caName`)
// and for each leaf <name>.key, <name>.pem, <name>.der and <name>.p8 (PKCS#8).
inline bool opensslPki(const std::filesystem::path& dir, const std::string& caName,
                       std::initializer_list<LeafPlan> leaves) {
    bool ok = openssl(dir, "req -x509 -newkey rsa:2048 -nodes -keyout ca.key -subj /CN=" + caName +
                               " -days 30 -sha256 -addext basicConstraints=critical,CA:TRUE -out ca.pem") &&
              openssl(dir, "x509 -in ca.pem -outform DER -out ca.der");
    for (const LeafPlan& l : leaves) {
        const std::string& n = l.name;
        putFile(dir / (n + ".ext"), textBytes(l.extensions));
        ok = ok &&
             openssl(dir, "req -newkey rsa:2048 -nodes -keyout " + n + ".key -subj /CN=" + n + " -out " + n + ".csr") &&
             openssl(dir, "x509 -req -in " + n + ".csr -CA ca.pem -CAkey ca.key -set_serial " +
                              std::to_string(l.serial) + " -days 30 -" + l.hash + " -extfile " + n + ".ext -out " + n +
                              ".pem") &&
             openssl(dir, "x509 -in " + n + ".pem -outform DER -out " + n + ".der") &&
             openssl(dir, "pkcs8 -topk8 -nocrypt -in " + n + ".key -outform DER -out " + n + ".p8");
    }
    return ok;
}

// DER length octets of `n`, appended to `out`.
inline void appendDerLength(Bytes& out, size_t n) {
    if (n < 128) {
        out.push_back(static_cast<uint8_t>(n));
        return;
    }
    Bytes len;
    for (; n > 0; n >>= 8) len.insert(len.begin(), static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(0x80 | len.size()));
    out.insert(out.end(), len.begin(), len.end());
}

// ContentInfo { signedData, [0] sd }.
inline Bytes wrapSignedData(const Bytes& sd) {
    Bytes body = {0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x02, 0xA0};
    appendDerLength(body, sd.size());
    body.insert(body.end(), sd.begin(), sd.end());
    Bytes out = {0x30};
    appendDerLength(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace qelt::test
