// qelt pfx export|import: certificate/private-key pairs in and out of a
// password-protected PFX (PKCS #12) file.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tuple>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

constexpr const char* kSynopsis =
    "pfx export [--sign-cert C --sign-key K] [--km-cert C --km-key K] [--pass P | env QELT_PFX_PASS] -o OUT.p12  "
    "pack the signing and/or key-distribution pair (DER or PEM; keys decrypted PKCS#8) | "
    "pfx import IN.p12 [--pass P] [--sign-cert OUT] [--sign-key OUT] [--km-cert OUT] [--km-key OUT]  "
    "unpack a PFX; pairs are sorted by key usage and written where asked (DER)";

std::string password(const Args& a) {
    if (auto p = a.get("pass")) return toCp949(*p);
    const char* e = std::getenv("QELT_PFX_PASS");
    return e ? toCp949(e) : std::string();
}

// An input named by an option, or empty when the option is absent. 0 or the exit status.
int optionalInput(Session& s, const Args& a, const char* option, std::vector<uint8_t>& der) {
    der.clear();
    if (auto path = a.get(option)) return readDerOrPem(s, *path, der);
    return 0;
}

int runExport(Session& s, const Args& a) {
    std::vector<uint8_t> signCert, signKey, kmCert, kmKey;
    for (auto [opt, out] : {std::pair{"sign-cert", &signCert}, std::pair{"sign-key", &signKey},
                            std::pair{"km-cert", &kmCert}, std::pair{"km-key", &kmKey}})
        if (int rc = optionalInput(s, a, opt, *out)) return rc;
    const std::string out = a.get("o", a.get("out", ""));
    if (out.empty()) return Session::usage("pfx export: -o OUT.p12 is needed");
    std::string pass = password(a);
    Bin sc(signCert), sk(signKey), kc(kmCert), kk(kmKey), pfx;
    const bool sign = !signCert.empty() || !signKey.empty(), km = !kmCert.empty() || !kmKey.empty();
    if (int rc = QELT_PFX_Export(s.ctx(), pass.data(), sign && !signCert.empty() ? &sc : nullptr,
                                 sign && !signKey.empty() ? &sk : nullptr, km && !kmCert.empty() ? &kc : nullptr,
                                 km && !kmKey.empty() ? &kk : nullptr, &pfx))
        return s.fail(rc);
    std::string error;
    return writeOutput(out, pfx.vec(), error) ? 0 : Session::usage(error);
}

int runImport(Session& s, const Args& a) {
    if (a.positional.size() < 2) return Session::usage(kSynopsis);
    std::vector<uint8_t> pfx;
    std::string error;
    if (!readInput(a.positional[1], pfx, error)) return Session::usage(error);
    std::string pass = password(a);
    Bin in(pfx), sc, sk, kc, kk;
    if (int rc = QELT_PFX_Import(s.ctx(), pass.data(), &in, &sc, &sk, &kc, &kk)) return s.fail(rc);
    for (auto [opt, bin, what] :
         {std::tuple{"sign-cert", std::addressof(sc), "signing certificate"}, std::tuple{"sign-key", std::addressof(sk), "signing private key"},
          std::tuple{"km-cert", std::addressof(kc), "key-distribution certificate"},
          std::tuple{"km-key", std::addressof(kk), "key-distribution private key"}}) {
        const std::vector<uint8_t> value = bin->vec();
        std::printf("%s: %s\n", what, value.empty() ? "none" : "present");
        auto path = a.get(opt);
        if (!path || value.empty()) continue;
        if (!writeOutput(*path, value, error)) return Session::usage(error);
    }
    return 0;
}

int runPfx(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage(kSynopsis);
    if (a.positional[0] == "export") return runExport(s, a);
    if (a.positional[0] == "import") return runImport(s, a);
    return Session::usage(kSynopsis);
}

}  // namespace

QELT_CLI_VERB({"pfx", kSynopsis, {}, &runPfx});
