// qelt vid check: is this the certificate of the holder of that
// identification number? The random number comes from the holder's decrypted
// key (or is given in hexadecimal).
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

int runCheck(Session& s, const Args& a) {
    const auto certPath = a.get("c");
    if (!certPath || a.positional.empty()) return Session::usage("vid check: -c CERT and the IDN are needed");
    std::vector<uint8_t> cert, random;
    std::string error;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (const auto hex = a.get("random")) {
        if (!fromHex(*hex, random)) return Session::usage("vid check: --random takes hexadecimal digits");
    } else if (const auto keyPath = a.get("k")) {
        std::vector<uint8_t> key;
        if (!readInput(*keyPath, key, error)) return Session::usage(error);
        Bin k(key), r;
        if (const int rc = QELT_VID_GetRandomFromPriKey(s.ctx(), &k, &r)) return s.fail(rc);
        random = r.vec();
    } else {
        return Session::usage("vid check: -k KEY.p8 or --random HEX is needed");
    }
    Bin c(cert), r(random);
    if (const int rc = QELT_VID_Verify(s.ctx(), &c, &r, toCp949(a.positional[0]).c_str())) return s.fail(rc);
    std::printf("the certificate belongs to %s\n", a.positional[0].c_str());
    return 0;
}

}  // namespace

QELT_CLI_VERB({"vid check",
               "vid check -c CERT (-k KEY.p8 | --random HEX) IDN  identity number against a certificate",
               {},
               &runCheck});
