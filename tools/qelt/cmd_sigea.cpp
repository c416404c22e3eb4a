// qelt sigea challenge / respond / verify: the three steps of challenge-response
// authentication through the C API. Messages are DER files.
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

int runChallenge(Session& s, const Args& a) {
    Bin challenge;
    if (const int rc = QELT_SIGEA_MakeChallenge(s.ctx(), &challenge)) return s.fail(rc);
    std::string error;
    return writeOutput(a.get("o", "-"), challenge.vec(), error) ? 0 : Session::usage(error);
}

int runRespond(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath || a.positional.empty())
        return Session::usage("sigea respond: -c CERT -k KEY.p8 CHALLENGE are needed");
    std::vector<uint8_t> cert, key, challenge;
    std::string error;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (!readInput(*keyPath, key, error) || !readInput(a.positional[0], challenge, error)) return Session::usage(error);
    Bin c(cert), k(key), ch(challenge), response;
    if (const int rc = QELT_SIGEA_MakeResponse(s.ctx(), &ch, &c, &k, &response)) return s.fail(rc);
    return writeOutput(a.get("o", "-"), response.vec(), error) ? 0 : Session::usage(error);
}

int runVerify(Session& s, const Args& a) {
    if (a.positional.size() < 2) return Session::usage("sigea verify: CHALLENGE RESPONSE are needed");
    std::vector<uint8_t> challenge, response;
    std::string error;
    if (!readInput(a.positional[0], challenge, error) || !readInput(a.positional[1], response, error))
        return Session::usage(error);
    Bin ch(challenge), r(response), cert;
    if (const int rc = QELT_SIGEA_VerifyResponse(s.ctx(), &r, &ch, &cert)) return s.fail(rc);
    if (const auto out = a.get("o"))
        if (!writeOutput(*out, cert.vec(), error)) return Session::usage(error);
    Bin loaded(cert.vec());
    char subject[1024] = {0};
    if (QELT_CERT_Load(s.ctx(), &loaded) == 0 && QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject) == 0)
        std::fprintf(stderr, "response OK, signed by %s\n", toUtf8(subject).c_str());
    else
        std::fprintf(stderr, "response OK\n");
    return 0;
}

}  // namespace

QELT_CLI_VERB(
    {"sigea challenge", "sigea challenge [-o CHALLENGE]  a fresh challenge (server side)", {}, &runChallenge});
QELT_CLI_VERB({"sigea respond",
               "sigea respond -c CERT -k KEY.p8 CHALLENGE [-o RESPONSE]  sign a challenge (client side)",
               {},
               &runRespond});
QELT_CLI_VERB({"sigea verify",
               "sigea verify CHALLENGE RESPONSE [-o CLIENT_CERT]  check a response to the challenge issued",
               {},
               &runVerify});
