#include "net/ldap_url.h"

#include <cctype>
#include <cstring>

#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

const char* protocolName(UrlProtocol p) { return p == UrlProtocol::Ldap ? "LDAP" : "HTTP"; }

// The decimal port of `text`, or 0 when it is not a number from 1 to 65535.
int portOf(const std::string& text) {
    if (text.empty() || text.size() > 5) return 0;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        port = port * 10 + (c - '0');
    }
    return port <= 65535 ? port : 0;
}

}  // namespace

int parseURL(const char* url, UrlProtocol expected, ParsedUrl& out, ServiceFailure& failure) {
    out = ParsedUrl{};
    const char* sep = url == nullptr ? nullptr : std::strstr(url, "://");
    if (sep == nullptr) return failure.set(QELT_ERR_LDAP_URL_SCHEME, "URL에서 \"://\"를 찾을 수 없습니다."_cp949);

    std::string scheme(url, static_cast<size_t>(sep - url));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme == "ldap") {
        out.protocol = UrlProtocol::Ldap;
    } else if (scheme == "http") {
        out.protocol = UrlProtocol::Http;
    } else {
        return failure.setf(QELT_ERR_LDAP_URL_PROTOCOL, "해당 서비스에 대해서 %s 프로토콜은 지원하지 않습니다."_cp949,
                            scheme.c_str());
    }
    if (out.protocol != expected)
        return failure.setf(QELT_ERR_LDAP_URL_PROTOCOL, "해당 서비스에 대해서 %s 프로토콜은 지원하지 않습니다."_cp949,
                            protocolName(out.protocol));

    // host[:port][/rest]
    const std::string rest(sep + 3);
    const size_t slash = rest.find('/');
    const std::string authority = rest.substr(0, slash);
    const size_t colon = authority.find(':');
    out.host = authority.substr(0, colon);
    const int port = colon == std::string::npos ? 0 : portOf(authority.substr(colon + 1));
    out.port = port != 0 ? port : (expected == UrlProtocol::Ldap ? kDefaultLdapPort : kDefaultHttpPort);

    if (slash != std::string::npos) {
        const std::string after = rest.substr(slash + 1);
        if (expected == UrlProtocol::Http)
            out.path = "/" + after;
        else
            out.path = after.substr(0, after.find('?'));
    }
    return 0;
}

}  // namespace qelt
