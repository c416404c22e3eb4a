#include "net/slapd_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "ZRProcess/UUnicode.h"
#include "net/loopback_process.h"
#include "test_support.h"
#include "util/base64.h"
#include "util/byte_string.h"

namespace qelt::test {

namespace {

constexpr const char* kDataDir = QELT_TEST_DATA_DIR "/verify";

// The attributes the library reads that the core schema lacks: binary
// values, matched as octet strings. The OIDs are in the 2.25 (UUID) arc.
constexpr const char* kExtraSchema =
    "attributetype ( 2.25.248157361285925147935112309318224405031.1 NAME 'signCertificate'\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )\n"
    "attributetype ( 2.25.248157361285925147935112309318224405031.2 NAME 'certificateTrustList'\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )\n"
    "attributetype ( 2.25.248157361285925147935112309318224405031.3 NAME 'wUserCertificate'\n"
    "  SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 )\n";

std::string readText(const fs::path& p) { return readFile(p.string()); }
bool writeText(const fs::path& p, const std::string& text) { return writeFile(p.string(), text); }

std::string asString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string base64(const std::string& raw) {
    ByteString text;
    base64Encode(ByteString(raw.data(), static_cast<int>(raw.size())), text);
    return std::string(text.c_str(), static_cast<size_t>(text.length()));
}

// True when the value must be written base64 in LDIF.
bool needsBase64(const std::string& v) {
    if (v.empty()) return false;
    if (v[0] == ' ' || v[0] == ':' || v[0] == '<' || v.back() == ' ') return true;
    for (unsigned char c : v)
        if (c < 0x20 || c > 0x7E) return true;
    return false;
}

// Runs a shell command with its output in `log`; true when it exits 0.
bool run(const std::string& command, const fs::path& log, std::string& error) {
    const int rc = std::system((command + " >" + log.string() + " 2>&1").c_str());
    if (rc == 0) return true;
    error = "command failed (" + std::to_string(rc) + "): " + command + "\n" + readText(log);
    return false;
}

bool acceptsConnections(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace

std::string cp949(const std::string& utf8) {
    ByteString out;
    UUTF8String::UTF8ToKSC(ByteString(utf8.data(), static_cast<int>(utf8.size())), out);
    return std::string(out.c_str(), static_cast<size_t>(out.length()));
}

std::vector<uint8_t> verifyData(const std::string& relative) {
    std::ifstream in(fs::path(kDataDir) / relative, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path processDir(const std::string& name) { return scratchDir(name + "." + std::to_string(getpid())); }

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

int64_t utcSeconds(const char* t) {
    auto num = [&](int pos, int n) { return std::stoi(std::string(t + pos, static_cast<size_t>(n))); };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(4, 2) - 1;
    tm.tm_mday = num(6, 2);
    tm.tm_hour = num(8, 2);
    tm.tm_min = num(10, 2);
    tm.tm_sec = num(12, 2);
    return static_cast<int64_t>(timegm(&tm));
}

std::string toLdif(const std::vector<LdifEntry>& entries) {
    std::string out;
    for (const LdifEntry& e : entries) {
        out += needsBase64(e.dn) ? "dn:: " + base64(e.dn) : "dn: " + e.dn;
        out += "\n";
        for (const auto& [name, value] : e.values)
            out += needsBase64(value) ? name + ":: " + base64(value) + "\n" : name + ": " + value + "\n";
        out += "\n";
    }
    return out;
}

// ---------------------------------------------------------------- Slapd

bool Slapd::start(const fs::path& dir, int port, const std::string& ldif, std::string& error) {
    stop();
    m_dir = dir;
    m_port = port;
    fs::remove_all(dir / "db");
    fs::create_directories(dir / "db");
    const std::string conf =
        "include /etc/ldap/schema/core.schema\n"
        "include " +
        (dir / "extra.schema").string() +
        "\n"
        "pidfile " +
        (dir / "slapd.pid").string() +
        "\n"
        "argsfile " +
        (dir / "slapd.args").string() +
        "\n"
        "database ldif\n"
        "suffix \"c=KR\"\n"
        "rootdn \"cn=admin,c=KR\"\n"
        "directory " +
        (dir / "db").string() + "\n";
    if (!writeText(dir / "extra.schema", kExtraSchema) || !writeText(dir / "slapd.conf", conf) ||
        !writeText(dir / "data.ldif", ldif)) {
        error = "cannot write the directory's files under " + dir.string();
        return false;
    }
    // -s: the entries are test data; schema checks would only refuse the
    // deliberately broken ones.
    if (!run("slapadd -s -f " + (dir / "slapd.conf").string() + " -l " + (dir / "data.ldif").string(),
             dir / "slapadd.log", error))
        return false;
    return launch(error);
}

bool Slapd::restart(std::string& error) {
    stop();
    return launch(error);
}

bool Slapd::launch(std::string& error) {
    const std::string url = "ldap://127.0.0.1:" + std::to_string(m_port) + "/";
    const std::string confPath = (m_dir / "slapd.conf").string();
    const std::string logPath = (m_dir / "slapd.log").string();
    const pid_t pid = fork();
    if (pid < 0) {
        error = "fork failed";
        return false;
    }
    if (pid == 0) {
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        // -d 0 keeps slapd in the foreground, so this PID is slapd's own.
        execlp("slapd", "slapd", "-f", confPath.c_str(), "-h", url.c_str(), "-d", "0", static_cast<char*>(nullptr));
        _exit(127);
    }
    m_pid = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = "slapd ended at start: " + readText(logPath);
            return false;
        }
        if (acceptsConnections(m_port)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop();
    error = "slapd did not answer within 10 s: " + readText(logPath);
    return false;
}

void Slapd::stop() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
}

// ---------------------------------------------------------------- TestDirectory

TestDirectory::~TestDirectory() {
    stop();
    std::error_code ignored;
    if (!m_dir.empty()) fs::remove_all(m_dir, ignored);
}

std::vector<uint8_t> TestDirectory::cert(const std::string& name) const {
    const auto it = m_issued.find(name);
    return it != m_issued.end() ? it->second : verifyData("certs/" + name + ".der");
}

std::string TestDirectory::confText(int timeOut) const {
    const std::string u = url();
    std::string text =
        "[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 11\n\n[LDAP]\nLDAP_TIME_OUT = " + std::to_string(timeOut) + "\n\n";
    const std::pair<const char*, const char*> sections[] = {
        {kCa1DN, nullptr},
        {kRootDN, kCtlDN},
        {kCa2DN, nullptr},
        {kRoot2DN, nullptr},
        {kRoot3DN, nullptr},
        {"cn=깊은 인증기관1,o=깊은기관,c=KR", nullptr},
        {"cn=깊은 인증기관2,o=깊은기관,c=KR", nullptr},
        {"cn=깊은 인증기관3,o=깊은기관,c=KR", nullptr},
        {"cn=깊은 인증기관4,o=깊은기관,c=KR", nullptr},
        {"cn=깊은 인증기관5,o=깊은기관,c=KR", nullptr},
        {"cn=깊은 인증기관6,o=깊은기관,c=KR", nullptr},
    };
    int n = 0;
    for (const auto& [dn, ctl] : sections) {
        text += "[LDAP_INFO" + std::to_string(++n) + "]\nDN = " + dn + "\nURL = " + u + "\n";
        if (ctl != nullptr) text += std::string("CTL = ") + ctl + "\n";
        text += "\n";
    }
    return text;
}

fs::path TestDirectory::writeConf(const std::string& name, const std::string& text) const {
    const fs::path p = m_dir / name;
    writeText(p, cp949(text));
    return p;
}

bool TestDirectory::start(const fs::path& dir, std::string& error, int timeOut) {
    m_dir = dir;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int port = freeLoopbackPort();
        const fs::path issued = dir / "issued";
        fs::remove_all(issued);
        if (!run("bash " + std::string(kDataDir) + "/issue_certs.sh " + std::to_string(port) + " " + issued.string(),
                 dir / "issue.log", error))
            return false;
        m_issued.clear();
        for (const char* name : {"ca1", "ca2", "ee_good", "ee_revoked", "ee_hold", "ee_unknown", "ee_ca2"}) {
            const std::string text = readText(issued / (std::string(name) + ".pem"));
            ByteString der;
            if (pemDecode(ByteString(text.data(), static_cast<int>(text.size())), der) != PEM_OK) {
                error = std::string("no certificate issued for ") + name;
                return false;
            }
            m_issued[name] = std::vector<uint8_t>(der.data(), der.data() + der.length());
        }

        const auto c = [&](const char* n) { return asString(cert(n)); };
        const auto d = [&](const char* n) { return asString(verifyData(n)); };
        const std::string o = "o=한국테스트,c=KR";
        const std::string users = "ou=사용자," + o;
        const std::string cas = "ou=인증기관," + o;
        ByteString pem;
        pemEncode(PEM_CERTIFICATE, ByteString(c("ee_good").data(), static_cast<int>(c("ee_good").size())), pem);
        const std::string pemText(pem.c_str(), static_cast<size_t>(pem.length()));

        auto user = [&](const char* cn, const char* name) {
            return LdifEntry{std::string("cn=") + cn + "," + users,
                             {{"objectClass", "applicationProcess"},
                              {"objectClass", "pkiUser"},
                              {"cn", cn},
                              {"userCertificate;binary", c(name)},
                              {"signCertificate", c(name)}}};
        };
        auto ca = [&](const std::string& dn, const char* cn, const char* name) {
            return LdifEntry{dn,
                             {{"objectClass", "applicationProcess"},
                              {"objectClass", "certificationAuthority"},
                              {"cn", cn},
                              {"cACertificate;binary", c(name)}}};
        };
        auto dp = [&](const char* cn, const char* attribute, const std::string& value) {
            return LdifEntry{std::string("cn=") + cn + ",ou=dp,c=KR",
                             {{"objectClass", "applicationProcess"},
                              {"objectClass", "cRLDistributionPoint"},
                              {"cn", cn},
                              {attribute, value}}};
        };
        std::vector<LdifEntry> entries = {
            {"c=KR", {{"objectClass", "country"}, {"c", "KR"}}},
            {o, {{"objectClass", "organization"}, {"o", "한국테스트"}}},
            {cas, {{"objectClass", "organizationalUnit"}, {"ou", "인증기관"}}},
            {users, {{"objectClass", "organizationalUnit"}, {"ou", "사용자"}}},
            {"o=다른기관,c=KR", {{"objectClass", "organization"}, {"o", "다른기관"}}},
            {"o=깊은기관,c=KR", {{"objectClass", "organization"}, {"o", "깊은기관"}}},
            {"ou=dp,c=KR", {{"objectClass", "organizationalUnit"}, {"ou", "dp"}}},
            ca(kRootDN, "테스트 루트 인증기관", "root"),
            ca(kCa1DN, "테스트 CA1", "ca1"),
            ca(kCa2DN, "테스트 CA2", "ca2"),
            ca(kRoot2DN, "제2 루트 인증기관", "root2"),
            ca(kRoot3DN, "제3 루트 인증기관", "root3"),
            user("정상사용자", "ee_good"),
            user("폐지사용자", "ee_revoked"),
            user("정지사용자", "ee_hold"),
            user("미등록사용자", "ee_unknown"),
            user("CA2사용자", "ee_ca2"),
            dp("rootarl", "authorityRevocationList;binary", d("crl/root.arl.der")),
            dp("ca1crl", "certificateRevocationList;binary", d("crl/ca1.crl.der")),
            dp("ca2crl", "certificateRevocationList;binary", d("crl/ca2.crl.der")),
            {kCtlDN,
             {{"objectClass", "applicationProcess"}, {"cn", "ctl"}, {"certificateTrustList", d("ctl/ctl_sha1.der")}}},
            // Values that are not what their attribute promises.
            {"cn=junk,ou=dp,c=KR",
             {{"objectClass", "applicationProcess"},
              {"cn", "junk"},
              {"signCertificate", std::string("\x30\x03\x02\x01\x05", 5)},
              {"certificateTrustList", "not a trust list"}}},
            {"cn=truncated,ou=dp,c=KR",
             {{"objectClass", "applicationProcess"},
              {"cn", "truncated"},
              {"signCertificate", c("ee_good").substr(0, 100)}}},
            // Placeholders and PEM text are skipped, the DER value after them is read.
            {"cn=pem,ou=dp,c=KR",
             {{"objectClass", "applicationProcess"},
              {"cn", "pem"},
              {"wUserCertificate", "NULL"},
              {"wUserCertificate", pemText},
              {"wUserCertificate", c("ee_good")}}},
            {"cn=pemonly,ou=dp,c=KR",
             {{"objectClass", "applicationProcess"}, {"cn", "pemonly"}, {"wUserCertificate", pemText}}},
            // Two entries with the same common name.
            {"cn=중복," + cas,
             {{"objectClass", "applicationProcess"}, {"cn", "중복"}, {"wUserCertificate", c("ee_good")}}},
            {"cn=중복," + users,
             {{"objectClass", "applicationProcess"}, {"cn", "중복"}, {"wUserCertificate", c("ee_good")}}},
        };
        for (int i = 1; i <= 6; ++i) {
            const std::string cn = "깊은 인증기관" + std::to_string(i);
            entries.push_back(ca("cn=" + cn + ",o=깊은기관,c=KR", cn.c_str(), ("deep" + std::to_string(i)).c_str()));
        }

        if (!m_slapd.start(dir / "slapd", port, toLdif(entries), error)) {
            if (error.find("ddress already in use") != std::string::npos) continue;
            return false;
        }
        m_conf = writeConf("qelt.conf", confText(timeOut));
        return true;
    }
    return false;
}

}  // namespace qelt::test
