// The directory client: connect (anonymous simple bind), search one entry,
// read its values, close. It runs over OpenLDAP's libldap with the classic
// synchronous calls, and every blocking step is bounded: the connection, the
// bind and the search share one deadline of the configured time-out, so a
// directory that refuses connections fails at once and one that accepts and
// never answers fails when the time-out has passed, never later.
//
// Texts are CP949 on our side and UTF-8 on the directory's: DNs are converted
// both ways.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "net/ldap_failure.h"
#include "util/byte_string.h"

typedef struct ldap LDAP;

namespace qelt {

// What one search brought back.
struct DirectoryAnswer {
    // The values kept, those of the requested attribute first.
    std::vector<ByteString> values;
    // The entry's DN in CP949, when the caller asked for it.
    ByteString entryDN;
};

class LdapDirectory {
public:
    // `timeOutSeconds` bounds connection, bind and search together (at least 1).
    explicit LdapDirectory(int timeOutSeconds);
    ~LdapDirectory();
    LdapDirectory(const LdapDirectory&) = delete;
    LdapDirectory& operator=(const LdapDirectory&) = delete;

    // 0, 2004 (no session) or 2005 (the bind failed: the directory's code
    // and text in the failure's detail).
    int connectDirectory(const std::string& host, int port, ServiceFailure& failure);

    // Reads `attribute` from the entry named by `dn` (a CP949 DN text: a
    // base-object search there), or, when the text is not a DN of two or more
    // RDNs (a bare "cn=..." text), from the entry the text finds as a filter
    // anywhere under "C=KR". "certificaterevocationlist" also asks for
    // "authorityrevocationlist", and "signcertificate" for "usercertificate".
    // Values "NULL" and values in PEM armour are dropped.
    // With `wantDN` the entry's DN is returned and a second matching entry is
    // an error (2015). Results: 0, 2007 (search failed), 2008 (no entry),
    // 2014 (no DN), 2015, 2002 (no value kept).
    int searchDirectory(const ByteString& dn, const char* attribute, bool wantDN, DirectoryAnswer& out,
                        ServiceFailure& failure);

    void close();

private:
    // Seconds left before the deadline, at least 1.
    int remainingSeconds() const;

    LDAP* m_ld = nullptr;
    int m_nTimeOut;
    std::chrono::steady_clock::time_point m_deadline;
};

// Connect, search, close: the usual one-shot read.
int getDirectoryData(const std::string& host, int port, const ByteString& dn, const char* attribute, int timeOut,
                     bool wantDN, DirectoryAnswer& out, ServiceFailure& failure);

}  // namespace qelt
