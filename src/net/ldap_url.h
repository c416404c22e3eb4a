// Directory and web addresses: "ldap://host[:port]/dn[?attributes...]" and
// "http://host[:port]/path". One parser serves the directory client and the
// HTTP clients; each says which protocol it expects.
#pragma once

#include <string>

#include "net/ldap_failure.h"

namespace qelt {

enum class UrlProtocol { Ldap, Http };

struct ParsedUrl {
    UrlProtocol protocol = UrlProtocol::Ldap;
    std::string host;
    int port = 0;
    // LDAP: the DN (the text after the host up to a "?"); HTTP: "/" and the
    // text after the host. Empty when the address has no "/" after the host.
    std::string path;
};

inline constexpr int kDefaultLdapPort = 389;
inline constexpr int kDefaultHttpPort = 80;

// 0, or 2000 (no "://") / 2001 (a scheme other than ldap and http, or not the
// expected one) with the message in `failure`. The scheme is compared without
// case. A port that is not a number from 1 to 65535 (or no port) gives the
// protocol's default port.
int parseURL(const char* url, UrlProtocol expected, ParsedUrl& out, ServiceFailure& failure);

}  // namespace qelt
