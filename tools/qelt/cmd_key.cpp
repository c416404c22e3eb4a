// qelt key encrypt|decrypt|passwd: password protection of PKCS#8 private keys;
// qelt key info|check: what a decrypted key is and whether it fits a certificate.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};

int writeKey(Session& s, const Args& a, const std::vector<uint8_t>& der, bool encrypted) {
    const std::string out = a.get("o", a.get("out", "-"));
    if (!a.has("pem")) {
        writeOutput(out, der);
        return 0;
    }
    Bin in(der), b64;
    if (int rc = QELT_BASE64_Encode(s.ctx(), &in, &b64)) return s.fail(rc);
    const std::vector<uint8_t> text = b64.vec();
    const std::string label = encrypted ? "ENCRYPTED PRIVATE KEY" : "PRIVATE KEY";
    std::string pem = "-----BEGIN " + label + "-----\n";
    for (size_t i = 0; i < text.size(); i += 64) {
        pem.append(reinterpret_cast<const char*>(text.data()) + i, std::min<size_t>(64, text.size() - i));
        pem += '\n';
    }
    pem += "-----END " + label + "-----\n";
    writeOutput(out, pem);
    return 0;
}

int runKey(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage("key encrypt|decrypt|passwd|info|check ...");
    const std::string op = a.positional[0];
    if (op != "encrypt" && op != "decrypt" && op != "passwd" && op != "info" && op != "check")
        return Session::usage("key: encrypt, decrypt, passwd, info or check");
    if (a.positional.size() > (op == "check" ? 3u : 2u) || (op == "check" && a.positional.size() != 3))
        return Session::usage(op == "check" ? "key check KEY CERT" : "key " + op + ": one input at most");
    const std::string in = a.positional.size() > 1 ? a.positional[1] : "-";
    std::vector<uint8_t> der;
    if (int rc = readDerOrPem(s, in, der)) return rc;
    Bin key(der), out;
    if (op == "encrypt") {
        const std::string name = a.get("a", a.get("alg", "seed"));
        int alg = 0;
        for (const Named& c : kCiphers)
            if (name == c.name) alg = c.code;
        if (alg == 0) return Session::usage("key encrypt: -a takes des, 3des, seed, neat or aria");
        SecretText pass = readPassword(a, "pass", "QELT_KEY_PASS", "password for the key: ");
        if (int rc = QELT_PRIKEY_Encrypt(s.ctx(), alg, pass.data(), &key, &out)) return s.fail(rc);
        return writeKey(s, a, out.vec(), true);
    }
    if (op == "decrypt") {
        SecretText pass = readPassword(a, "pass", "QELT_KEY_PASS", "password of the key: ");
        if (int rc = QELT_PRIKEY_Decrypt(s.ctx(), pass.data(), &key, &out)) return s.fail(rc);
        return writeKey(s, a, out.vec(), false);
    }
    if (op == "passwd") {
        SecretText pass = readPassword(a, "pass", "QELT_KEY_PASS", "current password of the key: ");
        SecretText newPass = readPassword(a, "new-pass", "QELT_KEY_NEWPASS", "new password: ");
        if (int rc = QELT_PRIKEY_ChangePasswd(s.ctx(), pass.data(), newPass.data(), &key, &out)) return s.fail(rc);
        return writeKey(s, a, out.vec(), true);
    }
    if (op == "info") {
        char name[52], size[50];
        if (int rc = QELT_PRIKEY_GetKeyInfo(s.ctx(), &key, name, size)) return s.fail(rc);
        std::printf("algorithm: %s\nsize: %s\n", toUtf8(name).c_str(), toUtf8(size).c_str());
        return 0;
    }
    std::vector<uint8_t> certDer;
    if (int rc = readDerOrPem(s, a.positional[2], certDer)) return rc;
    Bin cert(certDer);
    if (int rc = QELT_PRIKEY_CheckKeyPair(s.ctx(), &cert, &key)) return s.fail(rc);
    std::printf("the key belongs to the certificate\n");
    return 0;
}

}  // namespace

QELT_CLI_VERB({"key",
               "key encrypt|decrypt|passwd [options] [IN] [-o OUT] | key info KEY | key check KEY CERT",
               {"pem"},
               &runKey,
               {"encrypt protects a decrypted PKCS#8 key with a password (PBES2), decrypt takes the protection off, "
                "passwd changes the password; info names the algorithm and size of a decrypted key, check tells "
                "whether it belongs to a certificate. Keys are DER or PEM. Without --pass or QELT_KEY_PASS the "
                "password is asked on the terminal without echo.",
                {{"-a, --alg NAME", "encrypt: des, 3des, seed, neat or aria (default seed)"},
                 {"--pass PASS", "the password: TEXT, file:PATH (its first line) or env:VAR"},
                 {"--new-pass PASS", "passwd: the new password, the same forms (or QELT_KEY_NEWPASS)"},
                 {"--pem", "write PEM instead of DER"},
                 {"-o, --out FILE", "write the key to FILE instead of standard output"}},
                {"qelt key encrypt -a 3des --pass file:pw.txt --pem ee.p8 -o ee.3des.pem",
                 "qelt key check ee.p8 ee.pem"}}});
