// A throw-away OpenLDAP directory for the tests, and the verification test
// hierarchy published in it.
//
// Slapd: a slapd with a generated slapd.conf, the core schema plus the three
// attributes the library reads that the core schema lacks, and an LDIF
// database under a directory of the test, listening on 127.0.0.1 at a port
// chosen free at run time. It is stopped by the PID saved at start.
//
// TestDirectory: the hierarchy of tests/data/verify (make_pki.sh) in such a
// directory: the certificates that name the directory in their CRL
// distribution points are issued for its port (issue_certs.sh), the others,
// the CRLs, ARLs and trust lists are the committed files. It also writes the
// configuration file whose LDAP_INFO sections point at the directory.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qelt::test {

namespace fs = std::filesystem;

// The committed file tests/data/verify/<relative>.
std::vector<uint8_t> verifyData(const std::string& relative);
// A fresh scratch directory of this process (CTest runs the cases of a suite
// in parallel processes, each with its own directory).
fs::path processDir(const std::string& name);
// A port on 127.0.0.1 that nothing listened on a moment ago.
int freeLoopbackPort();
// UTF-8 text (Korean DNs of the fixtures) in CP949, as the library takes it.
std::string cp949(const std::string& utf8);
// Seconds since 1970 of "YYYYMMDDhhmmss" read as UTC.
int64_t utcSeconds(const char* text);

class Slapd {
public:
    Slapd() = default;
    ~Slapd() { stop(); }
    Slapd(const Slapd&) = delete;
    Slapd& operator=(const Slapd&) = delete;

    // Loads `ldif` into a fresh database under `dir` and starts slapd on
    // `port`; returns once slapd accepts connections (or false after 10 s,
    // with the reason in `error`).
    bool start(const fs::path& dir, int port, const std::string& ldif, std::string& error);
    // Starts the loaded database again after stop().
    bool restart(std::string& error);
    // SIGTERM to the saved PID, then SIGKILL if it has not ended within 5 s.
    void stop();
    bool running() const { return m_pid > 0; }
    int port() const { return m_port; }

private:
    bool launch(std::string& error);

    fs::path m_dir;
    int m_port = 0;
    pid_t m_pid = -1;
};

// One entry of the test LDIF: its DN (UTF-8) and attributes with their values.
struct LdifEntry {
    std::string dn;
    std::vector<std::pair<std::string, std::string>> values;  // attribute description, raw value
};
std::string toLdif(const std::vector<LdifEntry>& entries);

class TestDirectory {
public:
    // DNs of the hierarchy, in UTF-8.
    static constexpr const char* kRootDN = "cn=테스트 루트 인증기관,o=한국테스트,c=KR";
    static constexpr const char* kCa1DN = "cn=테스트 CA1,ou=인증기관,o=한국테스트,c=KR";
    static constexpr const char* kCa2DN = "cn=테스트 CA2,ou=인증기관,o=한국테스트,c=KR";
    static constexpr const char* kRoot2DN = "cn=제2 루트 인증기관,o=다른기관,c=KR";
    static constexpr const char* kRoot3DN = "cn=제3 루트 인증기관,o=다른기관,c=KR";
    static constexpr const char* kGoodDN = "cn=정상사용자,ou=사용자,o=한국테스트,c=KR";
    static constexpr const char* kCtlDN = "cn=ctl,ou=dp,c=KR";

    ~TestDirectory();

    // Issues the port's certificates, publishes everything, writes the
    // configuration (LDAP_TIME_OUT = `timeOut`) and starts the directory,
    // under `dir`. Retries with another port when the chosen one is taken.
    bool start(const fs::path& dir, std::string& error, int timeOut = 5);
    void stop() { m_slapd.stop(); }
    bool restart(std::string& error) { return m_slapd.restart(error); }

    int port() const { return m_slapd.port(); }
    std::string url() const { return "ldap://127.0.0.1:" + std::to_string(port()); }
    // "ldap://127.0.0.1:<port>/<dn>" with the DN in UTF-8 (the caller converts).
    std::string urlOf(const std::string& dn) const { return url() + "/" + dn; }
    // The certificate `name` as this directory publishes it (issued for its
    // port, or the committed one).
    std::vector<uint8_t> cert(const std::string& name) const;
    // The configuration file (CP949) naming this directory.
    const fs::path& confPath() const { return m_conf; }
    // Writes another configuration file with `text` (UTF-8, converted to
    // CP949) and returns its path.
    fs::path writeConf(const std::string& name, const std::string& text) const;
    // The standard configuration text, before conversion.
    std::string confText(int timeOut) const;

private:
    Slapd m_slapd;
    fs::path m_dir;
    fs::path m_conf;
    std::map<std::string, std::vector<uint8_t>> m_issued;
};

}  // namespace qelt::test
