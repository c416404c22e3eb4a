// Frame verbs: version, info, base64, pem, profile, time.
#include <climits>
#include <cstdio>

#include "cli.h"

using namespace qelt_cli;

namespace {

int runVersion(Session& s, const Args&) {
    char buf[64];
    if (int rc = QELT_API_GetVersion(s.ctx(), sizeof buf, buf)) return s.fail(rc);
    std::printf("%s\n", buf);
    return 0;
}

int runInfo(Session& s, const Args&) {
    char buf[1100];
    if (int rc = QELT_API_GetInfo(s.ctx(), sizeof buf, buf)) return s.fail(rc);
    std::fputs(toUtf8(buf).c_str(), stdout);
    return 0;
}

// Reads the input named by the first argument after the sub-command (or stdin),
// runs `codec` on it and writes the result to -o (or stdout).
int transform(Session& s, const Args& a, int (*codec)(void*, BINSTR*, BINSTR*), bool newline) {
    if (a.positional.size() > 2) return Session::usage("one input file at most");
    const InputBytes in = mapInput(a.positional.size() > 1 ? a.positional[1] : "-");
    BINSTR input = in.view();
    Bin output;
    if (int rc = codec(s.ctx(), &input, &output)) return s.fail(rc);
    std::vector<uint8_t> out = output.vec();
    const std::string target = a.get("o", "-");
    if (newline && target == "-") out.push_back('\n');
    writeOutput(target, out);
    return 0;
}

int runBase64(Session& s, const Args& a) {
    const std::string sub = a.positional.empty() ? "" : a.positional[0];
    if (sub == "encode") return transform(s, a, QELT_BASE64_Encode, true);
    if (sub == "decode") return transform(s, a, QELT_BASE64_Decode, false);
    return Session::usage("base64 needs 'encode' or 'decode'");
}

int pemType = 0;
int pemEncodeWithType(void* ctx, BINSTR* in, BINSTR* out) { return QELT_PEM_Encode(ctx, pemType, in, out); }

int runPem(Session& s, const Args& a) {
    const std::string sub = a.positional.empty() ? "" : a.positional[0];
    if (sub == "encode") {
        pemType = static_cast<int>(a.number("type", INT_MIN, INT_MAX, 0));
        return transform(s, a, pemEncodeWithType, true);
    }
    if (sub == "decode") return transform(s, a, QELT_PEM_Decode, false);
    return Session::usage("pem needs 'encode' or 'decode'");
}

int runProfile(Session& s, const Args& a) {
    const auto& p = a.positional;
    if (p.size() < 4 || (p[0] != "get" && p[0] != "set") || (p[0] == "set" && p.size() < 5))
        return Session::usage("profile get FILE SECTION ENTRY | profile set FILE SECTION ENTRY VALUE");
    std::string path = p[1], section = toCp949(p[2]), entry = toCp949(p[3]);
    if (p[0] == "get") {
        if (a.has("int")) {
            int v = 0;
            if (int rc = QELT_UTIL_GetProfileInt(s.ctx(), path.data(), section.data(), entry.data(), &v))
                return s.fail(rc);
            std::printf("%d\n", v);
            return 0;
        }
        char buf[4096];
        if (int rc = QELT_UTIL_GetProfileString(s.ctx(), path.data(), section.data(), entry.data(), sizeof buf, buf))
            return s.fail(rc);
        std::printf("%s\n", toUtf8(buf).c_str());
        return 0;
    }
    std::string value = toCp949(p[4]);
    const int number = a.has("int") ? static_cast<int>(parseNumber(p[4], "VALUE", INT_MIN, INT_MAX)) : 0;
    // The library rewrites a copy beside the file, which replaces it when the command succeeds.
    const std::vector<uint8_t> current = readFileToUpdate(path);
    const OutputFile out(path);
    out.write(current);
    std::string copy = out.path();
    const int rc = a.has("int")
                       ? QELT_UTIL_SetProfileInt(s.ctx(), copy.data(), section.data(), entry.data(), number)
                       : QELT_UTIL_SetProfileString(s.ctx(), copy.data(), section.data(), entry.data(), value.data());
    return rc ? s.fail(rc) : 0;
}

int runTime(Session& s, const Args& a) {
    if (a.positional.empty()) return Session::usage("time needs a text such as 20130425093000 or 20130425093000Z");
    std::string text = a.positional[0];
    for (size_t i = 1; i < a.positional.size(); ++i) text += " " + a.positional[i];
    time_t t = 0;
    if (int rc = QELT_API_Str2Time(s.ctx(), text.c_str(), &t)) return s.fail(rc);
    std::printf("%lld\n", static_cast<long long>(t));
    return 0;
}

}  // namespace

QELT_CLI_VERB({"version", "version", {}, &runVersion, {"Prints the library's version.", {}, {"qelt version"}}});
QELT_CLI_VERB({"info", "info", {}, &runInfo, {"Prints the library's name and version, two lines.", {}, {"qelt info"}}});
QELT_CLI_VERB({"base64",
               "base64 encode|decode [FILE] [-o OUT]",
               {},
               &runBase64,
               {"Base64 without line breaks: encode FILE (or standard input), or decode Base64 text back to bytes.",
                {{"-o FILE", "write the result to FILE instead of standard output"}},
                {"qelt base64 encode data.bin -o data.b64", "qelt base64 decode data.b64 -o data.back"}}});
QELT_CLI_VERB({"pem",
               "pem encode [--type N] [FILE] [-o OUT] | pem decode [FILE] [-o OUT]",
               {},
               &runPem,
               {"PEM armour: encode DER bytes under the label of --type, or decode the first PEM block of a text "
                "(text before the block is skipped).",
                {{"--type N",
                  "the label: 0 none, 1 CERTIFICATE, 2 WTLS CERTIFICATE, 3 X509 CRL, 4 and 5 PKCS7 (default 0)"},
                 {"-o FILE", "write the result to FILE instead of standard output"}},
                {"qelt pem encode --type 1 ee.der -o ee2.pem", "qelt pem decode ee.pem -o ee2.der"}}});
QELT_CLI_VERB({"profile",
               "profile get [--int] FILE SECTION ENTRY | profile set [--int] FILE SECTION ENTRY VALUE",
               {"int"},
               &runProfile,
               {"Reads or writes one entry of an INI-style profile file; sections, entries and values are typed in "
                "UTF-8 and kept in CP949.",
                {{"--int", "the value is a whole number"}},
                {"qelt profile set app.ini LDAP HOST ldap2.example.kr", "qelt profile get --int app.ini LDAP PORT"}}});
QELT_CLI_VERB({"time",
               "time TEXT",
               {},
               &runTime,
               {"Seconds since 1970 UTC of a time text YYYYMMDDhhmmss (local time) or YYYYMMDDhhmmssZ (UTC), or "
                "YYYY-MM-DD hh:mm:ss; texts outside 1970 to 2038-01-19 03:14:07 are refused.",
                {},
                {"qelt time 20130425093000Z"}}});
