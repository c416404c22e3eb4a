// qelt vid check: is this the certificate of the holder of that
// identification number? The random number comes from the holder's decrypted
// key (or is given in hexadecimal).
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

int runCheck(Session& s, const Args& a) {
    const auto certPath = a.get("c");
    if (!certPath || a.positional.size() != 1) return Session::usage("vid check: -c CERT and the IDN are needed");
    std::vector<uint8_t> cert, random;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (const auto hex = a.get("random")) {
        if (!fromHex(*hex, random) || random.empty())
            return Session::usage("vid check: --random takes hexadecimal digits");
    } else if (const auto keyPath = a.get("k")) {
        std::vector<uint8_t> key;
        if (const int rc = readDerOrPem(s, *keyPath, key)) return rc;
        Bin k(key), r;
        if (const int rc = QELT_VID_GetRandomFromPriKey(s.ctx(), &k, &r)) return s.fail(rc);
        random = r.vec();
    } else {
        return Session::usage("vid check: -k KEY or --random HEX is needed");
    }
    Bin c(cert), r(random);
    if (const int rc = QELT_VID_Verify(s.ctx(), &c, &r, toCp949(a.positional[0]).c_str())) return s.fail(rc);
    std::printf("the certificate belongs to %s\n", a.positional[0].c_str());
    return 0;
}

}  // namespace

QELT_CLI_VERB({"vid check",
               "vid check -c CERT (-k KEY | --random HEX) IDN",
               {},
               &runCheck,
               {"Checks locally that the identification number IDN (resident or business registration number) "
                "belongs to the certificate, through its identification data and the random number kept in the "
                "holder's key; exits 1 when it does not.",
                {{"-c CERT", "the certificate (DER or PEM)"},
                 {"-k KEY", "the holder's decrypted private key (PKCS#8), which keeps the random number"},
                 {"--random HEX", "the random number itself, in hexadecimal, instead of -k"}},
                {"qelt vid check -c cert.der -k key.p8 8001011234567"}}});
