// qelt sign / verify / asym / pubkey: signatures, public-key encryption and
// public-key information through the C API. Keys and certificates are DER or
// PEM: a decrypted PKCS#8 private key, a certificate, a SubjectPublicKeyInfo.
//
// sign takes a regular data file through the library's staged file function
// (flat memory); standard input and --in-memory go through the in-memory
// functions. verify maps its inputs and uses the in-memory function unless
// --file asks for the staged one: only the in-memory verification accepts both
// KCDSA SHA-1/1024 signature forms.
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

// The DER of a key or certificate option; empty when the option is absent.
int load(Session& s, const Args& a, const std::string& name, std::vector<uint8_t>& out) {
    const auto path = a.get(name);
    return path ? readDerOrPem(s, *path, out) : 0;
}

int runSign(Session& s, const Args& a) {
    const int hash = hashOf(a);
    if (hash == 0) return Session::usage("sign: -a takes sha1, md5, has160 or sha256");
    if (!a.get("k")) return Session::usage("sign: -k PRIVATE_KEY is needed");
    if (a.positional.size() != 1) return Session::usage("sign: one data file is needed");
    std::vector<uint8_t> key, cert, spki;
    for (const auto& [name, out] : {std::pair{"k", &key}, {"c", &cert}, {"pubkey", &spki}})
        if (const int rc = load(s, a, name, *out)) return rc;
    if (!cert.empty())
        if (const int rc = checkSignerKey(s, cert, key)) return rc;
    const std::string data = a.positional[0], target = a.get("o", "-");
    Bin k(key), c(spki.empty() ? cert : spki);
    const bool fileForm = spki.empty() && isRegularFile(data) && !a.has("in-memory");
    if (a.has("file") && !fileForm)
        return Session::usage("sign --file reads a named regular file and takes -c, not --pubkey");
    if (fileForm) {
        checkInputFile(data);
        const OutputFile out(target);
        const int rc = QELT_CRYPT_Sign_File(s.ctx(), &c, &k, hash, data.c_str(), out.path().c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    const InputBytes bytes = mapInput(data);
    BINSTR d = bytes.view();
    Bin sig;
    const int rc = spki.empty() ? QELT_CRYPT_Sign(s.ctx(), &c, &k, hash, &d, &sig)
                                : QELT_CRYPT_Sign2(s.ctx(), &c, &k, hash, &d, &sig);
    if (rc != 0) return s.fail(rc);
    writeOutput(target, sig.span());
    return 0;
}

int runVerify(Session& s, const Args& a) {
    const int hash = hashOf(a);
    if (hash == 0) return Session::usage("verify: -a takes sha1, md5, has160 or sha256");
    if (a.positional.size() != 2) return Session::usage("verify: DATA and SIGNATURE files are needed");
    std::vector<uint8_t> cert, spki;
    if (const int rc = load(s, a, "c", cert)) return rc;
    if (const int rc = load(s, a, "pubkey", spki)) return rc;
    if (cert.empty() == spki.empty()) return Session::usage("verify: -c CERT or --pubkey SPKI is needed (one of them)");
    const std::string data = a.positional[0], signature = a.positional[1];
    int rc;
    if (a.has("file")) {
        // The staged file verification (the data is read in steps).
        if (cert.empty()) return Session::usage("verify --file takes the key from -c CERT");
        Bin c(cert);
        checkInputFile(data);
        checkInputFile(signature);
        rc = QELT_CRYPT_Verify_File(s.ctx(), &c, hash, data.c_str(), signature.c_str());
    } else {
        const InputBytes d = mapInput(data), g = mapInput(signature);
        BINSTR dv = d.view(), gv = g.view();
        Bin c(spki.empty() ? cert : spki);
        rc = spki.empty() ? QELT_CRYPT_Verify(s.ctx(), &c, hash, &dv, &gv)
                          : QELT_CRYPT_Verify2(s.ctx(), &c, hash, &dv, &gv);
    }
    if (rc != 0) return s.fail(rc);
    std::printf("signature OK\n");
    return 0;
}

int runAsym(Session& s, const Args& a) {
    if (a.positional.empty() || (a.positional[0] != "encrypt" && a.positional[0] != "decrypt") ||
        a.positional.size() > 2)
        return Session::usage("asym: encrypt or decrypt, and one input at most");
    const bool decrypt = a.positional[0] == "decrypt";
    std::vector<uint8_t> key, cert, spki;
    for (const auto& [name, out] : {std::pair{"k", &key}, {"c", &cert}, {"pubkey", &spki}})
        if (const int rc = load(s, a, name, *out)) return rc;
    if (key.empty() + cert.empty() + spki.empty() != 2)
        return Session::usage("asym: one of -k PRIVATE_KEY, -c CERT or --pubkey SPKI");
    const InputBytes data = mapInput(a.positional.size() > 1 ? a.positional[1] : "-");
    if (a.has("pkcs1"))
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_RSA_PKCS1); rc != 0) return s.fail(rc);
    const int type = key.empty() ? QELT_KEYTYPE_PUBLIC : QELT_KEYTYPE_PRIVATE;
    Bin k(!key.empty() ? key : !cert.empty() ? cert : spki), out;
    BINSTR in = data.view();
    int rc;
    if (spki.empty())
        rc = decrypt ? QELT_CRYPT_AsymDecrypt(s.ctx(), type, &k, &in, &out)
                     : QELT_CRYPT_AsymEncrypt(s.ctx(), type, &k, &in, &out);
    else
        rc = decrypt ? QELT_CRYPT_AsymDecrypt2(s.ctx(), type, &k, &in, &out)
                     : QELT_CRYPT_AsymEncrypt2(s.ctx(), type, &k, &in, &out);
    if (rc != 0) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

int runPubkey(Session& s, const Args& a) {
    if (a.positional.size() != 2 || a.positional[0] != "info") return Session::usage("pubkey info SPKI");
    std::vector<uint8_t> spki;
    if (const int rc = readDerOrPem(s, a.positional[1], spki)) return rc;
    Bin k(spki);
    char name[52], size[50];
    if (const int rc = QELT_PUBKEY_GetKeyInfo(s.ctx(), &k, name, size); rc != 0) return s.fail(rc);
    std::printf("algorithm: %s\nsize: %s\n", toUtf8(name).c_str(), toUtf8(size).c_str());
    return 0;
}

const OptionHelp kHashOption{"-a, --alg HASH", "sha1, md5, has160 or sha256 (default sha256)"};

}  // namespace

QELT_CLI_VERB({"sign",
               "sign -k KEY [-c CERT | --pubkey SPKI] [-a HASH] DATA [-o SIG]",
               {"file", "in-memory"},
               &runSign,
               {"Signs DATA with a decrypted PKCS#8 private key and writes the raw signature. A key that does not "
                "belong to the certificate of -c is refused before signing. A regular DATA file is read in steps "
                "by the file function.",
                {{"-k KEY", "the decrypted private key (PKCS#8, DER or PEM)"},
                 {"-c CERT", "the signer's certificate (needed for KCDSA)"},
                 {"--pubkey SPKI", "the public key info instead of a certificate"},
                 kHashOption,
                 {"-o FILE", "write the signature to FILE instead of standard output"},
                 {"--file", "insist on the file function (the default for a regular file)"},
                 {"--in-memory", "map DATA and use the in-memory function instead"}},
                {"qelt sign -k ee.p8 -c ee.pem -a sha256 data.bin -o data.sig2"}}});
QELT_CLI_VERB({"verify",
               "verify (-c CERT | --pubkey SPKI) [-a HASH] [--file] DATA SIG",
               {"file"},
               &runVerify,
               {"Checks a raw signature over DATA and prints \"signature OK\"; a bad signature exits 1.",
                {{"-c CERT", "the signer's certificate"},
                 {"--pubkey SPKI", "the public key info instead of a certificate"},
                 kHashOption,
                 {"--file", "the staged file verification (needs -c)"}},
                {"qelt verify -c ee.pem -a sha256 data.bin data.sig"}}});
QELT_CLI_VERB({"asym",
               "asym encrypt|decrypt (-k KEY | -c CERT | --pubkey SPKI) [--pkcs1] [IN] [-o OUT]",
               {"pkcs1"},
               &runAsym,
               {"RSA encryption of a short input with the public key (-c, --pubkey) or the private key (-k), and "
                "decryption with the other; RSAES-OAEP unless --pkcs1.",
                {{"-k KEY", "the decrypted private key (PKCS#8)"},
                 {"-c CERT", "a certificate holding the public key"},
                 {"--pubkey SPKI", "the public key info"},
                 {"--pkcs1", "PKCS#1 v1.5 padding instead of OAEP"},
                 {"-o FILE", "write the result to FILE instead of standard output"}},
                {"qelt asym encrypt -c ee.der hello.txt -o hello.rsa", "qelt asym decrypt -k ee.p8 hello.rsa"}}});
QELT_CLI_VERB({"pubkey",
               "pubkey info SPKI",
               {},
               &runPubkey,
               {"Prints the algorithm and size of a public key (SubjectPublicKeyInfo, DER or PEM).",
                {},
                {"qelt pubkey info pub.der"}}});
