// qelt cert show / days and qelt certs add / count / get: certificate fields
// and certificate lists through the C API.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

using TextGetter = int (*)(void*, int, char*);

struct Field {
    const char* label;
    TextGetter fn;
};
const Field kFields[] = {
    {"UID", QELT_CERT_GetUID},
    {"Serial number", QELT_CERT_GetSerialNum},
    {"Signature algorithm", QELT_CERT_GetSignatureAlgorithm},
    {"Issuer", QELT_CERT_GetIssuerName},
    {"Subject", QELT_CERT_GetSubjectName},
    {"Validity", QELT_CERT_GetValidity},
    {"Public key algorithm", QELT_CERT_GetPubKeyAlg},
    {"Public key length", QELT_CERT_GetPubKeyLen},
    {"Public key", QELT_CERT_GetPubKey},
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
    {"Signature", QELT_CERT_GetSignature},
};

// DER as it is, or the first PEM block decoded by the library.
bool readCertificate(Session& s, const std::string& path, std::vector<uint8_t>& der, int& rc) {
    std::string error;
    rc = 0;
    if (!readInput(path, der, error)) {
        std::fprintf(stderr, "qelt: %s\n", error.c_str());
        rc = 2;
        return false;
    }
    if (der.size() > 10 && std::string(der.begin(), der.begin() + 10) == "-----BEGIN") {
        Bin pem(der), out;
        if (const int r = QELT_PEM_Decode(s.ctx(), &pem, &out); r != 0) {
            rc = s.fail(r);
            return false;
        }
        der = out.vec();
    }
    return true;
}

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

int runCertShow(Session& s, const std::vector<std::string>& args) {
    if (args.empty()) return Session::usage("cert show FILE");
    std::vector<uint8_t> der;
    int rc = 0;
    if (!readCertificate(s, args[0], der, rc)) return rc;
    Bin in(der);
    if (const int r = QELT_CERT_Load(s.ctx(), &in); r != 0) return s.fail(r);
    int version = 0;
    if (QELT_CERT_GetVersion(s.ctx(), &version) == 0) std::printf("Version: %d\n", version);
    std::vector<char> buf(1 << 16);
    for (const Field& f : kFields) {
        const int r = f.fn(s.ctx(), static_cast<int>(buf.size()), buf.data());
        if (r == QELT_ERR_CERT_FIELD_ABSENT) continue;  // the certificate has no such extension
        if (r != 0) {
            char message[2048] = {0};
            QELT_API_GetErrInfo(s.ctx(), sizeof message, message);
            std::printf("%s: (error %d: %s)\n", f.label, r, toUtf8(message).c_str());
            continue;
        }
        const std::string value = shown(buf.data());
        std::printf("%s:%s%s\n", f.label, value.find('\n') == std::string::npos ? " " : "\n    ", value.c_str());
    }
    return 0;
}

int runCertDays(Session& s, const std::vector<std::string>& args, const Args& a) {
    if (args.empty()) return Session::usage("cert days FILE [-t DAYS]");
    std::vector<uint8_t> der;
    int rc = 0;
    if (!readCertificate(s, args[0], der, rc)) return rc;
    Bin in(der);
    int days = std::stoi(a.get("t", "0"));
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
    std::string error;
    std::vector<uint8_t> listBytes;
    if (p[0] == "add") {
        if (p.size() < 3) return Session::usage("certs add LIST CERT...");
        if (std::filesystem::exists(p[1]) && !readInput(p[1], listBytes, error)) return Session::usage(error);
        Bin list(listBytes);
        for (size_t i = 2; i < p.size(); ++i) {
            std::vector<uint8_t> der;
            int rc = 0;
            if (!readCertificate(s, p[i], der, rc)) return rc;
            Bin cert(der);
            if (const int r = QELT_CERT_AddCert(s.ctx(), &cert, &list); r != 0) return s.fail(r);
        }
        if (!writeOutput(p[1], list.vec(), error)) return Session::usage(error);
        int count = 0;
        if (QELT_CERT_GetCertCount(s.ctx(), &list, &count) == 0) std::printf("%d\n", count);
        return 0;
    }
    if (!readInput(p[1], listBytes, error)) return Session::usage(error);
    Bin list(listBytes);
    if (p[0] == "count") {
        int count = 0;
        if (const int r = QELT_CERT_GetCertCount(s.ctx(), &list, &count); r != 0) return s.fail(r);
        std::printf("%d\n", count);
        return 0;
    }
    if (p[0] == "get") {
        if (p.size() < 3) return Session::usage("certs get LIST INDEX [-o OUT]");
        Bin cert;
        if (const int r = QELT_CERT_GetCert(s.ctx(), &list, std::stoi(p[2]), &cert); r != 0) return s.fail(r);
        if (!writeOutput(a.get("o", "-"), cert.vec(), error)) return Session::usage(error);
        return 0;
    }
    return Session::usage("certs: add, count or get");
}

}  // namespace

QELT_CLI_VERB(
    {"cert", "cert show FILE | cert days FILE [-t DAYS]  certificate fields (DER or PEM), days left", {}, &runCert});
QELT_CLI_VERB(
    {"certs", "certs add LIST CERT... | count LIST | get LIST INDEX [-o OUT]  certificate lists", {}, &runCerts});
