// Frame verbs: version, info, base64, pem, profile, time.
#include <cstdio>
#include <cstdlib>

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
    std::vector<uint8_t> in;
    std::string error;
    if (!readInput(a.positional.size() > 1 ? a.positional[1] : "-", in, error)) return Session::usage(error);
    Bin input(in), output;
    if (int rc = codec(s.ctx(), &input, &output)) return s.fail(rc);
    std::vector<uint8_t> out = output.vec();
    const std::string target = a.get("o", "-");
    if (newline && target == "-") out.push_back('\n');
    if (!writeOutput(target, out, error)) return Session::usage(error);
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
        pemType = std::atoi(a.get("type", "0").c_str());
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
    const int rc = a.has("int")
                       ? QELT_UTIL_SetProfileInt(s.ctx(), path.data(), section.data(), entry.data(), std::atoi(value.c_str()))
                       : QELT_UTIL_SetProfileString(s.ctx(), path.data(), section.data(), entry.data(), value.data());
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

QELT_CLI_VERB({"version", "version  print the library version", {}, &runVersion});
QELT_CLI_VERB({"info", "info  print the library name and version", {}, &runInfo});
QELT_CLI_VERB({"base64", "base64 encode|decode [FILE] [-o OUT]  Base64 without line breaks", {}, &runBase64});
QELT_CLI_VERB({"pem", "pem encode [--type 0-5] [FILE] [-o OUT] | pem decode [FILE] [-o OUT]  "
                      "(types: 0 bare, 1 certificate, 2 WTLS certificate, 3 CRL, 4 and 5 PKCS7)",
               {}, &runPem});
QELT_CLI_VERB({"profile", "profile get [--int] FILE SECTION ENTRY | profile set [--int] FILE SECTION ENTRY VALUE",
               {"int"}, &runProfile});
QELT_CLI_VERB({"time", "time TEXT  seconds since 1970 UTC of YYYYMMDDhhmmss[Z] (local time without Z)", {}, &runTime});
