// qelt hash / enc / dec: digests and session-key encryption through the C API.
#include <cstdio>
#include <cstring>

#include "cli.h"

using namespace qelt_cli;

namespace {

struct Named {
    const char* name;
    int code;
};
constexpr Named kHashes[] = {{"sha1", QELT_HASH_SHA1}, {"md5", QELT_HASH_MD5}, {"has160", QELT_HASH_HAS160},
                             {"sha256", QELT_HASH_SHA256}};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},   {"3des", QELT_SYM_3DES}, {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT}, {"aria", QELT_SYM_ARIA}};

template <size_t N>
int codeOf(const Named (&table)[N], const std::string& name) {
    for (const Named& n : table)
        if (name == n.name) return n.code;
    return 0;
}

int runHash(Session& s, const Args& a) {
    const int alg = codeOf(kHashes, a.get("a", a.get("alg", "sha256")));
    if (alg == 0) return Session::usage("hash: -a takes sha1, md5, has160 or sha256");
    std::vector<uint8_t> data;
    std::string error;
    if (!readInput(a.positional.empty() ? "-" : a.positional[0], data, error)) return Session::usage(error);
    Bin in(data), digest;
    if (const int rc = QELT_CRYPT_Hash(s.ctx(), alg, &in, &digest); rc != 0) return s.fail(rc);
    const auto d = digest.vec();
    std::printf("%s\n", toHex(d.data(), d.size()).c_str());
    return 0;
}

int runCipher(Session& s, const Args& a, bool decrypt) {
    const char* verb = decrypt ? "dec" : "enc";
    const int alg = codeOf(kCiphers, a.get("a", a.get("alg", "")));
    if (alg == 0) return Session::usage(std::string(verb) + ": -a takes des, 3des, seed, neat or aria");
    std::vector<uint8_t> key, iv;
    if (!fromHex(a.get("k", a.get("key", "")), key) || key.empty()) return Session::usage(std::string(verb) + ": -k KEYHEX is needed");
    if (!fromHex(a.get("i", a.get("iv", "")), iv) || iv.empty()) return Session::usage(std::string(verb) + ": -i IVHEX is needed");
    Bin k(key), v(iv);
    if (const int rc = QELT_CRYPT_SetKeyAndIV(s.ctx(), alg, &k, &v); rc != 0) return s.fail(rc);
    if (a.has("no-padding"))
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_NO_PADDING); rc != 0) return s.fail(rc);

    const std::string inPath = a.positional.empty() ? "-" : a.positional[0];
    const std::string outPath = a.get("o", a.get("out", "-"));
    if (a.has("file")) {
        // The streaming file functions: constant memory whatever the size.
        if (inPath == "-" || outPath == "-") return Session::usage(std::string(verb) + " --file needs an input file and -o OUT");
        const int rc = decrypt ? QELT_CRYPT_Decrypt_File(s.ctx(), inPath.c_str(), outPath.c_str())
                               : QELT_CRYPT_Encrypt_File(s.ctx(), inPath.c_str(), outPath.c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    std::vector<uint8_t> data;
    std::string error;
    if (!readInput(inPath, data, error)) return Session::usage(error);
    Bin in(data), out;
    const int rc = decrypt ? QELT_CRYPT_Decrypt(s.ctx(), &in, &out) : QELT_CRYPT_Encrypt(s.ctx(), &in, &out);
    if (rc != 0) return s.fail(rc);
    if (!writeOutput(outPath, out.vec(), error)) return Session::usage(error);
    return 0;
}

int runEnc(Session& s, const Args& a) { return runCipher(s, a, false); }
int runDec(Session& s, const Args& a) { return runCipher(s, a, true); }

}  // namespace

QELT_CLI_VERB({"hash", "hash -a sha1|md5|has160|sha256 [FILE]  print the digest in hex", {}, &runHash});
QELT_CLI_VERB({"enc",
               "enc -a des|3des|seed|neat|aria -k KEYHEX -i IVHEX [--file] [--no-padding] [IN] [-o OUT]  encrypt (CBC)",
               {"file", "no-padding"},
               &runEnc});
QELT_CLI_VERB({"dec",
               "dec -a des|3des|seed|neat|aria -k KEYHEX -i IVHEX [--file] [--no-padding] [IN] [-o OUT]  decrypt (CBC)",
               {"file", "no-padding"},
               &runDec});
