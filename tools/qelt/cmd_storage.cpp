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
    "storage: the first word is read-cert, read-key, write-cert, write-key, delete-cert or delete-key";

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};

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
        if (a.get("pin"))
            info = readPassword(a, "pin", nullptr, "").str();
        else if (const char* env = std::getenv("QELT_STORAGE_PIN"))
            info = toCp949(env);
        std::string path = *lib;
        if (int rc = QELT_STORAGE_Load(s.ctx(), path.data())) return s.fail(rc);
    } else {
        return Session::usage("storage: --file PATH or --plugin LIB is needed");
    }
    const int type = static_cast<int>(a.number("type", 1, 32, 1));
    if (type != 1 && type != 2 && type != 16 && type != 32)
        return Session::usage("storage: --type takes 1, 2, 16 or 32");
    const bool keyOp = op == "read-key" || op == "write-key" || op == "delete-key";
    SecretText pass =
        keyOp ? readPassword(a, "pass", "QELT_KEY_PASS", "password of the stored key: ") : SecretText(std::string());
    char* passArg = pass.str().empty() ? nullptr : pass.data();
    const std::string in = a.positional.size() > 1 ? a.positional[1] : "-";
    const std::string out = a.get("o", a.get("out", "-"));

    if (op == "read-cert" || op == "read-key") {
        Bin value;
        const int rc = op == "read-cert" ? QELT_STORAGE_ReadCert(s.ctx(), media, info.data(), type, &value)
                                         : QELT_STORAGE_ReadPriKey(s.ctx(), media, info.data(), passArg, type, &value);
        if (rc != 0) return s.fail(rc);
        writeOutput(out, value.span());
        return 0;
    }
    if (op == "write-cert" || op == "write-key") {
        std::vector<uint8_t> der;
        if (int rc = readDerOrPem(s, in, der)) return rc;
        // A disk medium is a file the library writes itself: never one of the command's inputs.
        if (media == QELT_MEDIA_DISK) checkOutputFile(info);
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

QELT_CLI_VERB({"storage",
               "storage read-cert|read-key|write-cert|write-key|delete-cert|delete-key (--file PATH | --plugin LIB) "
               "[--type N] [--pass P] [-a ALG] [IN] [-o OUT]",
               {},
               &runStorage,
               {"Reads, writes or deletes a certificate or a private key on a storage medium: a disk file (written "
                "whole, atomically) or a storage plug-in module. Keys go in and out decrypted (PKCS#8 DER) and are "
                "stored encrypted under the password.",
                {{"--file PATH", "the disk file that holds the item"},
                 {"--plugin LIB", "the storage plug-in module instead of a disk file"},
                 {"--pin PIN", "the plug-in's PIN: TEXT, file:PATH or env:VAR (default $QELT_STORAGE_PIN)"},
                 {"--type N", "1 signing certificate/key (default), 2 key-distribution, 16 and 32 the others"},
                 {"--pass PASSWORD",
                  "the stored key's password: TEXT, file:PATH or env:VAR (default $QELT_KEY_PASS, else a prompt)"},
                 {"-a, --alg NAME", "write-key: des, 3des, seed (default), neat or aria"},
                 {"-o, --out FILE", "read-cert, read-key: write the item to FILE instead of standard output"}},
                {"qelt storage write-key --file sign.key --pass file:pw.txt -a seed ee.p8",
                 "qelt storage read-key --file sign.key --pass file:pw.txt -o back.p8"}}});
