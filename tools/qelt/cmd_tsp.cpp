// qelt tsp stamp / show / verify: time-stamp tokens from a TSA through the C
// API. "stamp" asks the TSA for a token over a file and keeps it; "show"
// prints what a token says; "verify" checks a token against a file.
#include <cstdio>
#include <string>

#include "cli.h"

using namespace qelt_cli;

namespace {

int hashOf(const Args& a) {
    const std::string name = a.get("a", "sha256");
    if (name == "sha1") return QELT_HASH_SHA1;
    if (name == "md5") return QELT_HASH_MD5;
    if (name == "has160") return QELT_HASH_HAS160;
    if (name == "sha256") return QELT_HASH_SHA256;
    return 0;
}

// A port number from 1 to 65535, or 0.
int portOf(const std::string& text) {
    if (text.empty() || text.size() > 5) return 0;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

int stamp(Session& s, const Args& a) {
    const int hash = hashOf(a);
    if (hash == 0) return Session::usage("tsp stamp: -a takes sha1, md5, has160 or sha256");
    const auto host = a.get("host");
    const int port = portOf(a.get("port", ""));
    if (!host || port == 0) return Session::usage("tsp stamp: --host ADDRESS and --port 1-65535 are needed");
    if (a.positional.size() < 2) return Session::usage("tsp stamp: the file to stamp is needed");
    const auto out = a.get("o");
    if (!out) return Session::usage("tsp stamp: -o TOKEN is needed");
    std::vector<uint8_t> doc, cert, key;
    std::string error;
    if (!readInput(a.positional[1], doc, error)) return Session::usage(error);
    const bool sign = a.has("sign");
    if (sign) {
        const auto c = a.get("c"), k = a.get("k");
        if (!c || !k) return Session::usage("tsp stamp --sign: -c CERT and -k PRIVATE_KEY are needed");
        if (const int rc = readDerOrPem(s, *c, cert)) return rc;
        if (!readInput(*k, key, error)) return Session::usage(error);
    }
    if (const auto conf = a.get("conf"))
        if (const int rc = QELT_API_SetConfFile(s.ctx(), conf->c_str())) return s.fail(rc);
    std::string policy = a.get("policy", "");
    Bin d(doc), c(cert), k(key), request, response, tsaCert, token;
    int rc = QELT_TSP_MakeReqMsg(s.ctx(), &d, hash, policy.data(), sign ? 1 : 0, &c, &k, &request);
    if (rc == 0) rc = QELT_TSP_SendAndRecv(s.ctx(), const_cast<char*>(host->c_str()), port, &request, &response);
    if (rc == 0) rc = QELT_TSP_VerifyResMsg(s.ctx(), &response, &tsaCert, &token);
    if (rc != 0) return s.fail(rc);
    if (!writeOutput(*out, token.vec(), error)) return Session::usage(error);
    if (const auto certOut = a.get("tsa-cert"))
        if (!writeOutput(*certOut, tsaCert.vec(), error)) return Session::usage(error);
    return 0;
}

int show(Session& s, const Args& a) {
    if (a.positional.size() < 2) return Session::usage("tsp show: the token file is needed");
    std::vector<uint8_t> token;
    std::string error;
    if (!readInput(a.positional[1], token, error)) return Session::usage(error);
    constexpr int kSize = 2048;
    char cn[kSize], dn[kSize], policy[kSize], hashAlg[kSize], hash[kSize], serial[kSize], genTime[kSize], nonce[kSize];
    Bin t(token);
    const int rc = QELT_TSP_GetTokenInfo(s.ctx(), &t, kSize, cn, dn, policy, hashAlg, hash, serial, genTime, nonce);
    if (rc != 0) return s.fail(rc);
    std::printf("TSA:            %s\n", toUtf8(cn).c_str());
    std::printf("TSA DN:         %s\n", toUtf8(dn).c_str());
    std::printf("Policy:         %s\n", policy);
    std::printf("Hash algorithm: %s\n", hashAlg);
    std::printf("Hash:           %s\n", hash);
    std::printf("Serial number:  %s\n", serial);
    std::printf("Time:           %s\n", genTime);
    std::printf("Nonce:          %s\n", nonce);
    return 0;
}

int verify(Session& s, const Args& a) {
    if (a.positional.size() < 3) return Session::usage("tsp verify: the file and the token are needed");
    std::vector<uint8_t> doc, token;
    std::string error;
    if (!readInput(a.positional[1], doc, error) || !readInput(a.positional[2], token, error))
        return Session::usage(error);
    Bin d(doc), t(token), cert;
    const int rc = QELT_TSP_VerifyToken2(s.ctx(), &d, &t, &cert);
    if (rc != 0) return s.fail(rc);
    std::printf("token OK: it stamps %s\n", a.positional[1].c_str());
    if (const auto certOut = a.get("tsa-cert"))
        if (!writeOutput(*certOut, cert.vec(), error)) return Session::usage(error);
    return 0;
}

int runTsp(Session& s, const Args& a) {
    const std::string what = a.positional.empty() ? "" : a.positional[0];
    if (what == "stamp") return stamp(s, a);
    if (what == "show") return show(s, a);
    if (what == "verify") return verify(s, a);
    return Session::usage("tsp: stamp, show or verify");
}

}  // namespace

QELT_CLI_VERB({"tsp",
               "tsp stamp --host ADDRESS --port N [-a sha256] [--policy OID] [--sign -c CERT -k KEY.der] "
               "[--conf FILE] [--tsa-cert OUT] FILE -o TOKEN | tsp show TOKEN | "
               "tsp verify FILE TOKEN [--tsa-cert OUT]  time-stamp tokens from a TSA",
               {"sign"},
               &runTsp});
