// qelt cert verify: the whole verification of one certificate (path, trust,
// policies, revocation) with QELT_CERT_Verify.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

const char* kUsage =
    "cert verify CERT -r ROOT[,ROOT...] [-b CA[,CA...]] [--conf FILE] [-R REVOCATION] [-t TIME] [--ocsp URL]";

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!piece.empty()) out.push_back(piece);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

struct Named {
    const char* name;
    int value;
};
const Named kRevocations[] = {
    {"all", QELT_REVOKE_ALL},           {"arl", QELT_REVOKE_CA_BY_ARL},
    {"crl", QELT_REVOKE_TARGET_BY_CRL}, {"ocsp", QELT_REVOKE_TARGET_BY_OCSP},
    {"none", QELT_REVOKE_NONE},
};
const Named kPurposes[] = {{"sign", QELT_CERT_TYPE_SIGN},
                           {"km", QELT_CERT_TYPE_KM},
                           {"ocsp", QELT_CERT_TYPE_OCSP},
                           {"tsa", QELT_CERT_TYPE_TSA}};

// A name of the table or a number from 1 to `max`; 0 when neither.
template <size_t N>
int pick(const Named (&table)[N], const std::string& text, int max) {
    for (const Named& n : table)
        if (text == n.name) return n.value;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    return (end != text.c_str() && *end == 0 && v >= 1 && v <= max) ? static_cast<int>(v) : 0;
}

// Adds the certificates of a file (one certificate, or a certificate list) to `list`.
int addCertificates(Session& s, const std::string& path, Bin& list) {
    std::vector<uint8_t> der;
    if (const int rc = readDerOrPem(s, path, der); rc != 0) return rc;
    Bin in(der);
    int count = 0;
    if (QELT_CERT_GetCertCount(s.ctx(), &in, &count) == 0) {
        for (int i = 0; i < count; ++i) {
            Bin one;
            if (const int r = QELT_CERT_GetCert(s.ctx(), &in, i, &one); r != 0) return s.fail(r);
            if (const int r = QELT_CERT_AddCert(s.ctx(), &one, &list); r != 0) return s.fail(r);
        }
        return 0;
    }
    if (const int r = QELT_CERT_AddCert(s.ctx(), &in, &list); r != 0) return s.fail(r);
    return 0;
}

int runVerify(Session& s, const Args& a) {
    if (a.positional.size() != 1 || !a.get("r")) return Session::usage(kUsage);
    std::vector<uint8_t> target;
    if (const int rc = readDerOrPem(s, a.positional[0], target); rc != 0) return rc;

    for (const std::string& root : splitList(*a.get("r"))) {
        std::vector<uint8_t> der;
        if (const int rc = readDerOrPem(s, root, der); rc != 0) return rc;
        Bin cert(der);
        if (const int r = QELT_CERT_AddTrustedCert(s.ctx(), &cert); r != 0) return s.fail(r);
    }
    if (const auto cas = a.get("b"); cas) {
        Bin bundle;
        for (const std::string& file : splitList(*cas))
            if (const int rc = addCertificates(s, file, bundle); rc != 0) return rc;
        if (const int r = QELT_API_SetCaPubs(s.ctx(), &bundle); r != 0) return s.fail(r);
    }

    // --ocsp URL asks that responder before any address the certificate
    // names; without -R it is then the only revocation check of the target.
    std::string ocspUrl = a.get("u", "");
    std::string revocationText = a.get("R", "all");
    if (const auto responder = a.get("ocsp"); responder) {
        if (a.get("u")) return Session::usage("cert verify: give --ocsp or -u, not both");
        if (responder->empty()) return Session::usage("cert verify: --ocsp needs the responder's URL");
        ocspUrl = "[UseThisURLFirst]" + *responder;
        if (!a.get("R")) revocationText = "ocsp";
    }
    const int revocation = pick(kRevocations, revocationText, 31);
    if (revocation == 0)
        return Session::usage("cert verify: -R takes all, arl, crl, ocsp, none or a number from 1 to 31");
    const int purpose = pick(kPurposes, a.get("p", "sign"), 4);
    if (purpose == 0) return Session::usage("cert verify: -p takes sign, km, ocsp or tsa");
    const std::string time = a.get("t", "");
    if (const int r =
            QELT_CERT_SetVerifyEnv(s.ctx(), 0, revocation, a.has("no-cache") ? 0 : 1, time.c_str(), ocspUrl.c_str());
        r != 0)
        return s.fail(r);

    // Without a configuration file the library reads an empty one.
    const std::string conf = a.get("conf") ? toCp949(*a.get("conf")) : std::string("/dev/null");
    const std::string ips = a.get("i", "");
    Bin cert(target);
    const int r = QELT_CERT_Verify(s.ctx(), &cert, purpose, ips.c_str(), conf.c_str(), 0, nullptr, nullptr);
    if (r != 0) return s.fail(r);
    writeOutput("-", std::string("valid\n"));
    return 0;
}

}  // namespace

QELT_CLI_VERB(
    {"cert verify",
     "cert verify CERT -r ROOT[,ROOT...] [-b CA[,CA...]] [--conf FILE] [-R REVOCATION] [-t TIME] [-p PURPOSE] "
     "[-i OIDS] [--ocsp URL | -u URL] [--no-cache]",
     {"no-cache"},
     &runVerify,
     {"Verifies a certificate completely: its CA bundle (given, cached, or read from the directories of "
      "the configuration), the path up to a trusted root (or a root a trusted root's trust list names), "
      "policies, and revocation by ARL, CRL or OCSP. Prints \"valid\"; any failure exits 1 with the "
      "library's code and message.",
      {{"-r ROOTS", "trusted root certificates, files separated by commas"},
       {"-b CAS",
        "CA certificates or certificate lists (qelt certs add), separated by commas; without -b "
        "the bundle comes from the cache or the directory"},
       {"--conf FILE", "configuration file (LDAP_INFO sections, IPS, OCSP_SERVER, LDAP_TIME_OUT)"},
       {"-R REVOCATION",
        "all (default: CAs by ARL, the target by OCSP then CRL), arl, crl, ocsp, none, "
        "or the option number"},
       {"-t TIME", "validation time YYYYMMDDhhmmss (local) or YYYYMMDDhhmmssZ (UTC)"},
       {"-p PURPOSE", "sign (default), km, ocsp or tsa"},
       {"-i OIDS", "initial policy set: dotted OIDs joined by ';'"},
       {"--ocsp URL",
        "ask this OCSP responder about the certificate, before the address the certificate names; "
        "without -R the target is then checked by OCSP only"},
       {"-u URL",
        "OCSP responder for certificates that name none; with the prefix [UseThisURLFirst] for "
        "every certificate"},
       {"--no-cache", "neither read nor write the caches under the work directory"}},
      {"qelt cert verify ee.der -r root.der -b ca.der,root.der -R crl -t 20300101000000Z",
       "qelt cert verify ee.der -r root.der -b ca.der,root.der --ocsp http://127.0.0.1:8080/ocsp"}}});
