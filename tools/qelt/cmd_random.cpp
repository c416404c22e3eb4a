// qelt rand / mac / share / unite: random bytes, HMAC and key sharing.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

bool parseCount(const std::string& text, int& out) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    out = std::atoi(text.c_str());
    return true;
}

int printHexLine(const std::vector<uint8_t>& bytes) {
    std::printf("%s\n", toHex(bytes.data(), bytes.size()).c_str());
    return 0;
}

// qelt rand N
int runRand(Session& s, const Args& a) {
    int n = 0;
    if (a.positional.size() != 1 || !parseCount(a.positional[0], n)) return Session::usage("rand N: N is a byte count");
    Bin out;
    if (int rc = QELT_CRYPT_GenRandom(s.ctx(), n, &out)) return s.fail(rc);
    return printHexLine(out.vec());
}

// qelt mac -a ALG --key HEX [--verify HEX] [FILE]
int runMac(Session& s, const Args& a) {
    static const std::pair<const char*, int> kAlgs[] = {
        {"sha1", QELT_MAC_HMAC_SHA1}, {"md5", QELT_MAC_HMAC_MD5}, {"sha256", QELT_MAC_HMAC_SHA256}};
    const std::string name = a.get("a", a.get("algorithm", "sha1"));
    int alg = -1;
    for (const auto& [n, code] : kAlgs)
        if (name == n) alg = code;
    if (alg < 0) return Session::usage("mac: -a takes sha1, md5 or sha256");
    std::vector<uint8_t> key;
    if (!fromHex(a.get("key", ""), key) || key.empty()) return Session::usage("mac: --key HEX is required");
    // The library takes the key as a NUL-terminated text: a zero byte would cut it.
    for (uint8_t b : key)
        if (b == 0) return Session::usage("mac: the key must not contain a 00 byte");
    const std::string keyText(key.begin(), key.end());
    std::vector<uint8_t> data;
    std::string error;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], data, error)) return Session::usage(error);
    Bin in(data);
    if (auto expected = a.get("verify")) {
        std::vector<uint8_t> macBytes;
        if (!fromHex(*expected, macBytes)) return Session::usage("mac: --verify takes the MAC in hex");
        Bin mac(macBytes);
        if (int rc = QELT_CRYPT_VerifyMAC(s.ctx(), alg, keyText.c_str(), &in, &mac)) return s.fail(rc);
        std::printf("ok\n");
        return 0;
    }
    Bin mac;
    if (int rc = QELT_CRYPT_GenMAC(s.ctx(), alg, keyText.c_str(), &in, &mac)) return s.fail(rc);
    return printHexLine(mac.vec());
}

// qelt share -n N -k K [--key HEX | FILE]: one share per output line, in hex.
int runShare(Session& s, const Args& a) {
    int n = 0, k = 0;
    if (!parseCount(a.get("n", ""), n) || !parseCount(a.get("k", ""), k))
        return Session::usage("share: -n SHARES and -k THRESHOLD are required");
    std::vector<uint8_t> key;
    std::string error;
    if (auto hex = a.get("key")) {
        if (!fromHex(*hex, key)) return Session::usage("share: --key takes hex");
    } else if (!readInput(a.positional.empty() ? "-" : a.positional[0], key, error)) {
        return Session::usage(error);
    }
    Bin in(key);
    std::vector<BINSTR> shares(static_cast<size_t>(n > 0 ? n : 1), BINSTR{nullptr, 0});
    const int rc = QELT_KEY_Share(s.ctx(), &in, n, k, shares.data());
    std::string text;
    for (BINSTR& b : shares) {
        if (rc == 0) text += toHex(b.pVal, static_cast<size_t>(b.nLen)) + "\n";
        QELT_BINSTR_Delete(&b);
    }
    if (rc) return s.fail(rc);
    if (!writeOutput(a.get("o", ""), reinterpret_cast<const uint8_t*>(text.data()), text.size(), error))
        return Session::usage(error);
    return 0;
}

// qelt unite [FILE]: shares as hex lines (blank lines skipped); the key in
// hex on standard output, or its raw bytes into -o FILE.
int runUnite(Session& s, const Args& a) {
    std::vector<uint8_t> input;
    std::string error;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], input, error)) return Session::usage(error);
    std::istringstream lines(std::string(input.begin(), input.end()));
    std::vector<std::vector<uint8_t>> parsed;
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        std::vector<uint8_t> share;
        if (!fromHex(line, share)) return Session::usage("unite: every line must be one share in hex");
        parsed.push_back(std::move(share));
    }
    std::vector<BINSTR> shares;
    for (const auto& p : parsed)
        shares.push_back(BINSTR{const_cast<unsigned char*>(p.data()), static_cast<int>(p.size())});
    Bin key;
    if (int rc =
            QELT_KEY_Unite(s.ctx(), shares.empty() ? nullptr : shares.data(), static_cast<int>(shares.size()), &key))
        return s.fail(rc);
    if (auto path = a.get("o")) {
        if (!writeOutput(*path, key.vec(), error)) return Session::usage(error);
        return 0;
    }
    return printHexLine(key.vec());
}

}  // namespace

QELT_CLI_VERB({"rand", "rand N  print N random bytes from the library's generator in hex", {}, &runRand});
QELT_CLI_VERB({"mac",
               "mac -a sha1|md5|sha256 --key HEX [--verify MACHEX] [FILE]  print the HMAC in hex, or check one",
               {},
               &runMac});
QELT_CLI_VERB({"share",
               "share -n SHARES -k THRESHOLD (--key HEX | FILE) [-o OUT]  split a key: one share per line, in hex",
               {},
               &runShare});
QELT_CLI_VERB({"unite", "unite [FILE] [-o OUT]  restore a key from shares given one per line in hex", {}, &runUnite});
