// qelt cms sign / cms verify / cms signers: SignedData messages through the
// C API. Certificates, keys and messages are DER or PEM; the content is taken
// as bytes; the private key is a decrypted PKCS#8 key. Regular files go through
// the streaming _File functions (cmd_cms_file.h).
#include <cstdio>

#include "cmd_cms_file.h"

using namespace qelt_cli;
using namespace qelt_cli::cms;

namespace {

int loadSigner(Session& s, const Args& a, std::vector<uint8_t>& cert, std::vector<uint8_t>& key) {
    if (const int rc = readDerOrPem(s, *a.get("c"), cert)) return rc;
    if (const int rc = readDerOrPem(s, *a.get("k"), key)) return rc;
    return checkSignerKey(s, cert, key);
}

// The content inside the message, from a regular file, with flat memory.
int signFile(Session& s, const Args& a, Bin& c, Bin& k, const std::string& data, const std::string& target) {
    const std::string time = a.get("t", "");
    checkInputFile(data);
    const OutputFile out(target);
    const Progress progress("signing", data);
    if (a.has("bare")) {
        const int rc = QELT_CMS_MakeSignedData_File(s.ctx(), &c, &k, data.c_str(), time.c_str(), out.path().c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    // The file function writes a bare SignedData: the ContentInfo goes around it.
    const ScratchFile bare(out.path());
    const int rc = QELT_CMS_MakeSignedData_File(s.ctx(), &c, &k, data.c_str(), time.c_str(), bare.path().c_str());
    if (rc != 0) return s.fail(rc);
    wrapInto(bare.path(), kSignedDataOid, out.path());
    return 0;
}

int runSign(Session& s, const Args& a) {
    if (!a.get("c") || !a.get("k")) return Session::usage("cms sign: -c CERT and -k KEY are needed");
    // --file DATA and --detached-content DATA name the content as an option.
    const auto detached = a.get("detached-content");
    std::string data = a.get("file", detached.value_or(""));
    if (data.empty()) data = a.positional.empty() ? "-" : a.positional[0];
    if (a.positional.size() > (a.has("file") || detached ? 0u : 1u))
        return Session::usage("cms sign: one content file at most");
    const bool detach = detached.has_value() || a.has("detached");
    if (detach && a.has("add"))
        return Session::usage("cms sign: --add takes the content from the message, not --detached");
    std::vector<uint8_t> cert, key;
    if (const int rc = loadSigner(s, a, cert, key)) return rc;
    if (const int rc = setHash(s, a, "a")) return rc;
    if (const int rc = setMessageForm(s, a)) return rc;
    if (const auto bundlePath = a.get("ca-bundle")) {
        std::vector<uint8_t> bundle;
        if (int rc = readDerOrPem(s, *bundlePath, bundle)) return rc;
        Bin b(bundle);
        if (const int rc = QELT_API_SetCaPubs(s.ctx(), &b)) return s.fail(rc);
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_ADD_CACERTS)) return s.fail(rc);
    }
    std::string time = a.get("t", "");
    const std::string target = a.get("o", a.get("out", "-"));
    Bin c(cert), k(key), out;
    if (detach) {
        // A signature without the content: only the file function makes one.
        if (!isRegularFile(data)) return Session::usage("cms sign --detached signs a named regular file");
        if (a.has("pem")) {
            const ScratchFile der(target);
            const int rc = QELT_CMS_MakeSignedData_NoContent_File(s.ctx(), &c, &k, checkInputFile(data).c_str(),
                                                                  time.c_str(), der.path().c_str());
            if (rc != 0) return s.fail(rc);
            return writeMessage(s, a, mapInput(der.path()).span());
        }
        checkInputFile(data);
        const OutputFile outFile(target);
        const int rc =
            QELT_CMS_MakeSignedData_NoContent_File(s.ctx(), &c, &k, data.c_str(), time.c_str(), outFile.path().c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    int rc;
    if (const auto addTo = a.get("add")) {
        std::vector<uint8_t> existing;
        if (int r = readDerOrPem(s, *addTo, existing)) return r;
        Bin in(existing);
        rc = QELT_CMS_MakeSignedDataWithAddSigner(s.ctx(), &c, &k, &in, time.data(), &out);
    } else {
        // --pem and --ca-bundle need the message in memory; the file function
        // writes neither.
        if (isRegularFile(data) && !a.has("pem") && !a.has("ca-bundle") && !a.has("in-memory"))
            return signFile(s, a, c, k, data, target);
        const InputBytes content = mapInput(data);
        BINSTR d = content.view();
        rc = QELT_CMS_MakeSignedData(s.ctx(), &c, &k, &d, time.data(), &out);
    }
    if (rc != 0) return s.fail(rc);
    return writeMessage(s, a, out.span());
}

void reportSigners(Session& s) {
    const int count = signerCount(s);
    noteOnSuccess("verified: " + std::to_string(count) + " signer" + (count == 1 ? "" : "s"));
}

// A message file in DER (bare or in a ContentInfo): verified by the file
// functions, the content streamed to `target`.
int verifyFile(Session& s, const std::string& message, const std::optional<std::string>& content,
               const std::string& target) {
    Bin cert;
    char when[32] = "";
    int rc;
    if (content) {
        // The message is small; the detached content is read in steps.
        checkInputFile(*content);
        const Progress progress("verifying", *content);
        rc = QELT_CMS_ProcessSignedData_NoContent_File(s.ctx(), message.c_str(), content->c_str(), &cert, when);
    } else {
        const std::string bare = messageForm(message) == MessageForm::BareDer ? message : unwrappedCopy(message);
        const OutputFile out(target);
        const Progress progress("verifying", bare);
        rc = QELT_CMS_ProcessSignedData_File(s.ctx(), bare.c_str(), out.path().c_str(), &cert, when);
    }
    if (rc != 0) return s.fail(rc);
    reportSigners(s);
    return 0;
}

int runVerify(Session& s, const Args& a) {
    if (a.positional.size() > (a.has("file") ? 0u : 1u)) return Session::usage("cms verify: one message at most");
    const std::string message = a.get("file", a.positional.empty() ? "-" : a.positional[0]);
    auto content = a.get("content");
    if (!content) content = a.get("detached-content");
    const std::string target = a.get("o", a.get("out", content ? "" : "-"));
    if (isRegularFile(message) && !a.has("in-memory") && messageForm(checkInputFile(message)) != MessageForm::Other &&
        (!content || isRegularFile(*content)))
        return verifyFile(s, message, content, target);
    // BER, PEM, standard input: the in-memory function reads every form.
    std::vector<uint8_t> der;
    if (const int rc = readDerOrPem(s, message, der)) return rc;
    InputBytes external;
    if (content) external = mapInput(*content);
    BINSTR data = external.view();
    Bin in(der), received;
    BINSTR* pData = content ? &data : &received.b;
    int count = 0;
    if (const int rc = QELT_CMS_ProcessSignedData2(s.ctx(), &in, pData, &count)) return s.fail(rc);
    reportSigners(s);
    if (!content) writeOutput(target, received.span());
    return 0;
}

int runSigners(Session& s, const Args& a) {
    if (a.positional.size() > 1) return Session::usage("cms signers: one message at most");
    std::vector<uint8_t> der;
    if (const int rc = readDerOrPem(s, a.positional.empty() ? "-" : a.positional[0], der)) return rc;
    InputBytes external;
    if (const auto contentPath = a.get("content")) external = mapInput(*contentPath);
    BINSTR data = external.view();
    Bin in(der), received;
    int count = 0;
    if (const int rc = QELT_CMS_ProcessSignedData2(s.ctx(), &in, a.has("content") ? &data : &received.b, &count))
        return s.fail(rc);
    for (int i = 0; i < count; ++i) {
        Bin cert;
        int seconds = 0;
        char when[32] = "";
        if (const int rc = QELT_CMS_GetSigner(s.ctx(), i, &cert, when)) return s.fail(rc);
        if (const int rc = QELT_CMS_GetSigner2(s.ctx(), i, &cert, &seconds)) return s.fail(rc);
        char subject[1024] = "";
        Bin c(cert.vec());
        std::string name = "?";
        if (QELT_CERT_Load(s.ctx(), &c) == 0) {
            if (QELT_CERT_GetSubjectName(s.ctx(), sizeof subject, subject) == 0) name = toUtf8(subject);
            QELT_CERT_Unload(s.ctx());
        }
        // The seconds are -1 for a time an int cannot hold: then the text, which is local time.
        const std::string time = !when[0] ? "(none)" : seconds != -1 ? localTimeWithZone(seconds) : when;
        std::printf("signer %d: %s  signing time %s\n", i, name.c_str(), time.c_str());
    }
    Bin caPubs;
    if (QELT_CMS_GetSignerCaPubs(s.ctx(), &caPubs) == 0) std::printf("CA certificates: %d bytes\n", caPubs.b.nLen);
    return 0;
}

}  // namespace

QELT_CLI_VERB({"cms sign",
               "cms sign -c CERT -k KEY [options] [FILE] [-o OUT]",
               {"contentinfo", "bare", "pem", "detached", "in-memory"},
               &runSign,
               {"Signs FILE (or standard input) into a SignedData with the content inside, written as a ContentInfo "
                "(what other CMS tools read) unless --bare. A key that does not belong to the certificate is refused "
                "before signing. A regular FILE streams through the file function with flat memory.",
                {{"-c CERT", "the signer's certificate (DER or PEM)"},
                 {"-k KEY", "the signer's decrypted private key (PKCS#8, DER or PEM)"},
                 {"-a HASH", "sha1, md5, has160 or sha256 (default: the certificate's own)"},
                 {"-t TIME", "the signing time, YYYYMMDDhhmmss in local time (Z at the end for UTC; default now)"},
                 {"--bare", "the bare SignedData instead of a ContentInfo"},
                 {"--pem", "PEM around the ContentInfo (made in memory)"},
                 {"--detached", "leave the content out of the message (FILE must be a regular file)"},
                 {"--add SIGNED", "add this signer to an existing message instead (its content is signed)"},
                 {"--ca-bundle CAPUBS", "also put these CA certificates in the message (made in memory)"},
                 {"--in-memory", "map FILE and use the in-memory function"},
                 {"--file DATA", "the content as an option (the same as FILE)"},
                 {"--detached-content DATA", "the same as --detached with FILE = DATA"},
                 {"--contentinfo", "a ContentInfo (the default; kept for older scripts)"},
                 {"-o, --out FILE", "write the message to FILE instead of standard output"}},
                {"qelt cms sign -c ee.pem -k ee.p8 hello.txt -o hello2.p7"}}});
QELT_CLI_VERB({"cms verify",
               "cms verify [--content DATA] [FILE] [-o OUT]",
               {"in-memory"},
               &runVerify,
               {"Verifies every signer of a SignedData (bare or in a ContentInfo, DER, BER or PEM) and writes the "
                "content; with --content the message is detached and nothing is written. The signer certificates "
                "themselves are not validated. A DER message file streams through the file function.",
                {{"--content FILE", "the content of a detached message"},
                 {"--in-memory", "map the message and use the in-memory function"},
                 {"--file SIGNED", "the message as an option (the same as FILE)"},
                 {"--detached-content FILE", "the same as --content"},
                 {"-o, --out FILE", "write the content to FILE instead of standard output"}},
                {"qelt cms verify hello.p7 -o hello.out",
                 "openssl cms -sign -nodetach -binary -outform DER -signer ee.pem -inkey ee.key -in hello.txt | qelt "
                 "cms verify"}}});
QELT_CLI_VERB({"cms signers",
               "cms signers [--content DATA] [FILE]",
               {},
               &runSigners,
               {"Verifies a SignedData and lists its signers: subject and signing time, and the size of the CA "
                "certificates it carries.",
                {{"--content FILE", "the content of a detached message"}},
                {"qelt cms signers two.pem"}}});
