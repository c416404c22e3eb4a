// qelt vid check: is this the certificate of the holder of that
// identification number? The random number comes from the holder's decrypted
// key (or is given in hexadecimal). qelt vid ivs and qelt vid ivs-cert ask the
// identity-verification server of a configuration file the same question, or
// whether the certificate is valid.
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

// The certificate in question and the requester's, for the server's questions.
int readPair(Session& s, const Args& a, std::vector<uint8_t>& cert, std::vector<uint8_t>& mine) {
    const auto certPath = a.get("c"), minePath = a.get("requester");
    if (!certPath || !minePath || !a.get("conf"))
        return Session::usage("vid ivs: --conf FILE -c CERT --requester MY_CERT are needed");
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    return readDerOrPem(s, *minePath, mine);
}

int runIvs(Session& s, const Args& a) {
    std::vector<uint8_t> cert, mine;
    if (const int rc = readPair(s, a, cert, mine)) return rc;
    if (a.positional.size() != 1) return Session::usage("vid ivs: the IDN is needed");
    Bin c(cert), m(mine);
    const std::string conf = *a.get("conf");
    if (const int rc =
            QELT_VID_VerifyByIVS(s.ctx(), conf.c_str(), &c, &m, toCp949(a.positional[0]).c_str(), nullptr, nullptr))
        return s.fail(rc);
    std::printf("the server confirms that the certificate belongs to %s\n", a.positional[0].c_str());
    return 0;
}

int runIvsCert(Session& s, const Args& a) {
    if (!a.positional.empty()) return Session::usage("vid ivs-cert: no arguments besides the options");
    std::vector<uint8_t> cert, mine;
    if (const int rc = readPair(s, a, cert, mine)) return rc;
    Bin c(cert), m(mine);
    const std::string conf = *a.get("conf");
    if (const int rc = QELT_CERT_VerifyByIVS(s.ctx(), conf.c_str(), &c, &m)) return s.fail(rc);
    std::printf("the server finds the certificate valid\n");
    return 0;
}

}  // namespace

QELT_CLI_VERB({"vid ivs",
               "vid ivs --conf FILE -c CERT --requester MY_CERT IDN",
               {},
               &runIvs,
               {"Asks the identity-verification server of the configuration file ([IVS] IP, PORT, SVR_KM_CERT_URL, "
                "TIME_OUT) whether the certificate belongs to IDN; the number travels encrypted for the server. "
                "The server's certificates are cached under the work directory's cache/IVS.",
                {{"--conf FILE", "the configuration file with the [IVS] section"},
                 {"-c CERT", "the certificate in question (DER or PEM)"},
                 {"--requester CERT", "the asking party's own certificate"}},
                {"qelt vid ivs --conf qelt.conf -c user.der --requester me.der 8001011234567"}}});
QELT_CLI_VERB({"vid ivs-cert",
               "vid ivs-cert --conf FILE -c CERT --requester MY_CERT",
               {},
               &runIvsCert,
               {"Asks the identity-verification server of the configuration file whether the certificate is valid.",
                {{"--conf FILE", "the configuration file with the [IVS] section"},
                 {"-c CERT", "the certificate to validate (DER or PEM)"},
                 {"--requester CERT", "the asking party's own certificate"}},
                {"qelt vid ivs-cert --conf qelt.conf -c user.der --requester me.der"}}});
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
                {"qelt vid check -c user.der -k user.p8 8001011234567"}}});
