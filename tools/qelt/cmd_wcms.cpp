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

std::string dataPath(const Args& a) { return a.positional.empty() ? "-" : a.positional[0]; }

int runSign(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath || a.positional.size() > 1)
        return Session::usage("wcms sign: -c CERT -k KEY and at most one DATA file");
    std::vector<uint8_t> cert, key;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (const int rc = readDerOrPem(s, *keyPath, key)) return rc;
    if (const int rc = checkSignerKey(s, cert, key)) return rc;
    const InputBytes data = mapInput(dataPath(a));
    BINSTR d = data.view();
    std::string when = a.get("t", "");
    Bin c(cert), k(key), out;
    if (const int rc = QELT_WCMS_MakeSignedContent(s.ctx(), &c, &k, &d, when.empty() ? nullptr : when.data(), &out))
        return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

int runVerify(Session& s, const Args& a) {
    if (a.positional.size() > 1) return Session::usage("wcms verify: at most one MSG file");
    const InputBytes msg = mapInput(dataPath(a));
    BINSTR m = msg.view();
    Bin data, signer;
    char when[32] = {0};
    if (const int rc = QELT_WCMS_ProcessSignedContent(s.ctx(), &m, &data, &signer, when)) return s.fail(rc);
    if (const auto path = a.get("signer")) writeOutput(*path, signer.span());
    char subject[1024] = {0};
    Bin loaded(signer.vec());
    if (QELT_CERT_Load(s.ctx(), &loaded) == 0) QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject);
    noteOnSuccess("signature OK, signed by " + toUtf8(subject) + " at " + when + " (local time)");
    writeOutput(a.get("o", "-"), data.span());
    return 0;
}

int runEncrypt(Session& s, const Args& a) {
    int alg = 0;
    const std::string name = a.get("a", "3des");
    for (const Named& n : kCiphers)
        if (name == n.name) alg = n.code;
    if (alg == 0) return Session::usage("wcms encrypt: -a takes 3des, seed or neat");
    const auto certPath = a.get("c");
    if (!certPath || a.positional.size() > 1)
        return Session::usage("wcms encrypt: -c RECIPIENT_CERT and at most one DATA file");
    std::vector<uint8_t> cert;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    const InputBytes data = mapInput(dataPath(a));
    BINSTR d = data.view();
    Bin c(cert), out;
    if (const int rc = QELT_WCMS_MakeWapEnvelopedData(s.ctx(), &c, &d, alg, &out)) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

int runDecrypt(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath || a.positional.size() > 1)
        return Session::usage("wcms decrypt: -c CERT -k KEY and at most one MSG file");
    std::vector<uint8_t> cert, key;
    if (const int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (const int rc = readDerOrPem(s, *keyPath, key)) return rc;
    const InputBytes msg = mapInput(dataPath(a));
    BINSTR m = msg.view();
    Bin c(cert), k(key), out;
    if (const int rc = QELT_WCMS_ProcessWapEnvelopedData(s.ctx(), &c, &k, &m, &out)) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

const OptionHelp kOutput{"-o FILE", "write the result to FILE instead of standard output"};

}  // namespace

QELT_CLI_VERB({"wcms sign",
               "wcms sign -c CERT -k KEY [-t YYYYMMDDhhmmss] [DATA] [-o OUT]",
               {},
               &runSign,
               {"Makes a WAP SignedContent of DATA (at most 65535 bytes; standard input without DATA): RSA with "
                "SHA-1, or ECDSA for EC keys, over the CMS signed attributes of the content and the signing time.",
                {{"-c CERT", "the signer's certificate (DER or PEM)"},
                 {"-k KEY", "its decrypted private key (PKCS#8, DER or PEM)"},
                 {"-t TIME", "the signing time YYYYMMDDhhmmss in local time (default now)"},
                 kOutput},
                {"qelt wcms sign -c alice.pem -k alice.p8 hello.txt -o signed.sc"}}});
QELT_CLI_VERB({"wcms verify",
               "wcms verify [MSG] [-o DATA] [--signer CERT_OUT]",
               {},
               &runVerify,
               {"Checks a WAP SignedContent, prints who signed it and when, and writes the content.",
                {{"-o FILE", "write the content to FILE instead of standard output"},
                 {"--signer FILE", "write the signer's certificate to FILE"}},
                {"qelt wcms verify hello.sc -o content.txt --signer signer.der"}}});
QELT_CLI_VERB({"wcms encrypt",
               "wcms encrypt -c RECIPIENT_CERT [-a 3des|seed|neat] [DATA] [-o OUT]",
               {},
               &runEncrypt,
               {"Makes a WapEnvelopedData of DATA for one RSA recipient (keys below 2048 bits), named by its "
                "certificate's subject key identifier.",
                {{"-c CERT", "the recipient's certificate (DER or PEM)"},
                 {"-a NAME", "3des (default), seed or neat, in CBC mode"},
                 kOutput},
                {"qelt wcms encrypt -c biz.der -a seed hello.txt -o sealed.env"}}});
QELT_CLI_VERB({"wcms decrypt",
               "wcms decrypt -c CERT -k KEY [MSG] [-o OUT]",
               {},
               &runDecrypt,
               {"Opens a WapEnvelopedData with the recipient's certificate and decrypted key.",
                {{"-c CERT", "the recipient's certificate (DER or PEM)"},
                 {"-k KEY", "its decrypted private key (PKCS#8, DER or PEM)"},
                 kOutput},
                {"qelt wcms decrypt -c biz.der -k biz.p8 hello.env -o opened.txt"}}});
