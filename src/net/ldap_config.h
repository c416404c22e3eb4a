// Directory settings read from the configuration file: the search time-out
// ([LDAP] LDAP_TIME_OUT) and the per-CA sections "LDAP_INFO1" ...
// "LDAP_INFO<LDAP_INFO_COUNT>" with the CA's DN, its directory URL and the
// location of its trust list.
#pragma once

#include <string>

#include "api/api_context.h"
#include "net/ldap_failure.h"
#include "util/byte_string.h"

namespace qelt {

inline constexpr int kDefaultLdapTimeOut = 10;

// The search time-out of a context: read from its configuration file once and
// kept in the context; 10 seconds while no configuration file is set.
int ldapTimeOut(ApiContext& ctx);

// What a directory lookup needs from the context.
struct DirectorySettings {
    std::string confPath;  // empty when none is set
    int timeOut = kDefaultLdapTimeOut;
};
DirectorySettings directorySettings(ApiContext& ctx);

// One "LDAP_INFO%d" section.
struct LdapInfo {
    std::string section;  // "LDAP_INFO3"
    ByteString url;
    ByteString ctl;  // empty when the section has no CTL key
};

// The first LDAP_INFO section whose DN names `dnText` (a CP949 name text).
// 0; 1006 when no configuration file is set; 1226 when it cannot be read;
// 2013 when a section lacks its DN, or the matching one its URL; 2011 when
// no section names the DN (message "발급자 "%s"에 대한 LDAP 주소가 없습니다.").
int findLdapInfo(const std::string& confPath, const ByteString& dnText, LdapInfo& out, ServiceFailure& failure);

// True when two DN texts name the same entry: equal texts, or the same
// "name=value" pieces in any order, the names compared without case and the
// blanks around names and values ignored (configuration files are written by
// hand: "CN=Root CA, O=Example, C=KR" names cn=Root CA,o=Example,c=KR).
bool sameDNText(const ByteString& a, const ByteString& b);

// "<url>/<dn>", without doubling a "/" that ends the URL.
ByteString joinDirectoryAddress(const ByteString& url, const ByteString& dn);

}  // namespace qelt
