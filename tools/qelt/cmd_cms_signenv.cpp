// qelt cms signenc / cms decverify: SignedAndEnvelopedData through the C API.
// Certificates, keys and messages may be PEM or DER, files or standard input
// ("-"); the content is taken as bytes. Messages are written as DER in a
// ContentInfo, or with --pem as PEM.
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};

constexpr const char* kSignEncUsage =
    "cms signenc -c CERT -k KEY -r RECIPIENT [-a des|3des|seed|neat|aria] [--hash sha1|sha256] [--pkcs1] [--pem] "
    "[FILE] [-o OUT]";

int runSignEnc(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k"), recipPath = a.get("r");
    if (!certPath || !keyPath || !recipPath) return Session::usage(kSignEncUsage);
    int alg = 0;
    const std::string cipher = a.get("a", "3des");
    for (const Named& n : kCiphers)
        if (cipher == n.name) alg = n.code;
    if (alg == 0) return Session::usage("cms signenc: -a takes des, 3des, seed, neat or aria");
    if (const auto hash = a.get("hash")) {
        const int code = *hash == "sha1" ? QELT_HASH_SHA1 : *hash == "sha256" ? QELT_HASH_SHA256 : 0;
        if (code == 0) return Session::usage("cms signenc: --hash takes sha1 or sha256");
        if (const int rc = QELT_API_SetHashAlgo(s.ctx(), code)) return s.fail(rc);
    }
    QELT_API_SetOption(s.ctx(), a.has("pkcs1") ? QELT_OPT_RSA_PKCS1 : QELT_OPT_RSA_OAEP);
    QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_CONTENTINFO);
    std::vector<uint8_t> cert, key, recip, content;
    if (int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (int rc = readDerOrPem(s, *keyPath, key)) return rc;
    if (int rc = readDerOrPem(s, *recipPath, recip)) return rc;
    std::string error;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], content, error)) return Session::usage(error);
    if (content.empty()) return Session::usage("cms signenc: the content is empty");
    Bin c(cert), k(key), r(recip), d(content), out;
    if (const int rc = QELT_CMS_MakeSignedAndEnvData(s.ctx(), &c, &k, &r, &d, alg, &out)) return s.fail(rc);
    const std::string outPath = a.get("o", "-");
    if (!a.has("pem")) return writeOutput(outPath, out.vec(), error) ? 0 : Session::usage(error);
    Bin pem;
    if (const int rc = QELT_PEM_Encode(s.ctx(), QELT_PEM_TYPE_PKCS7, &out, &pem)) return s.fail(rc);
    return writeOutput(outPath, pem.vec(), error) ? 0 : Session::usage(error);
}

int runDecVerify(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath) return Session::usage("cms decverify: -c CERT and -k KEY (the recipient's) are needed");
    std::vector<uint8_t> cert, key, message;
    if (int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (int rc = readDerOrPem(s, *keyPath, key)) return rc;
    if (int rc = readDerOrPem(s, a.positional.empty() ? "-" : a.positional[0], message)) return rc;
    Bin c(cert), k(key), m(message), data, signer;
    if (const int rc = QELT_CMS_ProcessSignedAndEnvData(s.ctx(), &c, &k, &m, &data, &signer)) return s.fail(rc);
    std::string name = "?";
    if (QELT_CERT_Load(s.ctx(), &signer) == 0) {
        char subject[1024] = "";
        if (QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject) == 0) name = toUtf8(subject);
        QELT_CERT_Unload(s.ctx());
    }
    std::fprintf(stderr, "verified: signed by %s\n", name.c_str());
    std::string error;
    if (const auto signerPath = a.get("signer"))
        if (!writeOutput(*signerPath, signer.vec(), error)) return Session::usage(error);
    return writeOutput(a.get("o", "-"), data.vec(), error) ? 0 : Session::usage(error);
}

}  // namespace

QELT_CLI_VERB({"cms signenc",
               std::string(kSignEncUsage) + "  sign and encrypt (SignedAndEnvelopedData)",
               {"pkcs1", "pem"},
               &runSignEnc});
QELT_CLI_VERB({"cms decverify",
               "cms decverify -c CERT -k KEY [--signer OUT] [FILE] [-o OUT]  decrypt a SignedAndEnvelopedData, "
               "verify its signer and write the content",
               {},
               &runDecVerify});
