// qelt sigea challenge / respond / verify: the three steps of challenge-response
// authentication through the C API. Messages are DER files.
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

int runChallenge(Session& s, const Args& a) {
    if (!a.positional.empty()) return Session::usage("sigea challenge: no arguments besides -o");
    Bin challenge;
    if (const int rc = QELT_SIGEA_MakeChallenge(s.ctx(), &challenge)) return s.fail(rc);
    writeOutput(a.get("o", "-"), challenge.span());
    return 0;
}

int runRespond(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath || a.positional.size() != 1)
        return Session::usage("sigea respond: -c CERT -k KEY and one CHALLENGE file are needed");
    std::vector<uint8_t> cert, key;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (const int rc = readDerOrPem(s, *keyPath, key)) return rc;
    if (const int rc = checkSignerKey(s, cert, key)) return rc;
    const InputBytes challenge = mapInput(a.positional[0]);
    BINSTR ch = challenge.view();
    Bin c(cert), k(key), response;
    if (const int rc = QELT_SIGEA_MakeResponse(s.ctx(), &ch, &c, &k, &response)) return s.fail(rc);
    writeOutput(a.get("o", "-"), response.span());
    return 0;
}

int runVerify(Session& s, const Args& a) {
    if (a.positional.size() != 2) return Session::usage("sigea verify: CHALLENGE and RESPONSE files are needed");
    const InputBytes challenge = mapInput(a.positional[0]), response = mapInput(a.positional[1]);
    BINSTR ch = challenge.view(), r = response.view();
    Bin cert;
    if (const int rc = QELT_SIGEA_VerifyResponse(s.ctx(), &r, &ch, &cert)) return s.fail(rc);
    if (const auto out = a.get("o")) writeOutput(*out, cert.span());
    Bin loaded(cert.vec());
    char subject[1024] = {0};
    if (QELT_CERT_Load(s.ctx(), &loaded) == 0 && QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject) == 0)
        noteOnSuccess("response OK, signed by " + toUtf8(subject));
    else
        noteOnSuccess("response OK");
    return 0;
}

}  // namespace

QELT_CLI_VERB({"sigea challenge",
               "sigea challenge [-o CHALLENGE]",
               {},
               &runChallenge,
               {"The server's first step: a fresh challenge of 16 random bytes (DER) for the client to sign. "
                "Keep it to check the response.",
                {{"-o FILE", "write the challenge to FILE instead of standard output"}},
                {"qelt sigea challenge -o challenge.der"}}});
QELT_CLI_VERB({"sigea respond",
               "sigea respond -c CERT -k KEY CHALLENGE [-o RESPONSE]",
               {},
               &runRespond,
               {"The client's step: signs the server's challenge with a signing certificate's key and writes the "
                "response (DER), which carries the certificate.",
                {{"-c CERT", "the client's signing certificate (DER or PEM)"},
                 {"-k KEY", "its decrypted private key (PKCS#8, DER or PEM)"},
                 {"-o FILE", "write the response to FILE instead of standard output"}},
                {"qelt sigea respond -c alice.pem -k alice.p8 ch.der -o response.der"}}});
QELT_CLI_VERB({"sigea verify",
               "sigea verify CHALLENGE RESPONSE [-o CLIENT_CERT]",
               {},
               &runVerify,
               {"The server's last step: checks that RESPONSE signs the CHALLENGE it issued and prints who signed; "
                "the client's certificate is not validated here (use the certificate verification for that).",
                {{"-o FILE", "write the client's certificate to FILE"}},
                {"qelt sigea verify ch.der resp.der -o client.der"}}});
