// qelt hash / enc / dec: digests and session-key encryption through the C API.
//
// enc and dec take a regular input file through the library's streaming file
// functions (flat memory, progress on a terminal, the same bytes as the
// in-memory functions); standard input, pipes and --in-memory go through
// QELT_CRYPT_Encrypt/Decrypt over the mapped or read input.
#include <cstdio>
#include <cstring>

#include "cli.h"

using namespace qelt_cli;

namespace {

struct Named {
    const char* name;
    int code;
};
constexpr Named kHashes[] = {
    {"sha1", QELT_HASH_SHA1}, {"md5", QELT_HASH_MD5}, {"has160", QELT_HASH_HAS160}, {"sha256", QELT_HASH_SHA256}};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};

template <size_t N>
int codeOf(const Named (&table)[N], const std::string& name) {
    for (const Named& n : table)
        if (name == n.name) return n.code;
    return 0;
}

int runHash(Session& s, const Args& a) {
    const int alg = codeOf(kHashes, a.get("a", a.get("alg", "sha256")));
    if (alg == 0) return Session::usage("hash: -a takes sha1, md5, has160 or sha256");
    if (a.positional.size() > 1) return Session::usage("hash: one input file at most");
    const InputBytes data = mapInput(a.positional.empty() ? "-" : a.positional[0]);
    BINSTR in = data.view();
    Bin digest;
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
    if (!fromHex(a.get("k", a.get("key", "")), key) || key.empty())
        return Session::usage(std::string(verb) + ": -k KEYHEX is needed");
    if (!fromHex(a.get("i", a.get("iv", "")), iv) || iv.empty())
        return Session::usage(std::string(verb) + ": -i IVHEX is needed");
    if (a.positional.size() > 1) return Session::usage(std::string(verb) + ": one input file at most");
    Bin k(key), v(iv);
    if (const int rc = QELT_CRYPT_SetKeyAndIV(s.ctx(), alg, &k, &v); rc != 0) return s.fail(rc);
    if (a.has("no-padding"))
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_NO_PADDING); rc != 0) return s.fail(rc);

    const std::string inPath = a.positional.empty() ? "-" : a.positional[0];
    const std::string outPath = a.get("o", a.get("out", "-"));
    if (a.has("file") && !isRegularFile(inPath))
        return Session::usage(std::string(verb) + " --file reads a named regular file");
    if (isRegularFile(inPath) && !a.has("in-memory")) {
        // The streaming file functions: flat memory whatever the size.
        checkInputFile(inPath);
        const OutputFile out(outPath);
        const Progress progress(decrypt ? "decrypting" : "encrypting", inPath);
        const int rc = decrypt ? QELT_CRYPT_Decrypt_File(s.ctx(), inPath.c_str(), out.path().c_str())
                               : QELT_CRYPT_Encrypt_File(s.ctx(), inPath.c_str(), out.path().c_str());
        return rc == 0 ? 0 : s.fail(rc);
    }
    const InputBytes data = mapInput(inPath);
    BINSTR in = data.view();
    Bin out;
    const int rc = decrypt ? QELT_CRYPT_Decrypt(s.ctx(), &in, &out) : QELT_CRYPT_Encrypt(s.ctx(), &in, &out);
    if (rc != 0) return s.fail(rc);
    writeOutput(outPath, out.span());
    return 0;
}

int runEnc(Session& s, const Args& a) { return runCipher(s, a, false); }
int runDec(Session& s, const Args& a) { return runCipher(s, a, true); }

const std::vector<OptionHelp> kCipherOptions = {
    {"-a, --alg NAME", "des, 3des, seed, neat or aria (CBC)"},
    {"-k, --key HEX", "the key in hex: 8 bytes for des, 24 for 3des, 16 for the others"},
    {"-i, --iv HEX", "the IV in hex: 8 bytes for des and 3des, 16 for the others"},
    {"-o, --out FILE", "write the result to FILE instead of standard output"},
    {"--no-padding", "no block padding (the input must be whole blocks)"},
    {"--file", "insist on the streaming file function (the default for a regular input file)"},
    {"--in-memory", "map the input and use the in-memory function instead"},
};

}  // namespace

QELT_CLI_VERB({"hash",
               "hash [-a sha1|md5|has160|sha256] [FILE]",
               {},
               &runHash,
               {"Prints the digest of FILE (or standard input) in hex.",
                {{"-a, --alg NAME", "sha1, md5, has160 or sha256 (default sha256)"}},
                {"qelt hash -a has160 data.bin"}}});
QELT_CLI_VERB({"enc",
               "enc -a ALG -k KEYHEX -i IVHEX [--no-padding] [IN] [-o OUT]",
               {"file", "no-padding", "in-memory"},
               &runEnc,
               {"Encrypts IN (or standard input) in CBC mode with the given session key and IV. A regular input "
                "file streams through the file function with flat memory and shows its progress on a terminal; the "
                "output replaces OUT only when the whole input is encrypted.",
                kCipherOptions,
                {"qelt enc -a seed -k 00112233445566778899aabbccddeeff -i 0f0e0d0c0b0a09080706050403020100 data.bin "
                 "-o data.seed"}}});
QELT_CLI_VERB({"dec",
               "dec -a ALG -k KEYHEX -i IVHEX [--no-padding] [IN] [-o OUT]",
               {"file", "no-padding", "in-memory"},
               &runDec,
               {"Decrypts IN (or standard input) in CBC mode with the given session key and IV. A wrong key or a "
                "damaged ciphertext leaves OUT as it was.",
                kCipherOptions,
                {"qelt dec -a seed -k 00112233445566778899aabbccddeeff -i 0f0e0d0c0b0a09080706050403020100 data.enc "
                 "-o data.out"}}});
