// qelt cms sign / cms verify / cms signers: SignedData messages through the
// C API. Inputs are files or standard input ("-"), DER or PEM; the private
// key is a decrypted PKCS#8 key.
#include <cstdio>

#include "cli.h"
#include "cmd_cms_file.h"

using namespace qelt_cli;

namespace {

int writeMessage(Session& s, const Args& a, const std::vector<uint8_t>& der) {
    std::string error;
    const std::string out = a.get("o", a.get("out", "-"));
    if (!a.has("pem")) return writeOutput(out, der, error) ? 0 : Session::usage(error);
    Bin in(der), pem;
    if (const int rc = QELT_PEM_Encode(s.ctx(), QELT_PEM_TYPE_PKCS7, &in, &pem)) return s.fail(rc);
    return writeOutput(out, pem.vec(), error) ? 0 : Session::usage(error);
}

constexpr const char* kSignUsage =
    "cms sign -c CERT -k KEY [--add SIGNED] [-t YYYYMMDDhhmmss] [-a sha1|sha256] [--contentinfo] "
    "[--ca-bundle CAPUBS] [--pem] [FILE] [-o OUT]; files of any size: --file DATA -o OUT, or "
    "--detached-content DATA -o OUT for a signature without the content";

int runSign(Session& s, const Args& a) {
    if (wantsFileForm(a)) return runSignFile(s, a);
    const auto certPath = a.get("c"), keyPath = a.get("k");
    if (!certPath || !keyPath) return Session::usage(kSignUsage);
    std::vector<uint8_t> cert, key, input;
    if (int rc = readDerOrPem(s, *certPath, cert)) return rc;
    if (int rc = readDerOrPem(s, *keyPath, key)) return rc;
    const auto alg = a.get("a");
    if (alg) {
        const int code = *alg == "sha1" ? QELT_HASH_SHA1 : *alg == "sha256" ? QELT_HASH_SHA256 : 0;
        if (code == 0) return Session::usage("cms sign: -a takes sha1 or sha256");
        if (const int rc = QELT_API_SetHashAlgo(s.ctx(), code)) return s.fail(rc);
    }
    if (a.has("contentinfo"))
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_CONTENTINFO)) return s.fail(rc);
    if (const auto bundlePath = a.get("ca-bundle")) {
        std::vector<uint8_t> bundle;
        if (int rc = readDerOrPem(s, *bundlePath, bundle)) return rc;
        Bin b(bundle);
        if (const int rc = QELT_API_SetCaPubs(s.ctx(), &b)) return s.fail(rc);
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_ADD_CACERTS)) return s.fail(rc);
    }
    std::string time = a.get("t", "");
    Bin c(cert), k(key), out;
    int rc;
    if (const auto addTo = a.get("add")) {
        std::vector<uint8_t> existing;
        if (int r = readDerOrPem(s, *addTo, existing)) return r;
        Bin in(existing);
        rc = QELT_CMS_MakeSignedDataWithAddSigner(s.ctx(), &c, &k, &in, time.data(), &out);
    } else {
        // The content is taken as bytes, never PEM-decoded.
        std::string error;
        if (!readInput(a.positional.empty() ? "-" : a.positional[0], input, error)) return Session::usage(error);
        if (input.empty()) return Session::usage("cms sign: the content is empty");
        Bin d(input);
        rc = QELT_CMS_MakeSignedData(s.ctx(), &c, &k, &d, time.data(), &out);
    }
    if (rc != 0) return s.fail(rc);
    return writeMessage(s, a, out.vec());
}

// Processes a message; 0 with the content in `data`.
int processMessage(Session& s, const Args& a, Bin& data, int& count) {
    std::vector<uint8_t> message;
    if (int rc = readDerOrPem(s, a.positional.empty() ? "-" : a.positional[0], message)) return rc;
    if (const auto contentPath = a.get("content")) {
        std::vector<uint8_t> external;
        std::string error;
        if (!readInput(*contentPath, external, error)) return Session::usage(error);
        QELT_BINSTR_SetData(external.data(), static_cast<int>(external.size()), &data);
    }
    Bin in(message);
    if (const int rc = QELT_CMS_ProcessSignedData2(s.ctx(), &in, &data, &count)) return s.fail(rc);
    return 0;
}

int runVerify(Session& s, const Args& a) {
    if (wantsFileForm(a)) return runVerifyFile(s, a);
    Bin data;
    int count = 0;
    if (int rc = processMessage(s, a, data, count)) return rc;
    std::fprintf(stderr, "verified: %d signer%s\n", count, count == 1 ? "" : "s");
    std::string error;
    const std::string out = a.get("o", a.get("out", ""));
    if (a.has("content") && out.empty()) return 0;
    return writeOutput(out.empty() ? "-" : out, data.vec(), error) ? 0 : Session::usage(error);
}

int runSigners(Session& s, const Args& a) {
    Bin data;
    int count = 0;
    if (int rc = processMessage(s, a, data, count)) return rc;
    for (int i = 0; i < count; ++i) {
        Bin cert;
        char when[32] = "";
        if (const int rc = QELT_CMS_GetSigner(s.ctx(), i, &cert, when)) return s.fail(rc);
        char subject[1024] = "";
        Bin c(cert.vec());
        std::string name = "?";
        if (QELT_CERT_Load(s.ctx(), &c) == 0) {
            if (QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject) == 0) name = toUtf8(subject);
            QELT_CERT_Unload(s.ctx());
        }
        std::printf("signer %d: %s  signing time %s\n", i, name.c_str(), when[0] ? when : "(none)");
    }
    Bin caPubs;
    if (QELT_CMS_GetSignerCaPubs(s.ctx(), &caPubs) == 0) std::printf("CA certificates: %d bytes\n", caPubs.b.nLen);
    return 0;
}

}  // namespace

QELT_CLI_VERB({"cms sign", kSignUsage, {"contentinfo", "pem"}, &runSign});
QELT_CLI_VERB({"cms verify",
               "cms verify [--content DATA] [FILE] [-o OUT]  verify every signer of a SignedData (DER or PEM) and "
               "write the content; files of any size: --file SIGNED (-o DATA | --detached-content DATA)",
               {},
               &runVerify});
QELT_CLI_VERB(
    {"cms signers", "cms signers [--content DATA] [FILE]  list the signers of a verified SignedData", {}, &runSigners});
