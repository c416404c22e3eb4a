// qelt cms signenc / cms decverify: SignedAndEnvelopedData through the C API.
// Certificates, keys and messages may be PEM or DER, files or standard input
// ("-"); the content is taken as bytes. Messages are written as a ContentInfo,
// with --bare as the bare structure, with --pem as PEM.
#include <cstdio>

#include "cmd_cms_file.h"

using namespace qelt_cli;
using namespace qelt_cli::cms;

namespace {

int runSignEnc(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k"), recipPath = a.get("r");
    if (!certPath || !keyPath || !recipPath)
        return Session::usage("cms signenc: -c CERT, -k KEY and -r RECIPIENT are needed");
    if (a.positional.size() > 1) return Session::usage("cms signenc: one content file at most");
    const int alg = cipherOf(a.get("a", "3des"));
    if (alg == 0) return Session::usage("cms signenc: -a takes des, 3des, seed, neat or aria");
    if (const int rc = setHash(s, a, "hash")) return rc;
    QELT_API_SetOption(s.ctx(), a.has("pkcs1") ? QELT_OPT_RSA_PKCS1 : QELT_OPT_RSA_OAEP);
    if (const int rc = setMessageForm(s, a)) return rc;
    std::vector<uint8_t> cert, key, recip;
    if (int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (int rc = readDerOrPem(s, *keyPath, key)) return rc;
    if (const int rc = checkSignerKey(s, cert, key)) return rc;
    if (int rc = readDerOrPem(s, *recipPath, recip)) return rc;
    const InputBytes content = mapInput(a.positional.empty() ? "-" : a.positional[0]);
    Bin c(cert), k(key), r(recip), out;
    BINSTR d = content.view();
    if (const int rc = QELT_CMS_MakeSignedAndEnvData(s.ctx(), &c, &k, &r, &d, alg, &out)) return s.fail(rc);
    return writeMessage(s, a, out.span());
}

int runDecVerify(Session& s, const Args& a) {
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath) return Session::usage("cms decverify: -c CERT and -k KEY (the recipient's) are needed");
    std::vector<uint8_t> cert, key, message;
    if (int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (int rc = readDerOrPem(s, *keyPath, key)) return rc;
    if (a.positional.size() > 1) return Session::usage("cms decverify: one message at most");
    if (int rc = readDerOrPem(s, a.positional.empty() ? "-" : a.positional[0], message)) return rc;
    Bin c(cert), k(key), m(message), data, signer;
    if (const int rc = QELT_CMS_ProcessSignedAndEnvData(s.ctx(), &c, &k, &m, &data, &signer)) return s.fail(rc);
    std::string name = "?";
    if (QELT_CERT_Load(s.ctx(), &signer) == 0) {
        char subject[1024] = "";
        if (QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject) == 0) name = toUtf8(subject);
        QELT_CERT_Unload(s.ctx());
    }
    noteOnSuccess("verified: signed by " + name);
    if (const auto signerPath = a.get("signer")) writeOutput(*signerPath, signer.span());
    writeOutput(a.get("o", "-"), data.span());
    return 0;
}

}  // namespace

QELT_CLI_VERB({"cms signenc",
               "cms signenc -c CERT -k KEY -r RECIPIENT [options] [FILE] [-o OUT]",
               {"pkcs1", "pem", "bare"},
               &runSignEnc,
               {"Signs and encrypts FILE (or standard input) into a SignedAndEnvelopedData, written as a ContentInfo "
                "unless --bare. A key that does not belong to the certificate is refused before signing.",
                {{"-c CERT", "the signer's certificate"},
                 {"-k KEY", "the signer's decrypted private key (PKCS#8)"},
                 {"-r CERT", "the recipient's certificate"},
                 {"-a ALG", "des, 3des, seed, neat or aria (default 3des)"},
                 {"--hash HASH", "sha1, md5, has160 or sha256 (default: the certificate's own)"},
                 {"--pkcs1", "PKCS#1 v1.5 key transport instead of OAEP"},
                 {"--bare", "the bare structure instead of a ContentInfo"},
                 {"--pem", "PEM around the ContentInfo"},
                 {"-o FILE", "write the message to FILE instead of standard output"}},
                {"qelt cms signenc -c ee.pem -k ee.p8 -r bob.der hello.txt -o se2.p7"}}});
QELT_CLI_VERB({"cms decverify",
               "cms decverify -c CERT -k KEY [--signer OUT] [FILE] [-o OUT]",
               {},
               &runDecVerify,
               {"Decrypts a SignedAndEnvelopedData, verifies its signer and writes the content.",
                {{"-c CERT", "the recipient's certificate"},
                 {"-k KEY", "the recipient's decrypted private key (PKCS#8)"},
                 {"--signer FILE", "also write the signer's certificate to FILE"},
                 {"-o FILE", "write the content to FILE instead of standard output"}},
                {"qelt cms decverify -c bob.der -k bob.p8 se.p7 -o hello.out"}}});
