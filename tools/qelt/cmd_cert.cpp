// qelt cert show / days and qelt certs add / count / get: certificate fields
// and certificate lists through the C API. Certificates are DER or PEM; a PEM
// file may hold several (a chain), shown or added whole.
#include <climits>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

using TextGetter = int (*)(void*, int, char*);

struct Field {
    const char* label;
    TextGetter fn;
    bool hex = false;  // a long hex value, folded into lines
};
const Field kFields[] = {
    {"UID", QELT_CERT_GetUID},
    {"Serial number", QELT_CERT_GetSerialNum},
    {"Signature algorithm", QELT_CERT_GetSignatureAlgorithm},
    {"Issuer", QELT_CERT_GetIssuerName},
    {"Subject", QELT_CERT_GetSubjectName},
    {"Validity", nullptr},  // written from the two times, with their zone
    {"Public key algorithm", QELT_CERT_GetPubKeyAlg},
    {"Public key length", QELT_CERT_GetPubKeyLen},
    {"Public key", QELT_CERT_GetPubKey, true},
    {"Key usage", QELT_CERT_GetKeyUsage},
    {"Basic constraints", QELT_CERT_GetBasicConstraints},
    {"Policy identifiers", QELT_CERT_GetCertPolicyID},
    {"Certificate policies", QELT_CERT_GetCertPolicy},
    {"Extended key usage", QELT_CERT_GetExtKeyUsage},
    {"Subject alternative name", QELT_CERT_GetSubjectAltName},
    {"Authority key identifier", QELT_CERT_GetAuthKeyID},
    {"Subject key identifier", QELT_CERT_GetSubKeyID},
    {"CRL distribution points", QELT_CERT_GetCRLDP},
    {"Authority information access", QELT_CERT_GetAIA},
    {"Signature", QELT_CERT_GetSignature, true},
};

constexpr size_t kHexBytesPerLine = 32;

// A multi-line library text: CRLF to LF, continuation lines indented under the label.
std::string shown(const std::string& cp949) {
    std::string text = toUtf8(cp949), out;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
        if (text[i] == '\n') out += "    ";
    }
    return out;
}

void printField(const char* label, const std::string& value) {
    std::printf("%s:%s%s\n", label, value.find('\n') == std::string::npos ? " " : "\n    ", value.c_str());
}

// The error a getter left, as the line shown in place of the field.
std::string fieldError(Session& s, int rc) {
    char message[2048] = {0};
    QELT_API_GetErrInfo(s.ctx(), sizeof message, message);
    return "(error " + std::to_string(rc) + ": " + toUtf8(message) + ")";
}

std::string validity(Session& s) {
    time_t notBefore = 0, notAfter = 0;
    if (const int rc = QELT_CERT_GetNotBefore(s.ctx(), &notBefore)) return fieldError(s, rc);
    if (const int rc = QELT_CERT_GetNotAfter(s.ctx(), &notAfter)) return fieldError(s, rc);
    return localTimeWithZone(notBefore) + " ~ " + localTimeWithZone(notAfter);
}

int showOne(Session& s, const std::vector<uint8_t>& der) {
    Bin in(der);
    if (const int r = QELT_CERT_Load(s.ctx(), &in); r != 0) return s.fail(r);
    int version = 0;
    if (QELT_CERT_GetVersion(s.ctx(), &version) == 0) std::printf("Version: %d\n", version);
    std::vector<char> buf(1 << 16);
    for (const Field& f : kFields) {
        if (f.fn == nullptr) {
            printField(f.label, validity(s));
            continue;
        }
        const int r = f.fn(s.ctx(), static_cast<int>(buf.size()), buf.data());
        if (r == QELT_ERR_CERT_FIELD_ABSENT) continue;  // the certificate has no such extension
        if (r != 0) {
            printField(f.label, fieldError(s, r));
            continue;
        }
        printField(f.label, f.hex ? foldedHex(buf.data(), kHexBytesPerLine, "    ") : shown(buf.data()));
    }
    return 0;
}

int runCertShow(Session& s, const std::vector<std::string>& args) {
    if (args.size() != 1) return Session::usage("cert show FILE");
    std::vector<std::vector<uint8_t>> certs;
    if (const int rc = readAllDerOrPem(s, args[0], certs)) return rc;
    int status = 0;
    for (size_t i = 0; i < certs.size(); ++i) {
        if (certs.size() > 1) std::printf("%sCertificate %zu of %zu\n", i ? "\n" : "", i + 1, certs.size());
        if (const int rc = showOne(s, certs[i])) status = rc;
    }
    return status;
}

int runCertDays(Session& s, const std::vector<std::string>& args, const Args& a) {
    if (args.size() != 1) return Session::usage("cert days FILE [-t DAYS]");
    int days = static_cast<int>(a.number("t", 0, INT_MAX, 0));
    std::vector<uint8_t> der;
    if (const int rc = readDerOrPem(s, args[0], der)) return rc;
    Bin in(der);
    const int r = QELT_CERT_GetRemainDays(s.ctx(), &in, &days);
    if (r == 0 || r == QELT_ERR_CERT_RENEWAL_DUE) std::printf("%d\n", days);
    return r == 0 ? 0 : s.fail(r);
}

int runCert(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage("cert show|days FILE");
    const std::vector<std::string> rest(a.positional.begin() + 1, a.positional.end());
    if (a.positional[0] == "show") return runCertShow(s, rest);
    if (a.positional[0] == "days") return runCertDays(s, rest, a);
    return Session::usage("cert: show or days");
}

int runCerts(Session& s, const Args& a) {
    const auto& p = a.positional;
    if (p.size() < 2) return Session::usage("certs add LIST CERT... | count LIST | get LIST INDEX [-o OUT]");
    if (p[0] == "add") {
        if (p.size() < 3) return Session::usage("certs add LIST CERT...");
        // Every certificate first (a PEM chain gives all of its blocks), then the list.
        std::vector<std::vector<uint8_t>> certs;
        for (size_t i = 2; i < p.size(); ++i) {
            std::vector<std::vector<uint8_t>> inFile;
            if (const int rc = readAllDerOrPem(s, p[i], inFile)) return rc;
            certs.insert(certs.end(), inFile.begin(), inFile.end());
        }
        Bin list(readFileToUpdate(p[1]));
        for (const auto& der : certs) {
            Bin cert(der);
            if (const int r = QELT_CERT_AddCert(s.ctx(), &cert, &list); r != 0) return s.fail(r);
        }
        writeOutput(p[1], list.span());
        int count = 0;
        if (QELT_CERT_GetCertCount(s.ctx(), &list, &count) == 0) std::printf("%d\n", count);
        return 0;
    }
    if (p[0] != "count" && p[0] != "get") return Session::usage("certs: add, count or get");
    if (p[0] == "get" && p.size() != 3) return Session::usage("certs get LIST INDEX [-o OUT]");
    if (p[0] == "count" && p.size() != 2) return Session::usage("certs count LIST");
    const int index = p[0] == "get" ? static_cast<int>(parseNumber(p[2], "INDEX", 0, INT_MAX)) : 0;
    const InputBytes bytes = mapInput(p[1]);
    BINSTR list = bytes.view();
    if (p[0] == "count") {
        int count = 0;
        if (const int r = QELT_CERT_GetCertCount(s.ctx(), &list, &count); r != 0) return s.fail(r);
        std::printf("%d\n", count);
        return 0;
    }
    Bin cert;
    if (const int r = QELT_CERT_GetCert(s.ctx(), &list, index, &cert); r != 0) return s.fail(r);
    writeOutput(a.get("o", "-"), cert.span());
    return 0;
}

}  // namespace

QELT_CLI_VERB({"cert",
               "cert show FILE | cert days FILE [-t DAYS]",
               {},
               &runCert,
               {"show prints every field of the certificates in FILE (DER, or PEM with any number of certificates "
                "and text around them), times in local time with their UTC offset. days prints the days of validity "
                "left and fails (exit 1) when the certificate has expired or fewer than DAYS remain.",
                {{"-t DAYS", "days: the renewal threshold (default 0)"}},
                {"qelt cert show ee.pem", "qelt cert days ee.der -t 30"}}});
QELT_CLI_VERB({"certs",
               "certs add LIST CERT... | certs count LIST | certs get LIST INDEX [-o OUT]",
               {},
               &runCerts,
               {"Certificate lists (a DER SEQUENCE OF Certificate, the form of CA bundles): add certificates to LIST "
                "(created when missing; every certificate of a PEM chain), count them, or take the INDEX-th out "
                "(from 0).",
                {{"-o FILE", "get: write the certificate to FILE instead of standard output"}},
                {"qelt certs add bundle.der ca.pem ee.der", "qelt certs get bundle.der 1 -o got.der"}}});
