// qelt rand / mac / share / unite: random bytes, HMAC and key sharing.
#include <climits>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

int printHexLine(const std::vector<uint8_t>& bytes) {
    std::printf("%s\n", toHex(bytes.data(), bytes.size()).c_str());
    return 0;
}

// qelt rand N
int runRand(Session& s, const Args& a) {
    if (a.positional.size() != 1) return Session::usage("rand N: N is a byte count");
    const int n = static_cast<int>(parseNumber(a.positional[0], "N", 0, INT_MAX));
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
    if (a.positional.size() > 1) return Session::usage("mac: one input file at most");
    const InputBytes data = mapInput(a.positional.empty() ? "-" : a.positional[0]);
    BINSTR in = data.view();
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
    if (!a.has("n") || !a.has("k")) return Session::usage("share: -n SHARES and -k THRESHOLD are required");
    const int n = static_cast<int>(a.number("n", 0, 255, 0)), k = static_cast<int>(a.number("k", 0, 255, 0));
    std::vector<uint8_t> key;
    std::string error;
    if (auto hex = a.get("key")) {
        if (!fromHex(*hex, key)) return Session::usage("share: --key takes hex");
    } else {
        readInput(a.positional.empty() ? "-" : a.positional[0], key, error);
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
    writeOutput(a.get("o", ""), text);
    return 0;
}

// qelt unite [FILE]: shares as hex lines (blank lines skipped); the key in
// hex on standard output, or its raw bytes into -o FILE.
int runUnite(Session& s, const Args& a) {
    std::vector<uint8_t> input;
    std::string error;
    readInput(a.positional.empty() ? "-" : a.positional[0], input, error);
    std::istringstream lines(std::string(input.begin(), input.end()));
    std::vector<std::vector<uint8_t>> parsed;
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        std::vector<uint8_t> share;
        if (!fromHex(line, share)) failCommand("unite: every line must be one share in hex");
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
        writeOutput(*path, key.span());
        return 0;
    }
    return printHexLine(key.vec());
}

}  // namespace

QELT_CLI_VERB({"rand",
               "rand N",
               {},
               &runRand,
               {"Prints N random bytes from the library's generator in hex.", {}, {"qelt rand 16"}}});
QELT_CLI_VERB({"mac",
               "mac [-a sha1|md5|sha256] --key HEX [--verify MACHEX] [FILE]",
               {},
               &runMac,
               {"Prints the HMAC of FILE (or standard input) in hex, or checks one given with --verify (a wrong MAC "
                "exits 1).",
                {{"-a, --algorithm NAME", "sha1, md5 or sha256 (default sha1)"},
                 {"--key HEX", "the key in hex (no 00 byte: the library takes it as a text)"},
                 {"--verify MACHEX", "the MAC to check, in hex"}},
                {"qelt mac -a sha256 --key 6b6579 data.bin"}}});
QELT_CLI_VERB({"share",
               "share -n SHARES -k THRESHOLD (--key HEX | FILE) [-o OUT]",
               {},
               &runShare,
               {"Splits a key into SHARES shares of which any THRESHOLD restore it; one share per output line, in "
                "hex.",
                {{"-n SHARES", "how many shares to make"},
                 {"-k THRESHOLD", "how many shares restore the key"},
                 {"--key HEX", "the key in hex instead of FILE"},
                 {"-o FILE", "write the shares to FILE instead of standard output"}},
                {"qelt share -n 5 -k 3 --key 00112233445566778899aabbccddeeff -o shares.out"}}});
QELT_CLI_VERB({"unite",
               "unite [FILE] [-o OUT]",
               {},
               &runUnite,
               {"Restores a key from shares given one per line in hex (blank lines skipped); prints the key in hex, "
                "or writes its bytes to OUT.",
                {{"-o FILE", "write the key's bytes to FILE"}},
                {"qelt unite shares.txt", "head -3 shares.txt | qelt unite"}}});
