// qelt crl show / check: the entries of a CRL, and one certificate's status
// by its issuer's CRL (QELT_CERT_CheckStatByCRL).
//
// "show" reads the list itself, element by element over the DER, without
// decoding what it does not print: a list of 100,000 entries is shown as fast
// as the terminal takes it. It shows; it does not check the signature.
#include <algorithm>
#include <string>
#include <vector>

#include "cli.h"

using namespace qelt_cli;

namespace {

// One DER element: its tag, and where its content lies.
struct Element {
    uint8_t tag = 0;
    size_t content = 0;  // offset of the content
    size_t length = 0;   // content length
    size_t end() const { return content + length; }
};

// Reads the element at `pos` within [pos, limit); false when it does not fit.
bool readElement(const std::vector<uint8_t>& d, size_t pos, size_t limit, Element& e) {
    if (pos + 2 > limit) return false;
    e.tag = d[pos];
    size_t len = d[pos + 1];
    size_t header = 2;
    if (len & 0x80) {
        const size_t octets = len & 0x7F;
        if (octets == 0 || octets > 4 || pos + 2 + octets > limit) return false;
        len = 0;
        for (size_t i = 0; i < octets; ++i) len = (len << 8) | d[pos + 2 + i];
        header += octets;
    }
    if (len > limit - pos - header) return false;
    e.content = pos + header;
    e.length = len;
    return true;
}

// "YYYY-MM-DD hh:mm:ss" of a UTCTime or GeneralizedTime element (UTC).
std::string timeOf(const std::vector<uint8_t>& d, const Element& e) {
    std::string t(d.begin() + static_cast<long>(e.content), d.begin() + static_cast<long>(e.end()));
    if (e.tag == 0x17 && t.size() >= 12) t = (t[0] >= '5' ? "19" : "20") + t;
    if (t.size() < 14) return t;
    return t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + " " + t.substr(8, 2) + ":" + t.substr(10, 2) +
           ":" + t.substr(12, 2);
}

const char* const kReasons[] = {"unspecified",   "keyCompromise",        "cACompromise",    "affiliationChanged",
                                "superseded",    "cessationOfOperation", "certificateHold", "",
                                "removeFromCRL", "privilegeWithdrawn",   "aACompromise"};

// The reasonCode (2.5.29.21) of an entry's extensions, or -1.
int reasonOf(const std::vector<uint8_t>& d, const Element& exts) {
    static const uint8_t kReasonCode[] = {0x55, 0x1D, 0x15};
    Element ext;
    for (size_t pos = exts.content; pos < exts.end() && readElement(d, pos, exts.end(), ext); pos = ext.end()) {
        Element id, value, enumerated;
        if (!readElement(d, ext.content, ext.end(), id) || id.tag != 0x06 || id.length != sizeof kReasonCode ||
            !std::equal(kReasonCode, kReasonCode + sizeof kReasonCode, d.begin() + static_cast<long>(id.content)))
            continue;
        if (!readElement(d, id.end(), ext.end(), value)) return -1;
        if (value.tag == 0x01 && !readElement(d, value.end(), ext.end(), value)) return -1;  // "critical" first
        if (value.tag != 0x04 || !readElement(d, value.content, value.end(), enumerated) || enumerated.tag != 0x0A ||
            enumerated.length != 1)
            return -1;
        return d[enumerated.content];
    }
    return -1;
}

int showCrl(Session& s, const std::string& path, bool countOnly) {
    std::vector<uint8_t> d;
    if (const int rc = readDerOrPem(s, path, d); rc != 0) return rc;
    Element list, tbs, e;
    const auto notCrl = [&] { failCommand(path + " is not a CRL"); };
    if (!readElement(d, 0, d.size(), list) || list.tag != 0x30 || !readElement(d, list.content, list.end(), tbs) ||
        tbs.tag != 0x30)
        notCrl();
    size_t pos = tbs.content;
    auto next = [&](Element& out) { return pos < tbs.end() && readElement(d, pos, tbs.end(), out); };
    if (!next(e)) notCrl();
    if (e.tag == 0x02) {  // version
        pos = e.end();
        if (!next(e)) notCrl();
    }
    pos = e.end();  // signature algorithm
    if (!next(e) || e.tag != 0x30) notCrl();
    pos = e.end();  // issuer
    if (!next(e) || (e.tag != 0x17 && e.tag != 0x18)) notCrl();
    std::string head = "This update: " + timeOf(d, e) + "\n";
    pos = e.end();
    Element revoked;
    bool haveRevoked = false;
    while (next(e)) {
        if (e.tag == 0x17 || e.tag == 0x18) head += "Next update: " + timeOf(d, e) + "\n";
        if (e.tag == 0x30) {
            revoked = e;
            haveRevoked = true;
        }
        pos = e.end();
    }
    size_t count = 0;
    std::string lines;
    if (haveRevoked) {
        Element entry;
        for (size_t p = revoked.content; p < revoked.end(); p = entry.end()) {
            Element serial, date, exts;
            if (!readElement(d, p, revoked.end(), entry) || entry.tag != 0x30 ||
                !readElement(d, entry.content, entry.end(), serial) || serial.tag != 0x02 ||
                !readElement(d, serial.end(), entry.end(), date))
                failCommand(path + ": entry " + std::to_string(count + 1) + " is malformed");
            ++count;
            if (countOnly) continue;
            int reason = -1;
            if (date.end() < entry.end() && readElement(d, date.end(), entry.end(), exts) && exts.tag == 0x30)
                reason = reasonOf(d, exts);
            // The serial number without the octet that only carries its sign.
            const size_t sign = serial.length > 1 && d[serial.content] == 0x00 ? 1 : 0;
            lines += toHex(d.data() + serial.content + sign, serial.length - sign) + "  " + timeOf(d, date);
            if (reason >= 0) lines += "  " + std::string(reason <= 10 ? kReasons[reason] : std::to_string(reason));
            lines += "\n";
        }
    }
    writeOutput("-", head + "Entries: " + std::to_string(count) + "\n" + lines);
    return 0;
}

int checkCertificate(Session& s, const Args& a, const std::string& path) {
    std::vector<uint8_t> der;
    if (const int rc = readDerOrPem(s, path, der); rc != 0) return rc;
    if (const auto cas = a.get("b"); cas) {
        std::vector<uint8_t> list;
        if (const int rc = readDerOrPem(s, *cas, list); rc != 0) return rc;
        Bin bundle(list);
        if (const int r = QELT_API_SetCaPubs(s.ctx(), &bundle); r != 0) return s.fail(r);
    }
    if (const auto conf = a.get("conf"); conf)
        if (const int r = QELT_API_SetConfFile(s.ctx(), toCp949(*conf).c_str()); r != 0) return s.fail(r);
    Bin cert(der);
    char when[20] = {0};
    int reason = -1;
    if (const int r = QELT_CERT_CheckStatByCRL(s.ctx(), &cert, when, &reason); r != 0) return s.fail(r);
    if (reason < 0)
        writeOutput("-", std::string("good\n"));
    else
        writeOutput("-", std::string(reason == 6 ? "on hold since " : "revoked ") + when + " (" +
                             (reason <= 10 ? std::string(kReasons[reason]) : std::to_string(reason)) + ")\n");
    return 0;
}

int runCrl(Session& s, const Args& a) {
    const auto& p = a.positional;
    if (p.size() != 2) return Session::usage("crl show CRL [--count] | crl check CERT [-b LIST] [--conf FILE]");
    if (p[0] == "show") return showCrl(s, p[1], a.has("count"));
    if (p[0] == "check") return checkCertificate(s, a, p[1]);
    return Session::usage("crl: show or check");
}

}  // namespace

QELT_CLI_VERB({"crl",
               "crl show CRL [--count] | crl check CERT [-b LIST] [--conf FILE]",
               {"count"},
               &runCrl,
               {"show prints a CRL's update times, its number of entries and each entry's serial number, "
                "revocation time (UTC) and reason; it reads the list entry by entry without decoding what it does "
                "not print, and does not check its signature. check tells whether a certificate is listed in its "
                "issuer's CRL (from the cache under the work directory, else the directory its distribution "
                "points name): good, revoked or on hold, with the time and reason.",
                {{"--count", "show: only the update times and the number of entries"},
                 {"-b LIST",
                  "check: the CA certificates (a list made by qelt certs add); without it the bundle "
                  "comes from the cache or the directories of --conf"},
                 {"--conf FILE", "check: configuration file (LDAP_INFO sections, LDAP_TIME_OUT)"}},
                {"qelt crl show ca.crl", "qelt crl check ee.der -b bundle.der"}}});
