// The parts of cli.h that are not about files: arguments, numbers, the
// session and its messages, text conversions, passwords and the verb list.
#include "cli.h"

#include <fcntl.h>
#include <iconv.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <regex>

#include "cli_state.h"

namespace qelt_cli {

void failCommand(const std::string& message) { throw CommandError(kExitFailure, message); }
void usageError(const std::string& message) { throw CommandError(kExitUsage, message, true); }

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

long long Args::number(const std::string& name, long long min, long long max, long long fallback) const {
    const auto text = get(name);
    if (!text) return fallback;
    return parseNumber(*text, (name.size() == 1 ? "-" : "--") + name, min, max);
}

long long parseNumber(const std::string& text, const std::string& what, long long min, long long max) {
    long long value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;  // "+5" reads as 5, as people write it
    const auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || end != last || value < min || value > max)
        usageError(what + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                   ", not '" + text + "'");
    return value;
}

// ---- session

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

namespace {

// The core library's location records ("[file:line]Class::method-label(code)"
// and the comma that joins a message to one) and the marker before its chain.
std::string withoutTrace(const std::string& message) {
    static const std::regex kRecord(R"(\[[A-Za-z0-9_.+-]+:[0-9]+\][A-Za-z0-9_]*::[A-Za-z0-9_~]*-.*?\(-?[0-9]+\),?)");
    std::string text = std::regex_replace(message, kRecord, "");
    for (const char* marker : {" <zorinlib> ", " <zorinlib>"}) {
        if (const auto at = text.find(marker); at != std::string::npos) {
            const std::string detail = text.substr(at + std::strlen(marker));
            text = text.substr(0, at) + (detail.empty() ? "" : " (" + detail + ")");
            break;
        }
    }
    return text;
}

}  // namespace

int Session::fail(int rc) const {
    char buf[16384] = {0};
    std::string message;
    if (QELT_API_GetErrInfo(m_ctx, sizeof buf, buf) == 0) message = toUtf8(buf);
    if (!verbose()) message = withoutTrace(message);
    std::fprintf(stderr, "error %d: %s\n", rc, message.c_str());
    return kExitFailure;
}

int Session::usage(const std::string& message) {
    const std::string& verb = state().verbName;
    std::fprintf(stderr, "qelt: %s\n(see qelt %s--help)\n", message.c_str(), verb.empty() ? "" : (verb + " ").c_str());
    return kExitUsage;
}

bool verbose() { return state().verbose; }

void noteOnSuccess(const std::string& line) { state().notes.push_back(line); }

// ---- texts

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

std::string foldedHex(const std::string& hex, size_t perLine, const std::string& indent) {
    const size_t width = std::max<size_t>(perLine, 1) * 2;
    std::string out;
    for (size_t i = 0; i < hex.size(); i += width) {
        if (i != 0) out += "\n" + indent;
        out += hex.substr(i, width);
    }
    return out;
}

std::string localTimeWithZone(long long seconds) {
    const time_t t = static_cast<time_t>(seconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return std::to_string(seconds);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

// ---- passwords

namespace {

// One line typed on the terminal with echo off; nullopt without a terminal.
std::optional<std::string> promptOnTerminal(const std::string& prompt) {
    const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios saved{};
    const bool isTerminal = tcgetattr(fd, &saved) == 0;
    if (!isTerminal) {
        close(fd);
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    (void)!write(fd, prompt.data(), prompt.size());
    tcsetattr(fd, TCSAFLUSH, &quiet);
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
    tcsetattr(fd, TCSAFLUSH, &saved);
    close(fd);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

SecretText::~SecretText() {
    if (!m_text.empty()) explicit_bzero(m_text.data(), m_text.size());
}

SecretText readPassword(const Args& a, const std::string& option, const char* env, const std::string& prompt) {
    const std::string name = (option.size() == 1 ? "-" : "--") + option;
    if (const auto given = a.get(option)) {
        const std::string& v = *given;
        if (v.rfind("file:", 0) == 0) {
            std::vector<uint8_t> bytes = readInputMaybeEmpty(v.substr(5));
            std::string line(bytes.begin(), std::find(bytes.begin(), bytes.end(), '\n'));
            if (!line.empty() && line.back() == '\r') line.pop_back();
            SecretText secret(toCp949(line));
            explicit_bzero(line.data(), line.size());
            explicit_bzero(bytes.data(), bytes.size());
            return secret;
        }
        if (v.rfind("env:", 0) == 0) {
            const char* value = std::getenv(v.substr(4).c_str());
            if (value == nullptr) usageError(name + " env:" + v.substr(4) + ": the variable is not set");
            return SecretText(toCp949(value));
        }
        if (v.rfind("pass:", 0) == 0) return SecretText(toCp949(v.substr(5)));
        return SecretText(toCp949(v));
    }
    if (env != nullptr)
        if (const char* value = std::getenv(env)) return SecretText(toCp949(value));
    if (auto typed = promptOnTerminal(prompt)) {
        SecretText secret(toCp949(*typed));
        explicit_bzero(typed->data(), typed->size());
        return secret;
    }
    usageError(std::string("a password is needed: give ") + name + " TEXT, " + name + " file:PATH" +
               (env ? std::string(" or set ") + env : std::string()));
}

// ---- signing

int checkSignerKey(Session& s, const std::vector<uint8_t>& cert, const std::vector<uint8_t>& key) {
    Bin c(cert), k(key);
    const int rc = QELT_PRIKEY_CheckKeyPair(s.ctx(), &c, &k);
    if (rc == QELT_ERR_KEYPAIR_MISMATCH) failCommand("the private key does not belong to the certificate");
    return rc == 0 ? 0 : s.fail(rc);
}

// ---- BINSTR

Bin::Bin(const std::vector<uint8_t>& v) {
    if (!v.empty()) QELT_BINSTR_SetData(v.data(), static_cast<int>(v.size()), &b);
}

std::vector<uint8_t> Bin::vec() const {
    return b.pVal ? std::vector<uint8_t>(b.pVal, b.pVal + b.nLen) : std::vector<uint8_t>();
}

// ---- verbs

namespace {
std::vector<Verb>& registry() {
    static std::vector<Verb> all;
    return all;
}
}  // namespace

void registerVerb(Verb verb) { registry().push_back(std::move(verb)); }
const std::vector<Verb>& verbs() { return registry(); }

CliState& state() {
    static CliState s;
    return s;
}

}  // namespace qelt_cli
