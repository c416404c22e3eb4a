// qelt cms sign|verify|encrypt|decrypt --file ..., and the detached signing
// steps and time-stamp tokens: cms tbs, cms compose, cms tst-get, cms tst-set.
//
// Long file operations show their progress on a terminal: a watcher thread
// reads how far the library has read its input (the file position the
// kernel reports for the open file) and redraws one line on stderr. When
// stderr is not a terminal nothing is printed.
#include "cmd_cms_file.h"

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

using namespace qelt_cli;

namespace {

// The read position of the open file `target` in this process; -1 when it is not open.
long long readPosition(const std::filesystem::path& target) {
    long long pos = -1;
    DIR* d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::error_code ec;
        const auto link = std::filesystem::read_symlink(std::string("/proc/self/fd/") + e->d_name, ec);
        if (ec || link != target) continue;
        std::ifstream info(std::string("/proc/self/fdinfo/") + e->d_name);
        std::string key;
        long long value = 0;
        if (info >> key >> value && key == "pos:") pos = std::max(pos, value);
    }
    closedir(d);
    return pos;
}

// Shows how far the library has read `path` while the object lives.
class Progress {
public:
    Progress(const std::string& label, const std::string& path) {
        if (!isatty(STDERR_FILENO)) return;
        std::error_code ec;
        m_target = std::filesystem::canonical(path, ec);
        const auto size = ec ? 0 : std::filesystem::file_size(m_target, ec);
        if (ec || size < kWorthShowing) return;
        m_total = static_cast<long long>(size);
        m_label = label;
        m_thread = std::thread([this] { watch(); });
    }
    ~Progress() {
        if (!m_thread.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
        std::fprintf(stderr, "\r%*s\r", 60, "");
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    static constexpr unsigned long long kWorthShowing = 4u << 20;

    void watch() {
        int pass = 1;
        long long last = 0;
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_done; })) {
            const long long pos = readPosition(m_target);
            if (pos < 0) continue;
            if (pos < last) ++pass;  // the input is read a second time
            last = pos;
            const int percent = static_cast<int>(100 * std::min(pos, m_total) / m_total);
            std::fprintf(stderr, "\r%s: %3d%% of %lld MiB%s", m_label.c_str(), percent, m_total >> 20,
                         pass > 1 ? " (second pass)" : "");
            std::fflush(stderr);
        }
    }

    std::filesystem::path m_target;
    long long m_total = 0;
    std::string m_label;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
};

std::string outputOf(const Args& a) { return a.get("o", a.get("out", "")); }

int loadSigner(Session& s, const Args& a, std::vector<uint8_t>& cert, std::vector<uint8_t>* key) {
    if (const int rc = readDerOrPem(s, *a.get("c"), cert)) return rc;
    if (key != nullptr)
        if (const int rc = readDerOrPem(s, *a.get("k"), *key)) return rc;
    if (const auto alg = a.get("a")) {
        const int code = *alg == "sha1" ? QELT_HASH_SHA1 : *alg == "sha256" ? QELT_HASH_SHA256 : 0;
        if (code == 0) return Session::usage("-a takes sha1 or sha256");
        if (const int rc = QELT_API_SetHashAlgo(s.ctx(), code)) return s.fail(rc);
    }
    return 0;
}

int cipherOf(const std::string& name) {
    if (name == "des") return QELT_SYM_DES;
    if (name == "3des") return QELT_SYM_3DES;
    if (name == "seed") return QELT_SYM_SEED;
    if (name == "neat") return QELT_SYM_NEAT;
    if (name == "aria") return QELT_SYM_ARIA;
    return 0;
}

// "YYYYMMDDhhmmss" of now, local time (the library's reading of time texts).
std::string nowText() {
    const std::time_t t = std::time(nullptr);
    std::tm parts{};
    localtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

// Processes a message for its signer records (content given for a detached one).
int processForSigners(Session& s, const Args& a, std::vector<uint8_t>& message) {
    if (a.positional.empty()) return Session::usage("name the SignedData file");
    if (const int rc = readDerOrPem(s, a.positional[0], message)) return rc;
    Bin data;
    if (const auto contentPath = a.get("content")) {
        std::vector<uint8_t> content;
        std::string error;
        if (!readInput(*contentPath, content, error)) return Session::usage(error);
        QELT_BINSTR_SetData(content.data(), static_cast<int>(content.size()), &data);
    }
    Bin in(message);
    int count = 0;
    if (const int rc = QELT_CMS_ProcessSignedData2(s.ctx(), &in, &data, &count)) return s.fail(rc);
    return 0;
}

// ContentInfo { signedData, [0] EXPLICIT SignedData } around a bare SignedData.
std::vector<uint8_t> wrapSignedData(const std::vector<uint8_t>& sd) {
    auto length = [](std::vector<uint8_t>& out, size_t n) {
        if (n < 0x80) {
            out.push_back(static_cast<uint8_t>(n));
            return;
        }
        std::vector<uint8_t> octets;
        for (; n > 0; n >>= 8) octets.insert(octets.begin(), static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(0x80 | octets.size()));
        out.insert(out.end(), octets.begin(), octets.end());
    };
    std::vector<uint8_t> body = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02, 0xA0};
    length(body, sd.size());
    body.insert(body.end(), sd.begin(), sd.end());
    std::vector<uint8_t> out = {0x30};
    length(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

int runTbs(Session& s, const Args& a) {
    if (!a.has("c") || a.positional.empty()) return Session::usage("cms tbs: -c CERT and a DATA file are needed");
    std::vector<uint8_t> cert, data;
    if (const int rc = loadSigner(s, a, cert, nullptr)) return rc;
    std::string error;
    if (!readInput(a.positional[0], data, error)) return Session::usage(error);
    std::string time = a.get("t", "");
    if (time.empty()) {
        // The second step must use the same time: say which one was taken.
        time = nowText();
        std::fprintf(stderr, "signing time: %s (give it to cms compose with -t)\n", time.c_str());
    }
    Bin c(cert), d(data), out;
    if (const int rc = QELT_CMS_MakeTBSData(s.ctx(), &c, &d, time.data(), &out)) return s.fail(rc);
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

int runCompose(Session& s, const Args& a) {
    if (!a.has("c") || !a.has("t") || !a.has("sig") || a.positional.empty())
        return Session::usage("cms compose: -c CERT -t TIME --sig SIGNATURE and a DATA file are needed");
    std::vector<uint8_t> cert, data, signature;
    if (const int rc = loadSigner(s, a, cert, nullptr)) return rc;
    std::string error;
    if (!readInput(a.positional[0], data, error) || !readInput(*a.get("sig"), signature, error))
        return Session::usage(error);
    // Each command runs in its own context: the first step is made again
    // (the same certificate, data and time give the same bytes).
    std::string time = *a.get("t");
    Bin c(cert), d(data), tbs, sig(signature), out;
    if (const int rc = QELT_CMS_MakeTBSData(s.ctx(), &c, &d, time.data(), &tbs)) return s.fail(rc);
    if (const int rc = QELT_CMS_ComposeSignedData(s.ctx(), &sig, &out)) return s.fail(rc);
    std::vector<uint8_t> der = out.vec();
    if (a.has("contentinfo")) der = wrapSignedData(der);
    return writeOutput(a.get("o", "-"), der, error) ? 0 : Session::usage(error);
}

int runTstGet(Session& s, const Args& a) {
    std::vector<uint8_t> message;
    if (const int rc = processForSigners(s, a, message)) return rc;
    const int index = std::atoi(a.get("index", "0").c_str());
    Bin out;
    const int rc =
        a.has("tbt") ? QELT_CMS_GetTBTData(s.ctx(), index, &out) : QELT_CMS_GetTimeStampToken(s.ctx(), index, &out);
    if (rc != 0) return s.fail(rc);
    std::string error;
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

int runTstSet(Session& s, const Args& a) {
    if (!a.has("token") || a.positional.empty()) return Session::usage("cms tst-set: --token TOKEN and a SignedData");
    std::vector<uint8_t> message, token;
    if (const int rc = readDerOrPem(s, a.positional[0], message)) return rc;
    if (const int rc = readDerOrPem(s, *a.get("token"), token)) return rc;
    const int index = std::atoi(a.get("index", "0").c_str());
    Bin m(message), t(token), out;
    if (const int rc = QELT_CMS_SetTimeStampToken(s.ctx(), &m, index, &t, &out)) return s.fail(rc);
    std::string error;
    return writeOutput(a.get("o", "-"), out.vec(), error) ? 0 : Session::usage(error);
}

}  // namespace

namespace qelt_cli {

bool wantsFileForm(const Args& a) { return a.has("file") || a.has("detached-content"); }

int runSignFile(Session& s, const Args& a) {
    const auto content = a.get("file"), detached = a.get("detached-content");
    const std::string out = outputOf(a);
    if (!a.has("c") || !a.has("k") || out.empty() || (content.has_value() == detached.has_value()))
        return Session::usage(
            "cms sign -c CERT -k KEY (--file DATA | --detached-content DATA) -o OUT [-t TIME] [-a HASH] "
            "[--contentinfo]");
    std::vector<uint8_t> cert, key;
    if (const int rc = loadSigner(s, a, cert, &key)) return rc;
    if (a.has("contentinfo"))
        if (const int rc = QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_CONTENTINFO)) return s.fail(rc);
    const std::string time = a.get("t", "");
    Bin c(cert), k(key);
    const std::string& data = content ? *content : *detached;
    Progress progress("signing", data);
    const int rc =
        content ? QELT_CMS_MakeSignedData_File(s.ctx(), &c, &k, data.c_str(), time.c_str(), out.c_str())
                : QELT_CMS_MakeSignedData_NoContent_File(s.ctx(), &c, &k, data.c_str(), time.c_str(), out.c_str());
    return rc != 0 ? s.fail(rc) : 0;
}

int runVerifyFile(Session& s, const Args& a) {
    const auto detached = a.get("detached-content");
    std::string message = a.get("file", "");
    if (message.empty() && !a.positional.empty()) message = a.positional[0];
    const std::string out = outputOf(a);
    if (message.empty() || (!detached && out.empty()))
        return Session::usage("cms verify --file SIGNED (-o DATA | --detached-content DATA)");
    Bin cert;
    char when[32] = "";
    int rc;
    {
        Progress progress("verifying", detached ? *detached : message);
        rc = detached
                 ? QELT_CMS_ProcessSignedData_NoContent_File(s.ctx(), message.c_str(), detached->c_str(), &cert, when)
                 : QELT_CMS_ProcessSignedData_File(s.ctx(), message.c_str(), out.c_str(), &cert, when);
    }
    if (rc != 0) return s.fail(rc);
    std::fprintf(stderr, "verified: signing time %s\n", when[0] ? when : "(none)");
    return 0;
}

int runEncryptFile(Session& s, const Args& a) {
    const int alg = cipherOf(a.get("a", "3des"));
    const std::string data = a.get("file", a.get("i", ""));
    const std::string out = outputOf(a);
    if (alg == 0 || data.empty() || out.empty() || a.positional.size() != 1)
        return Session::usage(
            "cms encrypt --file DATA -o ENVELOPED [--detached-content CIPHERTEXT] [-a des|3des|seed|neat|aria] "
            "[--pkcs1] CERT");
    QELT_API_SetOption(s.ctx(), a.has("pkcs1") ? QELT_OPT_RSA_PKCS1 : QELT_OPT_RSA_OAEP);
    QELT_API_SetOption(s.ctx(), QELT_OPT_CMS_CONTENTINFO);
    std::vector<uint8_t> cert;
    if (const int rc = readDerOrPem(s, a.positional[0], cert)) return rc;
    Bin c(cert);
    Progress progress("encrypting", data);
    const auto cipher = a.get("detached-content");
    const int rc =
        cipher ? QELT_CMS_MakeEnvelopedData_NoContent_File(s.ctx(), &c, data.c_str(), alg, out.c_str(), cipher->c_str())
               : QELT_CMS_MakeEnvelopedData_File(s.ctx(), &c, data.c_str(), alg, out.c_str());
    return rc != 0 ? s.fail(rc) : 0;
}

int runDecryptFile(Session& s, const Args& a) {
    std::string message = a.get("file", "");
    if (message.empty() && !a.positional.empty()) message = a.positional[0];
    const std::string out = outputOf(a);
    if (!a.has("c") || !a.has("k") || message.empty() || out.empty())
        return Session::usage("cms decrypt -c CERT -k KEY.p8 --file ENVELOPED -o DATA [--detached-content CIPHERTEXT]");
    std::vector<uint8_t> cert, key;
    if (const int rc = readDerOrPem(s, *a.get("c"), cert)) return rc;
    if (const int rc = readDerOrPem(s, *a.get("k"), key)) return rc;
    Bin c(cert), k(key);
    const auto cipher = a.get("detached-content");
    Progress progress("decrypting", cipher ? *cipher : message);
    const int rc = cipher ? QELT_CMS_ProcessEnvelopedData_NoContent_File(s.ctx(), &c, &k, message.c_str(),
                                                                         cipher->c_str(), out.c_str())
                          : QELT_CMS_ProcessEnvelopedData_File(s.ctx(), &c, &k, message.c_str(), out.c_str());
    return rc != 0 ? s.fail(rc) : 0;
}

}  // namespace qelt_cli

QELT_CLI_VERB({"cms tbs",
               "cms tbs -c CERT [-t YYYYMMDDhhmmss] [-a sha1|sha256] DATA [-o TBS]  the bytes a signer must sign "
               "(first of two signing steps)",
               {},
               &runTbs});
QELT_CLI_VERB({"cms compose",
               "cms compose -c CERT -t YYYYMMDDhhmmss --sig SIGNATURE [-a sha1|sha256] [--contentinfo] DATA [-o OUT]  "
               "a SignedData around a signature made outside (second step)",
               {"contentinfo"},
               &runCompose});
QELT_CLI_VERB({"cms tst-get",
               "cms tst-get [--index N] [--tbt] [--content DATA] SIGNED [-o OUT]  a signer's time-stamp token, or with "
               "--tbt the signature value to have time-stamped",
               {"tbt"},
               &runTstGet});
QELT_CLI_VERB({"cms tst-set",
               "cms tst-set [--index N] --token TOKEN SIGNED [-o OUT]  add a time-stamp token to a signer",
               {},
               &runTstSet});
