// qelt cms encrypt / decrypt / recipients / encdata / decdata: EnvelopedData
// and EncryptedData through the C API. Certificates, keys and messages are DER
// or PEM; messages are written as a ContentInfo (what other CMS tools read),
// with --bare as the bare structure, with --pem as PEM. Regular files go
// through the streaming _File functions (cmd_cms_file.h).
#include <cstdio>
#include <cstring>

#include "cmd_cms_file.h"

using namespace qelt_cli;
using namespace qelt_cli::cms;

namespace {

int runEncrypt(Session& s, const Args& a) {
    const int alg = cipherOf(a.get("a", "3des"));
    if (alg == 0) return Session::usage("cms encrypt: -a takes des, 3des, seed, neat or aria");
    if (a.positional.empty()) return Session::usage("cms encrypt: name at least one recipient certificate");
    QELT_API_SetOption(s.ctx(), a.has("pkcs1") ? QELT_OPT_RSA_PKCS1 : QELT_OPT_RSA_OAEP);
    if (const int rc = setMessageForm(s, a)) return rc;
    std::vector<std::vector<uint8_t>> recipients;
    for (const std::string& path : a.positional) {
        std::vector<std::vector<uint8_t>> inFile;
        if (const int rc = readAllDerOrPem(s, path, inFile)) return rc;
        recipients.insert(recipients.end(), inFile.begin(), inFile.end());
    }
    const std::string data = a.get("i", a.get("file", "-"));
    const std::string target = a.get("o", a.get("out", "-"));
    const auto cipherOut = a.get("detached-content");
    const bool fileForm = isRegularFile(data) && recipients.size() == 1 && !a.has("pem") && !a.has("in-memory");
    if (cipherOut && !fileForm)
        return Session::usage(
            "cms encrypt --detached-content needs a regular input file, one recipient and no --pem or --in-memory");
    if (fileForm) {
        Bin c(recipients.front());
        checkInputFile(data);
        const OutputFile out(target);
        const Progress progress("encrypting", data);
        int rc;
        if (cipherOut) {
            const OutputFile cipher(*cipherOut);
            rc = QELT_CMS_MakeEnvelopedData_NoContent_File(s.ctx(), &c, data.c_str(), alg, out.path().c_str(),
                                                           cipher.path().c_str());
        } else {
            rc = QELT_CMS_MakeEnvelopedData_File(s.ctx(), &c, data.c_str(), alg, out.path().c_str());
        }
        return rc == 0 ? 0 : s.fail(rc);
    }
    Bin list;
    for (const auto& der : recipients) {
        Bin c(der);
        if (const int rc = QELT_CERT_AddCert(s.ctx(), &c, &list); rc != 0) return s.fail(rc);
    }
    const InputBytes content = mapInput(data);
    BINSTR in = content.view();
    Bin out;
    if (const int rc = QELT_CMS_MakeEnvelopedDataWithMultiRecipients(s.ctx(), &list, &in, alg, &out); rc != 0)
        return s.fail(rc);
    return writeMessage(s, a, out.span());
}

int runDecrypt(Session& s, const Args& a) {
    if (!a.has("c") || !a.has("k")) return Session::usage("cms decrypt: -c CERT and -k KEY are needed");
    if (a.positional.size() > (a.has("file") ? 0u : 1u)) return Session::usage("cms decrypt: one message at most");
    std::vector<uint8_t> cert, key;
    if (const int rc = readDerOrPem(s, *a.get("c"), cert)) return rc;
    if (const int rc = readDerOrPem(s, *a.get("k"), key)) return rc;
    const std::string message = a.get("file", a.positional.empty() ? "-" : a.positional[0]);
    const std::string target = a.get("o", a.get("out", "-"));
    const auto cipherIn = a.get("detached-content");
    Bin c(cert), k(key);
    if (cipherIn) {
        // The ciphertext apart from the message: only the file function reads it.
        if (!isRegularFile(message)) return Session::usage("cms decrypt --detached-content reads a named message file");
        checkInputFile(message);
        checkInputFile(*cipherIn);
        const OutputFile out(target);
        const Progress progress("decrypting", *cipherIn);
        const int rc = QELT_CMS_ProcessEnvelopedData_NoContent_File(s.ctx(), &c, &k, message.c_str(), cipherIn->c_str(),
                                                                    out.path().c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    if (isRegularFile(message) && !a.has("in-memory") && messageForm(checkInputFile(message)) != MessageForm::Other) {
        const OutputFile out(target);
        const Progress progress("decrypting", message);
        const int rc = QELT_CMS_ProcessEnvelopedData_File(s.ctx(), &c, &k, message.c_str(), out.path().c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    // BER, PEM, standard input: the in-memory function reads every form.
    std::vector<uint8_t> msg;
    if (const int rc = readDerOrPem(s, message, msg)) return rc;
    Bin m(msg), out;
    if (const int rc = QELT_CMS_ProcessEnvelopedData(s.ctx(), &c, &k, &m, &out); rc != 0) return s.fail(rc);
    writeOutput(target, out.span());
    return 0;
}

int runRecipients(Session& s, const Args& a) {
    if (a.positional.size() > 1) return Session::usage("cms recipients: one message at most");
    std::vector<uint8_t> msg;
    if (const int rc = readDerOrPem(s, a.positional.empty() ? "-" : a.positional[0], msg)) return rc;
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
    if (a.positional.size() > 1) return Session::usage("cms encdata: one input at most");
    std::vector<uint8_t> key, iv;
    if (!fromHex(a.get("k", ""), key) || key.empty()) return Session::usage("cms encdata: -k KEYHEX is needed");
    if (!fromHex(a.get("iv", ""), iv) || iv.empty()) return Session::usage("cms encdata: --iv IVHEX is needed");
    const InputBytes data = mapInput(a.positional.empty() ? "-" : a.positional[0]);
    Bin k(key), v(iv), out;
    BINSTR in = data.view();
    if (const int rc = QELT_CRYPT_SetKeyAndIV(s.ctx(), alg, &k, &v); rc != 0) return s.fail(rc);
    if (const int rc = QELT_CMS_MakeEncryptedData(s.ctx(), &in, &out); rc != 0) return s.fail(rc);
    return writeMessage(s, a, out.span());
}

int runDecData(Session& s, const Args& a) {
    std::vector<uint8_t> key, msg;
    if (!fromHex(a.get("k", ""), key) || key.empty()) return Session::usage("cms decdata: -k KEYHEX is needed");
    if (a.positional.size() > 1) return Session::usage("cms decdata: one message at most");
    if (const int rc = readDerOrPem(s, a.positional.empty() ? "-" : a.positional[0], msg)) return rc;
    Bin k(key), m(msg), out;
    if (const int rc = QELT_CMS_ProcessEncryptedData(s.ctx(), &k, &m, &out); rc != 0) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

}  // namespace

QELT_CLI_VERB({"cms encrypt",
               "cms encrypt [-a ALG] [--pkcs1] [--bare|--pem] [-i IN] [-o OUT] CERT...",
               {"pkcs1", "pem", "bare", "in-memory"},
               &runEncrypt,
               {"Encrypts IN (or standard input) for the recipients' certificates into an EnvelopedData, written as a "
                "ContentInfo unless --bare (RSA key transport: OAEP, or PKCS#1 v1.5 with --pkcs1). A PEM file may "
                "hold several recipients. A regular IN for one recipient streams through the file function.",
                {{"-a ALG", "des, 3des, seed, neat or aria (default 3des)"},
                 {"--pkcs1", "PKCS#1 v1.5 key transport instead of OAEP"},
                 {"--bare", "the bare EnvelopedData instead of a ContentInfo"},
                 {"--pem", "PEM around the ContentInfo (made in memory)"},
                 {"-i, --file FILE", "the content (default standard input)"},
                 {"--detached-content FILE", "write the ciphertext to FILE, apart from the message"},
                 {"--in-memory", "map IN and use the in-memory function"},
                 {"-o, --out FILE", "write the message to FILE instead of standard output"}},
                {"qelt cms encrypt -a seed -i data.txt -o msg2.der ee.pem bob.der"}}});
QELT_CLI_VERB({"cms decrypt",
               "cms decrypt -c CERT -k KEY [FILE] [-o OUT]",
               {"in-memory"},
               &runDecrypt,
               {"Opens an EnvelopedData (bare or in a ContentInfo, DER, BER or PEM) with the recipient's certificate "
                "and decrypted private key and writes the content; a failure leaves OUT as it was.",
                {{"-c CERT", "the recipient's certificate"},
                 {"-k KEY", "the recipient's decrypted private key (PKCS#8)"},
                 {"--detached-content FILE", "the ciphertext kept apart from the message"},
                 {"--in-memory", "map the message and use the in-memory function"},
                 {"--file FILE", "the message as an option (the same as FILE)"},
                 {"-o, --out FILE", "write the content to FILE instead of standard output"}},
                {"qelt cms decrypt -c ee.pem -k ee.p8 msg.der -o data.out"}}});
QELT_CLI_VERB(
    {"cms recipients",
     "cms recipients [FILE]",
     {},
     &runRecipients,
     {"Lists the recipients of an EnvelopedData without decrypting it.", {}, {"qelt cms recipients msg.der"}}});
QELT_CLI_VERB({"cms encdata",
               "cms encdata -a ALG -k KEYHEX --iv IVHEX [--pem] [IN] [-o OUT]",
               {"pem"},
               &runEncData,
               {"Encrypts IN (or standard input) into a ContentInfo of EncryptedData under the given key and IV.",
                {{"-a ALG", "des, 3des, seed, neat or aria"},
                 {"-k KEYHEX", "the key in hex"},
                 {"--iv IVHEX", "the IV in hex"},
                 {"--pem", "PEM instead of DER"},
                 {"-o FILE", "write the message to FILE instead of standard output"}},
                {"qelt cms encdata -a seed -k 00112233445566778899aabbccddeeff --iv 0f0e0d0c0b0a09080706050403020100 "
                 "data.bin -o ed2.der"}}});
QELT_CLI_VERB({"cms decdata",
               "cms decdata -k KEYHEX [IN] [-o OUT]",
               {},
               &runDecData,
               {"Opens an EncryptedData with the given key.",
                {{"-k KEYHEX", "the key in hex"}, {"-o FILE", "write the content to FILE instead of standard output"}},
                {"qelt cms decdata -k 00112233445566778899aabbccddeeff ed.der -o ed.out"}}});
