// qelt storage: certificates and private keys on a storage medium, a disk
// file or a storage plug-in module.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

constexpr const char* kSynopsis =
    "storage read-cert|read-key|write-cert|write-key|delete-cert|delete-key "
    "(--file PATH | --plugin LIB [--pin PIN | env QELT_STORAGE_PIN]) [--type 1|2|16|32] "
    "[--pass P | env QELT_KEY_PASS] [-a des|3des|seed|neat|aria] [IN] [-o OUT]  "
    "read, write or delete a certificate or a private key (decrypted PKCS#8 DER; stored encrypted under the "
    "password) on a disk file or through a storage plug-in";

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};

std::string fromOptionOrEnv(const Args& a, const char* option, const char* env) {
    if (auto p = a.get(option)) return toCp949(*p);
    const char* e = std::getenv(env);
    return e ? toCp949(e) : std::string();
}

int runStorage(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage(kSynopsis);
    const std::string op = a.positional[0];
    int media = 0;
    std::string info;
    if (auto file = a.get("file")) {
        media = QELT_MEDIA_DISK;
        info = *file;
    } else if (auto lib = a.get("plugin")) {
        media = QELT_MEDIA_PLUGIN;
        info = fromOptionOrEnv(a, "pin", "QELT_STORAGE_PIN");
        std::string path = *lib;
        if (int rc = QELT_STORAGE_Load(s.ctx(), path.data())) return s.fail(rc);
    } else {
        return Session::usage("storage: --file PATH or --plugin LIB is needed");
    }
    const std::string typeText = a.get("type", "1");
    int type = 0;
    for (const char* t : {"1", "2", "16", "32"})
        if (typeText == t) type = std::atoi(t);
    if (type == 0) return Session::usage("storage: --type takes 1, 2, 16 or 32");
    std::string pass = fromOptionOrEnv(a, "pass", "QELT_KEY_PASS");
    char* passArg = pass.empty() ? nullptr : pass.data();
    const std::string in = a.positional.size() > 1 ? a.positional[1] : "-";
    const std::string out = a.get("o", a.get("out", "-"));
    std::string error;

    if (op == "read-cert" || op == "read-key") {
        Bin value;
        const int rc = op == "read-cert" ? QELT_STORAGE_ReadCert(s.ctx(), media, info.data(), type, &value)
                                         : QELT_STORAGE_ReadPriKey(s.ctx(), media, info.data(), passArg, type, &value);
        if (rc != 0) return s.fail(rc);
        return writeOutput(out, value.vec(), error) ? 0 : Session::usage(error);
    }
    if (op == "write-cert" || op == "write-key") {
        std::vector<uint8_t> der;
        if (int rc = readDerOrPem(s, in, der)) return rc;
        Bin value(der);
        if (op == "write-cert") {
            if (int rc = QELT_STORAGE_WriteCert(s.ctx(), media, info.data(), type, &value)) return s.fail(rc);
            return 0;
        }
        const std::string name = a.get("a", a.get("alg", "seed"));
        int alg = 0;
        for (const Named& c : kCiphers)
            if (name == c.name) alg = c.code;
        if (alg == 0) return Session::usage("storage write-key: -a takes des, 3des, seed, neat or aria");
        if (int rc = QELT_STORAGE_WritePriKey(s.ctx(), media, info.data(), passArg, type, alg, &value))
            return s.fail(rc);
        return 0;
    }
    if (op == "delete-cert") {
        if (int rc = QELT_STORAGE_DeleteCert(s.ctx(), media, info.data(), type)) return s.fail(rc);
        return 0;
    }
    if (op == "delete-key") {
        if (int rc = QELT_STORAGE_DeletePriKey(s.ctx(), media, info.data(), passArg, type)) return s.fail(rc);
        return 0;
    }
    return Session::usage(kSynopsis);
}

}  // namespace

QELT_CLI_VERB({"storage", kSynopsis, {}, &runStorage});
