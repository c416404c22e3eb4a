#include "cli.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace qelt_cli {

bool Args::has(const std::string& name) const {
    return options.count(name) != 0 || std::find(flags.begin(), flags.end(), name) != flags.end();
}

std::optional<std::string> Args::get(const std::string& name) const {
    auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

std::string Args::get(const std::string& name, const std::string& fallback) const {
    return get(name).value_or(fallback);
}

Session::Session() {
    // The work directory roots the library's caches: QELT_WORKDIR, else ~/.qelt.
    const std::string dir = [] {
        if (const char* w = std::getenv("QELT_WORKDIR"); w && *w) return std::string(w);
        if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.qelt";
        return std::string(".");
    }();
    QELT_API_Init(&m_ctx, dir.c_str());
}

Session::~Session() { QELT_API_Finish(&m_ctx); }

int Session::fail(int rc) const {
    char buf[8192] = {0};
    std::string message;
    if (QELT_API_GetErrInfo(m_ctx, sizeof buf, buf) == 0) message = toUtf8(buf);
    std::fprintf(stderr, "error %d: %s\n", rc, message.c_str());
    return 1;
}

int Session::usage(const std::string& message) {
    std::fprintf(stderr, "qelt: %s\n(see qelt --help)\n", message.c_str());
    return 2;
}

int readDerOrPem(Session& s, const std::string& path, std::vector<uint8_t>& der) {
    std::string error;
    if (!readInput(path, der, error)) return Session::usage(error);
    const std::string head(der.begin(), der.begin() + static_cast<long>(std::min<size_t>(der.size(), 64)));
    if (head.find("-----BEGIN") == std::string::npos) return 0;
    Bin pem(der), out;
    if (const int rc = QELT_PEM_Decode(s.ctx(), &pem, &out)) return s.fail(rc);
    der = out.vec();
    return 0;
}

bool readInput(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (path.empty() || path == "-") {
        out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeOutput(const std::string& path, const uint8_t* data, size_t len, std::string& error) {
    if (path.empty() || path == "-") {
        std::fwrite(data, 1, len, stdout);
        std::fflush(stdout);
        return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(len))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

namespace {
std::string convert(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    char buf[4096];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* o = buf;
        size_t oLeft = sizeof buf;
        if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append(buf, sizeof buf - oLeft);
            out.push_back('?');  // an unconvertible byte is shown as '?' and skipped
            ++in;
            --inLeft;
            continue;
        }
        out.append(buf, sizeof buf - oLeft);
    }
    iconv_close(cd);
    return out;
}
}  // namespace

std::string toUtf8(const std::string& cp949) { return convert(cp949, "UTF-8", "CP949"); }
std::string toCp949(const std::string& utf8) { return convert(utf8, "CP949", "UTF-8"); }

std::string toHex(const uint8_t* p, size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s.push_back(kDigits[p[i] >> 4]);
        s.push_back(kDigits[p[i] & 15]);
    }
    return s;
}

bool fromHex(const std::string& hex, std::vector<uint8_t>& out) {
    out.clear();
    if (hex.size() % 2 != 0) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        auto nibble = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

Bin::Bin(const std::vector<uint8_t>& v) {
    if (!v.empty()) QELT_BINSTR_SetData(v.data(), static_cast<int>(v.size()), &b);
}

std::vector<uint8_t> Bin::vec() const {
    return b.pVal ? std::vector<uint8_t>(b.pVal, b.pVal + b.nLen) : std::vector<uint8_t>();
}

namespace {
std::vector<Verb>& registry() {
    static std::vector<Verb> all;
    return all;
}
}  // namespace

void registerVerb(Verb verb) { registry().push_back(std::move(verb)); }
const std::vector<Verb>& verbs() { return registry(); }

}  // namespace qelt_cli
