// qelt wcms sign / verify / encrypt / decrypt: the WAP signed content and
// enveloped message through the C API.
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"3des", QELT_SYM_3DES}, {"seed", QELT_SYM_SEED}, {"neat", QELT_SYM_NEAT}};

int runSign(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath) return Session::usage("wcms sign: -c CERT -k KEY.p8 are needed");
    std::vector<uint8_t> cert, key, data;
    std::string error;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (!readInput(*keyPath, key, error) || !readInput(a.positional.empty() ? "-" : a.positional[0], data, error))
        return Session::usage(error);
    std::string when = a.get("t", "");
    Bin c(cert), k(key), d(data), out;
    if (const int rc = QELT_WCMS_MakeSignedContent(s.ctx(), &c, &k, &d, when.empty() ? nullptr : when.data(), &out))
        return s.fail(rc);
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

int runVerify(Session& s, const Args& a) {
    std::vector<uint8_t> msg;
    std::string error;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], msg, error)) return Session::usage(error);
    Bin m(msg), data, signer;
    char when[32] = {0};
    if (const int rc = QELT_WCMS_ProcessSignedContent(s.ctx(), &m, &data, &signer, when)) return s.fail(rc);
    if (const auto path = a.get("signer"))
        if (!writeOutput(*path, signer.vec(), error)) return Session::usage(error);
    char subject[1024] = {0};
    Bin loaded(signer.vec());
    if (QELT_CERT_Load(s.ctx(), &loaded) == 0) QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject);
    std::fprintf(stderr, "signature OK, signed by %s at %s (local time)\n", toUtf8(subject).c_str(), when);
    return writeOutput(a.get("o", "-"), data.vec(), error) ? 0 : Session::usage(error);
}

int runEncrypt(Session& s, const Args& a) {
    int alg = 0;
    const std::string name = a.get("a", "3des");
    for (const Named& n : kCiphers)
        if (name == n.name) alg = n.code;
    if (alg == 0) return Session::usage("wcms encrypt: -a takes 3des, seed or neat");
    const auto certPath = a.get("c");
    if (!certPath) return Session::usage("wcms encrypt: -c RECIPIENT_CERT is needed");
    std::vector<uint8_t> cert, data;
    std::string error;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], data, error)) return Session::usage(error);
    Bin c(cert), d(data), out;
    if (const int rc = QELT_WCMS_MakeWapEnvelopedData(s.ctx(), &c, &d, alg, &out)) return s.fail(rc);
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

int runDecrypt(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath) return Session::usage("wcms decrypt: -c CERT -k KEY.p8 are needed");
    std::vector<uint8_t> cert, key, msg;
    std::string error;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (!readInput(*keyPath, key, error) || !readInput(a.positional.empty() ? "-" : a.positional[0], msg, error))
        return Session::usage(error);
    Bin c(cert), k(key), m(msg), out;
    if (const int rc = QELT_WCMS_ProcessWapEnvelopedData(s.ctx(), &c, &k, &m, &out)) return s.fail(rc);
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

}  // namespace

QELT_CLI_VERB(
    {"wcms sign", "wcms sign -c CERT -k KEY.p8 [-t YYYYMMDDhhmmss] [DATA] [-o OUT]  WAP signed content", {}, &runSign});
QELT_CLI_VERB(
    {"wcms verify", "wcms verify [MSG] [-o DATA] [--signer CERT_OUT]  check a WAP signed content", {}, &runVerify});
QELT_CLI_VERB({"wcms encrypt",
               "wcms encrypt -c RECIPIENT_CERT [-a 3des|seed|neat] [DATA] [-o OUT]  WAP enveloped",
               {},
               &runEncrypt});
QELT_CLI_VERB(
    {"wcms decrypt", "wcms decrypt -c CERT -k KEY.p8 [MSG] [-o OUT]  open a WAP enveloped message", {}, &runDecrypt});
