// qelt sign / verify / asym / pubkey: signatures, public-key encryption and
// public-key information through the C API. Keys are DER files: a decrypted
// PKCS#8 private key, a certificate, or a SubjectPublicKeyInfo.
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

int hashOf(const Args& a) {
    const std::string name = a.get("a", a.get("alg", "sha256"));
    if (name == "sha1") return QELT_HASH_SHA1;
    if (name == "md5") return QELT_HASH_MD5;
    if (name == "has160") return QELT_HASH_HAS160;
    if (name == "sha256") return QELT_HASH_SHA256;
    return 0;
}

bool load(const Args& a, const std::string& name, std::vector<uint8_t>& out, std::string& error) {
    const auto path = a.get(name);
    if (!path) return true;
    return readInput(*path, out, error);
}

int runSign(Session& s, const Args& a) {
    const int hash = hashOf(a);
    if (hash == 0) return Session::usage("sign: -a takes sha1, md5, has160 or sha256");
    std::vector<uint8_t> key, cert, spki;
    std::string error;
    if (!a.get("k") || !load(a, "k", key, error) || !load(a, "c", cert, error) || !load(a, "pubkey", spki, error))
        return Session::usage(error.empty() ? "sign: -k PRIVATE_KEY.der is needed" : error);
    if (a.positional.empty()) return Session::usage("sign: the data file is needed");
    const std::string out = a.get("o", "-");
    Bin k(key), c(spki.empty() ? cert : spki);
    if (a.has("file")) {
        if (out == "-") return Session::usage("sign --file needs -o SIGNATURE");
        const int rc = QELT_CRYPT_Sign_File(s.ctx(), &c, &k, hash, a.positional[0].c_str(), out.c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    std::vector<uint8_t> data;
    if (!readInput(a.positional[0], data, error)) return Session::usage(error);
    Bin d(data), sig;
    const int rc = spki.empty() ? QELT_CRYPT_Sign(s.ctx(), &c, &k, hash, &d, &sig)
                                : QELT_CRYPT_Sign2(s.ctx(), &c, &k, hash, &d, &sig);
    if (rc != 0) return s.fail(rc);
    if (!writeOutput(out, sig.vec(), error)) return Session::usage(error);
    return 0;
}

int runVerify(Session& s, const Args& a) {
    const int hash = hashOf(a);
    if (hash == 0) return Session::usage("verify: -a takes sha1, md5, has160 or sha256");
    std::vector<uint8_t> cert, spki;
    std::string error;
    if (!load(a, "c", cert, error) || !load(a, "pubkey", spki, error)) return Session::usage(error);
    if (cert.empty() && spki.empty()) return Session::usage("verify: -c CERT.der or --pubkey SPKI.der is needed");
    if (a.positional.size() < 2) return Session::usage("verify: DATA and SIGNATURE files are needed");
    int rc;
    if (a.has("file")) {
        if (cert.empty()) return Session::usage("verify --file takes the key from -c CERT.der");
        Bin c(cert);
        rc = QELT_CRYPT_Verify_File(s.ctx(), &c, hash, a.positional[0].c_str(), a.positional[1].c_str());
    } else {
        std::vector<uint8_t> data, sig;
        if (!readInput(a.positional[0], data, error) || !readInput(a.positional[1], sig, error))
            return Session::usage(error);
        Bin c(spki.empty() ? cert : spki), d(data), g(sig);
        rc = spki.empty() ? QELT_CRYPT_Verify(s.ctx(), &c, hash, &d, &g) : QELT_CRYPT_Verify2(s.ctx(), &c, hash, &d, &g);
    }
    if (rc != 0) return s.fail(rc);
    std::printf("signature OK\n");
    return 0;
}

int runAsym(Session& s, const Args& a) {
    if (a.positional.empty() || (a.positional[0] != "encrypt" && a.positional[0] != "decrypt"))
        return Session::usage("asym: encrypt or decrypt");
    const bool decrypt = a.positional[0] == "decrypt";
    std::vector<uint8_t> key, cert, spki, data;
    std::string error;
    if (!load(a, "k", key, error) || !load(a, "c", cert, error) || !load(a, "pubkey", spki, error))
        return Session::usage(error);
    if (key.empty() + cert.empty() + spki.empty() != 2)
        return Session::usage("asym: one of -k PRIVATE_KEY.der, -c CERT.der or --pubkey SPKI.der");
    if (!readInput(a.positional.size() > 1 ? a.positional[1] : "-", data, error)) return Session::usage(error);
    if (a.has("pkcs1"))
        if (const int rc = QELT_API_SetOption(s.ctx(), 0x01); rc != 0) return s.fail(rc);
    const int type = key.empty() ? QELT_KEYTYPE_PUBLIC : QELT_KEYTYPE_PRIVATE;
    Bin k(!key.empty() ? key : !cert.empty() ? cert : spki), in(data), out;
    int rc;
    if (spki.empty())
        rc = decrypt ? QELT_CRYPT_AsymDecrypt(s.ctx(), type, &k, &in, &out) : QELT_CRYPT_AsymEncrypt(s.ctx(), type, &k, &in, &out);
    else
        rc = decrypt ? QELT_CRYPT_AsymDecrypt2(s.ctx(), type, &k, &in, &out)
                     : QELT_CRYPT_AsymEncrypt2(s.ctx(), type, &k, &in, &out);
    if (rc != 0) return s.fail(rc);
    if (!writeOutput(a.get("o", "-"), out.vec(), error)) return Session::usage(error);
    return 0;
}

int runPubkey(Session& s, const Args& a) {
    if (a.positional.size() < 2 || a.positional[0] != "info") return Session::usage("pubkey: info SPKI.der");
    std::vector<uint8_t> spki;
    std::string error;
    if (!readInput(a.positional[1], spki, error)) return Session::usage(error);
    Bin k(spki);
    char name[52], size[50];
    if (const int rc = QELT_PUBKEY_GetKeyInfo(s.ctx(), &k, name, size); rc != 0) return s.fail(rc);
    std::printf("algorithm: %s\nsize: %s\n", name, size);
    return 0;
}

}  // namespace

QELT_CLI_VERB({"sign", "sign -k KEY.p8 [-c CERT | --pubkey SPKI] [-a HASH] [--file] DATA [-o SIG]  signature", {"file"}, &runSign});
QELT_CLI_VERB({"verify", "verify (-c CERT | --pubkey SPKI) [-a HASH] [--file] DATA SIG  check a signature", {"file"}, &runVerify});
QELT_CLI_VERB({"asym", "asym encrypt|decrypt (-k KEY.p8 | -c CERT | --pubkey SPKI) [--pkcs1] [IN] [-o OUT]  RSA", {"pkcs1"}, &runAsym});
QELT_CLI_VERB({"pubkey", "pubkey info SPKI.der  algorithm and size of a public key", {}, &runPubkey});
