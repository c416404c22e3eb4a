// qelt pfx export|import: certificate/private-key pairs in and out of a
// password-protected PFX (PKCS #12) file.
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

// An input named by an option, or empty when the option is absent. 0 or the exit status.
int optionalInput(Session& s, const Args& a, const char* option, std::vector<uint8_t>& der) {
    der.clear();
    if (auto path = a.get(option)) return readDerOrPem(s, *path, der);
    return 0;
}

int runExport(Session& s, const Args& a) {
    if (!a.positional.empty()) return Session::usage("pfx export: no arguments besides the options");
    std::vector<uint8_t> signCert, signKey, kmCert, kmKey;
    for (auto [opt, out] : {std::pair{"sign-cert", &signCert}, std::pair{"sign-key", &signKey},
                            std::pair{"km-cert", &kmCert}, std::pair{"km-key", &kmKey}})
        if (int rc = optionalInput(s, a, opt, *out)) return rc;
    const std::string out = a.get("o", a.get("out", ""));
    if (out.empty()) return Session::usage("pfx export: -o OUT.p12 is needed");
    SecretText pass = readPassword(a, "pass", "QELT_PFX_PASS", "password for the PFX: ");
    Bin sc(signCert), sk(signKey), kc(kmCert), kk(kmKey), pfx;
    if (int rc =
            QELT_PFX_Export(s.ctx(), pass.data(), signCert.empty() ? nullptr : &sc, signKey.empty() ? nullptr : &sk,
                            kmCert.empty() ? nullptr : &kc, kmKey.empty() ? nullptr : &kk, &pfx))
        return s.fail(rc);
    writeOutput(out, pfx.span());
    return 0;
}

int runImport(Session& s, const Args& a) {
    if (a.positional.size() != 1) return Session::usage("pfx import: one PFX file is needed");
    const InputBytes pfx = mapInput(a.positional[0]);
    BINSTR in = pfx.view();
    SecretText pass = readPassword(a, "pass", "QELT_PFX_PASS", "password of the PFX: ");
    Bin sc, sk, kc, kk;
    if (int rc = QELT_PFX_Import(s.ctx(), pass.data(), &in, &sc, &sk, &kc, &kk)) return s.fail(rc);
    for (auto [opt, bin, what] : {std::tuple{"sign-cert", std::addressof(sc), "signing certificate"},
                                  std::tuple{"sign-key", std::addressof(sk), "signing private key"},
                                  std::tuple{"km-cert", std::addressof(kc), "key-distribution certificate"},
                                  std::tuple{"km-key", std::addressof(kk), "key-distribution private key"}}) {
        const bool present = !bin->span().empty();
        std::printf("%s: %s\n", what, present ? "present" : "none");
        if (auto path = a.get(opt); path && present) writeOutput(*path, bin->span());
    }
    return 0;
}

const OptionHelp kPass{"--pass PASSWORD",
                       "the PFX password: TEXT, file:PATH or env:VAR (default $QELT_PFX_PASS, else a prompt)"};

}  // namespace

QELT_CLI_VERB({"pfx export",
               "pfx export [--sign-cert C --sign-key K] [--km-cert C --km-key K] [--pass P] -o OUT.p12",
               {},
               &runExport,
               {"Packs the signing and/or key-distribution certificate and decrypted private key (PKCS#8; DER or "
                "PEM) into a password-protected PFX.",
                {{"--sign-cert FILE", "the signing certificate"},
                 {"--sign-key FILE", "its decrypted private key"},
                 {"--km-cert FILE", "the key-distribution certificate"},
                 {"--km-key FILE", "its decrypted private key"},
                 kPass,
                 {"-o, --out FILE", "the PFX to write"}},
                {"qelt pfx export --sign-cert ee.pem --sign-key ee.p8 --pass file:pw.txt -o ee.p12"}}});
QELT_CLI_VERB({"pfx import",
               "pfx import IN.p12 [--pass P] [--sign-cert OUT] [--sign-key OUT] [--km-cert OUT] [--km-key OUT]",
               {},
               &runImport,
               {"Unpacks a PFX: its pairs are sorted by key usage, listed, and written (DER) where asked.",
                {kPass,
                 {"--sign-cert FILE", "write the signing certificate to FILE"},
                 {"--sign-key FILE", "write its decrypted private key (PKCS#8) to FILE"},
                 {"--km-cert FILE", "write the key-distribution certificate to FILE"},
                 {"--km-key FILE", "write its decrypted private key to FILE"}},
                {"qelt pfx import legacy.p12 --pass pfx-test-pass --sign-cert sign.der --sign-key sign.p8"}}});
