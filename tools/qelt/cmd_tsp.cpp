// qelt tsp stamp / show / verify: time-stamp tokens from a TSA through the C
// API. "stamp" asks the TSA for a token over a file and keeps it (after
// checking the answer against the request); "show" prints what a token says;
// "verify" checks a token against a file.
#include <cstdio>
#include <string>

#include "cli.h"

using namespace qelt_cli;

namespace {

int hashOf(const Args& a) {
    const std::string name = a.get("a", a.get("alg", "sha256"));
    if (name == "sha1") return QELT_HASH_SHA1;
    if (name == "md5") return QELT_HASH_MD5;
    if (name == "has160") return QELT_HASH_HAS160;
    if (name == "sha256") return QELT_HASH_SHA256;
    return 0;
}

int runStamp(Session& s, const Args& a) {
    const int hash = hashOf(a);
    if (hash == 0) return Session::usage("tsp stamp: -a takes sha1, md5, has160 or sha256");
    const auto host = a.get("host");
    if (!host || host->empty()) return Session::usage("tsp stamp: --host ADDRESS is needed");
    if (!a.get("port")) return Session::usage("tsp stamp: --port N is needed");
    const int port = static_cast<int>(a.number("port", 1, 65535, 0));
    if (a.positional.size() != 1) return Session::usage("tsp stamp: one file to stamp is needed");
    const auto out = a.get("o");
    if (!out) return Session::usage("tsp stamp: -o TOKEN is needed");
    const bool sign = a.has("sign");
    std::vector<uint8_t> cert, key;
    if (sign) {
        const auto c = a.get("c"), k = a.get("k");
        if (!c || !k) return Session::usage("tsp stamp --sign: -c CERT and -k KEY are needed");
        if (const int rc = readDerOrPem(s, *c, cert)) return rc;
        if (const int rc = readDerOrPem(s, *k, key)) return rc;
        if (const int rc = checkSignerKey(s, cert, key)) return rc;
    }
    if (const auto conf = a.get("conf"))
        if (const int rc = QELT_API_SetConfFile(s.ctx(), conf->c_str())) return s.fail(rc);
    const InputBytes doc = mapInput(a.positional[0]);
    BINSTR d = doc.view();
    std::string policy = a.get("policy", "");
    std::string address = *host;
    Bin c(cert), k(key), request, response, tsaCert, token;
    int rc = QELT_TSP_MakeReqMsg(s.ctx(), &d, hash, policy.data(), sign ? 1 : 0, &c, &k, &request);
    if (rc == 0) rc = QELT_TSP_SendAndRecv(s.ctx(), address.data(), port, &request, &response);
    if (rc == 0) rc = QELT_TSP_VerifyResMsg(s.ctx(), &response, &tsaCert, &token);
    if (rc != 0) return s.fail(rc);
    writeOutput(*out, token.span());
    if (const auto certOut = a.get("tsa-cert")) writeOutput(*certOut, tsaCert.span());
    return 0;
}

int runShow(Session& s, const Args& a) {
    if (a.positional.size() != 1) return Session::usage("tsp show: one token file is needed");
    std::vector<uint8_t> token;
    if (const int rc = readDerOrPem(s, a.positional[0], token)) return rc;
    constexpr int kSize = 2048;
    char cn[kSize], dn[kSize], policy[kSize], hashAlg[kSize], hash[kSize], serial[kSize], genTime[kSize], nonce[kSize];
    Bin t(token);
    const int rc = QELT_TSP_GetTokenInfo(s.ctx(), &t, kSize, cn, dn, policy, hashAlg, hash, serial, genTime, nonce);
    if (rc != 0) return s.fail(rc);
    std::string text = "TSA:            " + toUtf8(cn) + "\n" + "TSA DN:         " + toUtf8(dn) + "\n" +
                       "Policy:         " + policy + "\n" + "Hash algorithm: " + hashAlg + "\n" +
                       "Hash:           " + hash + "\n" + "Serial number:  " + serial + "\n" +
                       "Time:           " + genTime + "\n" + "Nonce:          " + nonce + "\n";
    writeOutput("-", text);
    return 0;
}

int runVerifyToken(Session& s, const Args& a) {
    if (a.positional.size() != 2) return Session::usage("tsp verify: FILE and TOKEN are needed");
    std::vector<uint8_t> token;
    const InputBytes doc = mapInput(a.positional[0]);
    if (const int rc = readDerOrPem(s, a.positional[1], token)) return rc;
    BINSTR d = doc.view();
    Bin t(token), cert;
    const int rc = QELT_TSP_VerifyToken2(s.ctx(), &d, &t, &cert);
    if (rc != 0) return s.fail(rc);
    if (const auto certOut = a.get("tsa-cert")) writeOutput(*certOut, cert.span());
    writeOutput("-", "token OK: it stamps " + a.positional[0] + "\n");
    return 0;
}

const OptionHelp kHashOption{"-a, --alg HASH", "sha1, md5, has160 or sha256 (default sha256)"};

}  // namespace

QELT_CLI_VERB({"tsp stamp",
               "tsp stamp --host ADDRESS --port N [-a HASH] [--policy OID] [--sign -c CERT -k KEY] FILE -o TOKEN",
               {"sign"},
               &runStamp,
               {"Asks a time-stamping authority for a token over FILE (the request goes as hexadecimal text to "
                "http://ADDRESS:N/TSAReq), checks the answer against the request and writes the token (a DER "
                "ContentInfo).",
                {{"--host ADDRESS", "the TSA's address"},
                 {"--port N", "the TSA's port"},
                 kHashOption,
                 {"--policy OID", "the policy to ask for (dotted OID)"},
                 {"--sign", "sign the request with -c and -k"},
                 {"-c CERT", "the requester's signing certificate"},
                 {"-k KEY", "the requester's decrypted private key (PKCS#8)"},
                 {"--conf FILE", "configuration file ([TSA] TSA_TIME_OUT, seconds; default 600)"},
                 {"--tsa-cert FILE", "also write the TSA's certificate to FILE"},
                 {"-o TOKEN", "write the token to TOKEN"}},
                {"qelt tsp stamp --host 127.0.0.1 --port 3318 contract.pdf -o contract.tst"}}});
QELT_CLI_VERB({"tsp show",
               "tsp show TOKEN",
               {},
               &runShow,
               {"Verifies a token's signature and prints what it says: the TSA, the policy, the hash it stamps, "
                "the serial number, the time and the nonce.",
                {},
                {"qelt tsp show contract.tst"}}});
QELT_CLI_VERB({"tsp verify",
               "tsp verify FILE TOKEN [--tsa-cert FILE]",
               {},
               &runVerifyToken,
               {"Checks that TOKEN is a good time-stamp token over FILE and prints \"token OK\"; any other file "
                "exits 1.",
                {{"--tsa-cert FILE", "also write the TSA's certificate to FILE"}},
                {"qelt tsp verify contract.pdf contract.tst"}}});
