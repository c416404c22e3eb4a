// qelt ldap get / cn / crl / path: reading certificates, CRLs and trust lists
// from an LDAP directory, and a certificate's CA bundle built from it.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

struct TypeName {
    const char* name;
    int type;
};
const TypeName kTypes[] = {
    {"ca", QELT_LDAP_CA_CERT}, {"sign", QELT_LDAP_SIGN_CERT},
    {"km", QELT_LDAP_KM_CERT}, {"arl", QELT_LDAP_ARL},
    {"crl", QELT_LDAP_CRL},    {"delta", QELT_LDAP_DELTA_CRL},
    {"ctl", QELT_LDAP_CTL},    {"wuser", QELT_LDAP_WAP_USER_CERT},
};

// A data type by name ("crl") or number ("6"); 0 when unknown.
int typeOf(const std::string& text) {
    for (const TypeName& t : kTypes)
        if (text == t.name) return t.type;
    for (const TypeName& t : kTypes)
        if (text == std::to_string(t.type)) return t.type;
    return 0;
}

const char* kUsage =
    "ldap get URL [-t TYPE | -a ATTRIBUTE] | ldap cn HOST PORT CN [-t TYPE] | ldap crl CERT | ldap path CERT --conf "
    "FILE  [-o OUT]";
const char* kTypeNames = "ca, sign, km, arl, crl, delta, ctl or wuser";

// The configuration file, when given, sets the search time-out.
int applyConf(Session& s, const Args& a) {
    if (const auto conf = a.get("conf"); conf)
        if (const int r = QELT_API_SetConfFile(s.ctx(), toCp949(*conf).c_str()); r != 0) return s.fail(r);
    return 0;
}

int writeResult(const Args& a, const Bin& data) {
    writeOutput(a.get("o", "-"), data.span());
    return 0;
}

int runLdap(Session& s, const Args& a) {
    const auto& p = a.positional;
    if (p.size() < 2) return Session::usage(kUsage);
    if (const int rc = applyConf(s, a); rc != 0) return rc;
    Bin out;
    if (p[0] == "get") {
        // URLs may carry Korean DNs: typed in UTF-8, handed over in CP949.
        const std::string url = toCp949(p[1]);
        int r = 0;
        if (const auto attribute = a.get("a"); attribute) {
            r = QELT_LDAP_GetAnyDataByURL(s.ctx(), attribute->c_str(), url.c_str(), &out);
        } else {
            const int type = typeOf(a.get("t", "ca"));
            if (type == 0) return Session::usage(std::string("ldap get: -t takes ") + kTypeNames);
            r = QELT_LDAP_GetDataByURL(s.ctx(), type, url.c_str(), &out);
        }
        return r != 0 ? s.fail(r) : writeResult(a, out);
    }
    if (p[0] == "cn") {
        if (p.size() != 4) return Session::usage("ldap cn HOST PORT CN [-t TYPE] [-o OUT]");
        const int type = typeOf(a.get("t", "sign"));
        if (type == 0) return Session::usage(std::string("ldap cn: -t takes ") + kTypeNames);
        const long long port = parseNumber(p[2], "PORT", 1, 65535);
        char dn[1024] = {0};
        if (const int r = QELT_LDAP_GetDataByCN(s.ctx(), p[1].c_str(), static_cast<int>(port), toCp949(p[3]).c_str(),
                                                type, dn, &out);
            r != 0)
            return s.fail(r);
        std::fprintf(stderr, "%s\n", toUtf8(dn).c_str());  // the entry found, beside the data
        return writeResult(a, out);
    }
    std::vector<uint8_t> der;
    if (const int rc = readDerOrPem(s, p[1], der); rc != 0) return rc;
    Bin cert(der);
    if (p[0] == "crl") {
        if (const int r = QELT_LDAP_GetCRLByCert(s.ctx(), &cert, &out); r != 0) return s.fail(r);
        return writeResult(a, out);
    }
    if (p[0] == "path") {
        const auto conf = a.get("conf");
        if (!conf) return Session::usage("ldap path CERT --conf FILE [-o OUT]");
        if (const int r = QELT_LDAP_GetCertPath(s.ctx(), &cert, toCp949(*conf).c_str(), &out); r != 0) return s.fail(r);
        return writeResult(a, out);
    }
    return Session::usage(kUsage);
}

}  // namespace

QELT_CLI_VERB({"ldap",
               "ldap get URL [-t TYPE | -a ATTRIBUTE] | cn HOST PORT CN [-t TYPE] | crl CERT | path CERT --conf FILE  "
               "[-o OUT]",
               {},
               &runLdap,
               {"Reads from an LDAP directory (anonymous bind): get reads the entry an ldap:// URL names (Korean "
                "DNs typed in UTF-8); cn finds cn=CN anywhere under C=KR and prints the entry's DN on stderr; crl "
                "follows a certificate's CRL distribution points (the ARL for a CA certificate); path builds a "
                "certificate's CA bundle from the configuration's LDAP_INFO sections.",
                {{"-t TYPE", "get, cn: ca (default for get), sign (default for cn), km, arl, crl, delta, ctl or wuser"},
                 {"-a ATTRIBUTE", "get: any attribute instead of a type"},
                 {"--conf FILE", "configuration file: LDAP_INFO sections (path), [LDAP] LDAP_TIME_OUT"},
                 {"-o FILE", "write the value to FILE instead of standard output"}},
                {"qelt ldap get 'ldap://dir.example.kr/cn=CA1,o=Example,c=KR' -t crl -o ca1.crl",
                 "qelt ldap path ee.der --conf qelt.conf -o bundle.der"}}});
