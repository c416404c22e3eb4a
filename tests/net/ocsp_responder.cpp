#include "net/ocsp_responder.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "net/loopback_process.h"

namespace qelt::test {

namespace {

using namespace std::chrono_literals;

// A fresh directory under the tests' temporary directory (or the system's).
std::string uniqueDir(const char* what) {
    static std::atomic<int> counter{0};
    const char* root = std::getenv("QELT_TEST_TMP");
    const std::filesystem::path dir = std::filesystem::path(root != nullptr ? root : std::filesystem::temp_directory_path().c_str()) /
                                      (std::string(what) + "-" + std::to_string(::getpid()) + "-" +
                                       std::to_string(counter++));
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::create_directories(dir, ignored);
    return dir.string();
}

// The standard output of `openssl ocsp` with `args` ("" when it failed).
std::string runOcsp(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> argv{"openssl", "ocsp"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out;
    if (runProcess(argv, 20s, &out, dir) != 0) return "";
    return out;
}

}  // namespace

OcspResponder::OcspResponder() : OcspResponder(Options{}) {}

OcspResponder::OcspResponder(Options options) : m_options(options), m_dir(uniqueDir("ocsp-responder")) {
    m_server = std::make_unique<LoopbackServer>([this](const HttpRequest& r) { return handle(r); }, options.limits);
}

OcspResponder::~OcspResponder() {
    m_server.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

std::vector<std::string> OcspResponder::ocspRequests() const {
    std::vector<std::string> out;
    for (const HttpRequest& r : m_server->requests()) out.push_back(r.body);
    return out;
}

void OcspResponder::setTamper(Tamper tamper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tamper = std::move(tamper);
}

std::string OcspResponder::respond(const std::string& requestDer) const {
    std::string name;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        name = m_dir + "/" + std::to_string(m_sequence++);
    }
    if (!writeFile(name + ".req", requestDer)) return "";
    const char* signer = "responder";
    if (m_options.signer == Signer::Ca) signer = "ca";
    if (m_options.signer == Signer::Rogue) signer = "rogue";
    std::vector<std::string> args{"-index",   onlinePath("index.txt"),
                                  "-CA",      onlinePath("ca.pem"),
                                  "-rsigner", onlinePath(std::string(signer) + ".pem"),
                                  "-rkey",    onlinePath(std::string(signer) + ".key"),
                                  "-reqin",   name + ".req",
                                  "-respout", name + ".resp",
                                  "-nmin",    "5"};
    if (m_options.noCerts) args.push_back("-resp_no_certs");
    std::vector<std::string> argv{"openssl", "ocsp"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (runProcess(argv, 20s, nullptr, m_dir) != 0) return "";
    return readFile(name + ".resp");
}

Reply OcspResponder::handle(const HttpRequest& request) {
    const std::string response = respond(request.body);
    Tamper tamper;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        tamper = m_tamper;
    }
    if (tamper) return tamper(request.body, response);
    if (response.empty()) return Reply::http(500, "the responder failed");
    return Reply::http(200, response, "application/ocsp-response");
}

std::string ocspRequestText(const std::string& requestDer) {
    const std::string dir = uniqueDir("ocsp-text");
    writeFile(dir + "/req.der", requestDer);
    const std::string text = runOcsp({"-reqin", dir + "/req.der", "-req_text", "-noverify"}, dir);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return text;
}

std::string ocspResponseText(const std::string& responseDer) {
    const std::string dir = uniqueDir("ocsp-text");
    writeFile(dir + "/resp.der", responseDer);
    const std::string text = runOcsp({"-respin", dir + "/resp.der", "-resp_text", "-noverify"}, dir);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return text;
}

}  // namespace qelt::test
