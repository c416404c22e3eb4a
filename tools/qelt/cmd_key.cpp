// qelt key encrypt|decrypt|passwd: password protection of PKCS#8 private keys;
// qelt key info|check: what a decrypted key is and whether it fits a certificate.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

constexpr const char* kSynopsis =
    "key encrypt|decrypt|passwd [-a des|3des|seed|neat|aria] [--pass P | env QELT_KEY_PASS] "
    "[--new-pass P | env QELT_KEY_NEWPASS] [--pem] [IN] [-o OUT]  protect a PKCS#8 key with a password "
    "(input DER or PEM; output DER, or PEM with --pem) | key info KEY | key check KEY CERT  "
    "algorithm and size of a decrypted key, or whether it belongs to the certificate";

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};

// A password from its option, else from the environment (never prompted: the
// tool runs in scripts).
std::string password(const Args& a, const char* option, const char* env) {
    if (auto p = a.get(option)) return toCp949(*p);
    const char* e = std::getenv(env);
    return e ? toCp949(e) : std::string();
}

// PEM text is recognised by its armour and decoded; anything else is DER.
int readKey(Session& s, const std::string& path, std::vector<uint8_t>& der) {
    std::string error;
    if (!readInput(path, der, error)) return Session::usage(error);
    const std::string head(der.begin(), der.begin() + static_cast<long>(std::min<size_t>(der.size(), 64)));
    if (head.find("-----BEGIN") == std::string::npos) return 0;
    Bin pem(der), out;
    if (int rc = QELT_PEM_Decode(s.ctx(), &pem, &out)) return s.fail(rc);
    der = out.vec();
    return 0;
}

int writeKey(Session& s, const Args& a, const std::vector<uint8_t>& der, bool encrypted) {
    std::string error;
    const std::string out = a.get("o", a.get("out", "-"));
    if (!a.has("pem")) return writeOutput(out, der, error) ? 0 : Session::usage(error);
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
    return writeOutput(out, reinterpret_cast<const uint8_t*>(pem.data()), pem.size(), error) ? 0
                                                                                             : Session::usage(error);
}

int runKey(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage(kSynopsis);
    const std::string op = a.positional[0];
    const std::string in = a.positional.size() > 1 ? a.positional[1] : "-";
    std::string pass = password(a, "pass", "QELT_KEY_PASS");
    std::vector<uint8_t> der;
    if (int rc = readKey(s, in, der)) return rc;
    Bin key(der), out;
    if (op == "encrypt") {
        const std::string name = a.get("a", a.get("alg", "seed"));
        int alg = 0;
        for (const Named& c : kCiphers)
            if (name == c.name) alg = c.code;
        if (alg == 0) return Session::usage("key encrypt: -a takes des, 3des, seed, neat or aria");
        if (int rc = QELT_PRIKEY_Encrypt(s.ctx(), alg, pass.data(), &key, &out)) return s.fail(rc);
        return writeKey(s, a, out.vec(), true);
    }
    if (op == "decrypt") {
        if (int rc = QELT_PRIKEY_Decrypt(s.ctx(), pass.data(), &key, &out)) return s.fail(rc);
        return writeKey(s, a, out.vec(), false);
    }
    if (op == "passwd") {
        std::string newPass = password(a, "new-pass", "QELT_KEY_NEWPASS");
        if (int rc = QELT_PRIKEY_ChangePasswd(s.ctx(), pass.data(), newPass.data(), &key, &out)) return s.fail(rc);
        return writeKey(s, a, out.vec(), true);
    }
    if (op == "info") {
        char name[52], size[50];
        if (int rc = QELT_PRIKEY_GetKeyInfo(s.ctx(), &key, name, size)) return s.fail(rc);
        std::printf("algorithm: %s\nsize: %s\n", toUtf8(name).c_str(), toUtf8(size).c_str());
        return 0;
    }
    if (op == "check") {
        if (a.positional.size() < 3) return Session::usage(kSynopsis);
        std::vector<uint8_t> certDer;
        if (int rc = readKey(s, a.positional[2], certDer)) return rc;  // PEM armour is undone the same way
        Bin cert(certDer);
        if (int rc = QELT_PRIKEY_CheckKeyPair(s.ctx(), &cert, &key)) return s.fail(rc);
        std::printf("the key belongs to the certificate\n");
        return 0;
    }
    return Session::usage(kSynopsis);
}

}  // namespace

QELT_CLI_VERB({"key", kSynopsis, {"pem"}, &runKey});
