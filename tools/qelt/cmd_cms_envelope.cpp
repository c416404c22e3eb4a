// qelt cms encrypt / decrypt / recipients / encdata / decdata: EnvelopedData
// and EncryptedData through the C API. Inputs may be PEM or DER; messages are
// written as DER (a ContentInfo, as other CMS tools expect) or with --pem as PEM.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "cmd_cms_file.h"

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

int cipherOf(const std::string& name) {
    for (const Named& n : kCiphers)
        if (name == n.name) return n.code;
    return 0;
}

// Reads a file (or standard input) and turns PEM text into its DER bytes.
bool readDer(Session& s, const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    if (!readInput(path, out, error)) return false;
    static constexpr char kBegin[] = "-----BEGIN";
    const std::string head(out.begin(), out.begin() + static_cast<long>(std::min<size_t>(out.size(), 64)));
    if (head.find(kBegin) == std::string::npos) return true;
    Bin pem(out), der;
    if (const int rc = QELT_PEM_Decode(s.ctx(), &pem, &der); rc != 0) {
        error = path + ": not a PEM or DER input (" + std::to_string(rc) + ")";
        return false;
    }
    out = der.vec();
    return true;
}

int writeMessage(Session& s, const Args& a, Bin& msg) {
    std::string error;
    if (!a.has("pem")) return writeOutput(a.get("o", "-"), msg.vec(), error) ? 0 : Session::usage(error);
    Bin pem;
    if (const int rc = QELT_PEM_Encode(s.ctx(), QELT_PEM_TYPE_PKCS7, &msg, &pem); rc != 0) return s.fail(rc);
    return writeOutput(a.get("o", "-"), pem.vec(), error) ? 0 : Session::usage(error);
}

int runEncrypt(Session& s, const Args& a) {
    if (wantsFileForm(a)) return runEncryptFile(s, a);
    const int alg = cipherOf(a.get("a", "3des"));
    if (alg == 0) return Session::usage("cms encrypt: -a takes des, 3des, seed, neat or aria");
    if (a.positional.empty()) return Session::usage("cms encrypt: name at least one recipient certificate");
    QELT_API_SetOption(s.ctx(), a.has("pkcs1") ? QELT_OPT_RSA_PKCS1 : QELT_OPT_RSA_OAEP);
    QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_CONTENTINFO);
    std::string error;
    std::vector<uint8_t> data;
    if (!readInput(a.get("i", "-"), data, error)) return Session::usage(error);
    Bin list;
    for (const std::string& path : a.positional) {
        std::vector<uint8_t> cert;
        if (!readDer(s, path, cert, error)) return Session::usage(error);
        Bin c(cert);
        if (const int rc = QELT_CERT_AddCert(s.ctx(), &c, &list); rc != 0) return s.fail(rc);
    }
    Bin in(data), out;
    if (const int rc = QELT_CMS_MakeEnvelopedDataWithMultiRecipients(s.ctx(), &list, &in, alg, &out); rc != 0)
        return s.fail(rc);
    return writeMessage(s, a, out);
}

int runDecrypt(Session& s, const Args& a) {
    if (wantsFileForm(a)) return runDecryptFile(s, a);
    if (!a.has("c") || !a.has("k")) return Session::usage("cms decrypt: -c CERT and -k KEY.p8 are needed");
    std::string error;
    std::vector<uint8_t> cert, key, msg;
    if (!readDer(s, *a.get("c"), cert, error) || !readDer(s, *a.get("k"), key, error) ||
        !readDer(s, a.positional.empty() ? "-" : a.positional[0], msg, error))
        return Session::usage(error);
    Bin c(cert), k(key), m(msg), out;
    if (const int rc = QELT_CMS_ProcessEnvelopedData(s.ctx(), &c, &k, &m, &out); rc != 0) return s.fail(rc);
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

int runRecipients(Session& s, const Args& a) {
    std::string error;
    std::vector<uint8_t> msg;
    if (!readDer(s, a.positional.empty() ? "-" : a.positional[0], msg, error)) return Session::usage(error);
    Bin m(msg);
    int count = 0;
    if (const int rc = QELT_CMS_ProcessEnvelopedData2(s.ctx(), &m, &count); rc != 0) return s.fail(rc);
    for (int i = 0; i < count; ++i) {
        char issuer[1024] = {}, serial[256] = {}, keyId[256] = {};
        if (const int rc = QELT_CMS_GetRecipient(s.ctx(), i, sizeof serial, issuer, serial, keyId); rc != 0) {
            // Long issuer names: ask again with the larger buffer for every text.
            if (rc != QELT_ERR_BUFFER_TOO_SMALL) return s.fail(rc);
            if (const int rc2 = QELT_CMS_GetRecipient(s.ctx(), i, sizeof issuer, issuer, issuer, issuer); rc2 != 0)
                return s.fail(rc2);
        }
        if (keyId[0] != 0)
            std::printf("%d: subjectKeyIdentifier %s\n", i, keyId);
        else
            std::printf("%d: issuer %s, serial %s\n", i, toUtf8(issuer).c_str(), serial);
    }
    return 0;
}

int runEncData(Session& s, const Args& a) {
    const int alg = cipherOf(a.get("a", ""));
    if (alg == 0) return Session::usage("cms encdata: -a takes des, 3des, seed, neat or aria");
    std::vector<uint8_t> key, iv, data;
    if (!fromHex(a.get("k", ""), key) || key.empty()) return Session::usage("cms encdata: -k KEYHEX is needed");
    if (!fromHex(a.get("iv", ""), iv) || iv.empty()) return Session::usage("cms encdata: --iv IVHEX is needed");
    std::string error;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], data, error)) return Session::usage(error);
    Bin k(key), v(iv), in(data), out;
    if (const int rc = QELT_CRYPT_SetKeyAndIV(s.ctx(), alg, &k, &v); rc != 0) return s.fail(rc);
    if (const int rc = QELT_CMS_MakeEncryptedData(s.ctx(), &in, &out); rc != 0) return s.fail(rc);
    return writeMessage(s, a, out);
}

int runDecData(Session& s, const Args& a) {
    std::vector<uint8_t> key, msg;
    if (!fromHex(a.get("k", ""), key) || key.empty()) return Session::usage("cms decdata: -k KEYHEX is needed");
    std::string error;
    if (!readDer(s, a.positional.empty() ? "-" : a.positional[0], msg, error)) return Session::usage(error);
    Bin k(key), m(msg), out;
    if (const int rc = QELT_CMS_ProcessEncryptedData(s.ctx(), &k, &m, &out); rc != 0) return s.fail(rc);
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

}  // namespace

QELT_CLI_VERB(
    {"cms encrypt",
     "cms encrypt [-a des|3des|seed|neat|aria] [--pkcs1] [--pem] [-i IN] [-o OUT] CERT...  EnvelopedData; files "
     "of any size: --file DATA -o OUT [--detached-content CIPHERTEXT] CERT",
     {"pkcs1", "pem"},
     &runEncrypt});
QELT_CLI_VERB({"cms decrypt",
               "cms decrypt -c CERT -k KEY.p8 [IN] [-o OUT]  open an EnvelopedData; files of any size: --file "
               "ENVELOPED -o DATA [--detached-content CIPHERTEXT]",
               {},
               &runDecrypt});
QELT_CLI_VERB({"cms recipients", "cms recipients [IN]  list the recipients of an EnvelopedData", {}, &runRecipients});
QELT_CLI_VERB({"cms encdata",
               "cms encdata -a des|3des|seed|neat|aria -k KEYHEX --iv IVHEX [--pem] [IN] [-o OUT]  EncryptedData",
               {"pem"},
               &runEncData});
QELT_CLI_VERB({"cms decdata", "cms decdata -k KEYHEX [IN] [-o OUT]  open an EncryptedData", {}, &runDecData});
