#include "net/ldap_directory.h"

// The classic synchronous calls (ldap_init, ldap_simple_bind_s,
// ldap_search_st ...) are what this client is written against.
#define LDAP_DEPRECATED 1
#include <ldap.h>
#include <strings.h>

#include <cstring>
#include <memory>

#include "ZRProcess/UUnicode.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kSubtreeBase = "C=KR";
constexpr const char* kAnyEntryFilter = "(objectclass=*)";

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
struct ValuesFree {
    void operator()(berval** v) const { ldap_value_free_len(v); }
};
struct BerFree {
    void operator()(BerElement* b) const { ber_free(b, 0); }
};
struct MemFree {
    void operator()(char* p) const { ldap_memfree(p); }
};
using MessagePtr = std::unique_ptr<LDAPMessage, MessageFree>;
using ValuesPtr = std::unique_ptr<berval*, ValuesFree>;
using BerPtr = std::unique_ptr<BerElement, BerFree>;
using LdapText = std::unique_ptr<char, MemFree>;

// The attribute a request for `attribute` also asks for, or null.
const char* companionAttribute(const char* attribute) {
    if (strcasecmp(attribute, "certificaterevocationlist") == 0) return "authorityrevocationlist";
    if (strcasecmp(attribute, "signcertificate") == 0) return "usercertificate";
    return nullptr;
}

// True when the attribute description `returned` ("cACertificate;binary")
// names `wanted`: the name before any option, compared without case.
bool namesAttribute(const char* returned, const char* wanted) {
    const char* semicolon = std::strchr(returned, ';');
    const size_t len = semicolon != nullptr ? static_cast<size_t>(semicolon - returned) : std::strlen(returned);
    return len == std::strlen(wanted) && strncasecmp(returned, wanted, len) == 0;
}

// Values the directory holds as placeholders or as text: not data.
bool keepValue(const berval& v) {
    if (v.bv_len == 4 && std::memcmp(v.bv_val, "NULL", 4) == 0) return false;
    if (v.bv_len >= 5 && std::memcmp(v.bv_val, "-----", 5) == 0) return false;
    return true;
}

// A CP949 DN text in the directory's form (UTF-8), and whether it names an
// entry by a full DN: two or more RDNs in LDAPv3 syntax. A single "cn=..."
// is taken as a search filter instead.
bool toDirectoryDN(const ByteString& dn, std::string& utf8) {
    ByteString converted;
    if (dn.isEmpty() || UUTF8String::KSCToUTF8(dn, converted) != 0) return false;
    utf8.assign(converted.c_str(), static_cast<size_t>(converted.length()));
    LDAPDN parsed = nullptr;
    if (ldap_str2dn(utf8.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) return false;
    int rdns = 0;
    while (parsed != nullptr && parsed[rdns] != nullptr) ++rdns;
    ldap_dnfree(parsed);
    return rdns >= 2;
}

}  // namespace

LdapDirectory::LdapDirectory(int timeOutSeconds) : m_nTimeOut(timeOutSeconds > 0 ? timeOutSeconds : 1) {}

LdapDirectory::~LdapDirectory() { close(); }

void LdapDirectory::close() {
    if (m_ld != nullptr) {
        ldap_unbind(m_ld);
        m_ld = nullptr;
    }
}

int LdapDirectory::remainingSeconds() const {
    const auto left = std::chrono::ceil<std::chrono::seconds>(m_deadline - std::chrono::steady_clock::now()).count();
    return left < 1 ? 1 : static_cast<int>(left);
}

int LdapDirectory::connectDirectory(const std::string& host, int port, ServiceFailure& failure) {
    close();
    m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_nTimeOut);
    m_ld = ldap_init(host.empty() ? nullptr : host.c_str(), port);
    if (m_ld == nullptr) return failure.set(QELT_ERR_LDAP_INIT, "LDAP 초기화(ldap_init)에 실패하였습니다."_cp949);

    // Bounds for the TCP connection and for waiting on every answer; the
    // library never follows a referral to another server.
    const int version = LDAP_VERSION3;
    ldap_set_option(m_ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(m_ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval limit{remainingSeconds(), 0};
    ldap_set_option(m_ld, LDAP_OPT_NETWORK_TIMEOUT, &limit);
    ldap_set_option(m_ld, LDAP_OPT_TIMEOUT, &limit);

    const int rc = ldap_simple_bind_s(m_ld, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        close();
        return failure.setLdap(QELT_ERR_LDAP_BIND, "LDAP 함수 ldap_simple_bind_s 실패"_cp949, rc, ldap_err2string(rc));
    }
    const int deref = LDAP_DEREF_ALWAYS;
    ldap_set_option(m_ld, LDAP_OPT_DEREF, &deref);  // its result does not matter
    return 0;
}

int LdapDirectory::searchDirectory(const ByteString& dn, const char* attribute, bool wantDN, DirectoryAnswer& out,
                                   ServiceFailure& failure) {
    out.values.clear();
    out.entryDN.clear();
    if (m_ld == nullptr) return failure.set(QELT_ERR_LDAP_INIT, "LDAP 초기화(ldap_init)에 실패하였습니다."_cp949);

    const char* companion = companionAttribute(attribute);
    char* attrs[3] = {const_cast<char*>(attribute), const_cast<char*>(companion), nullptr};

    std::string base;
    std::string filter;
    int scope = LDAP_SCOPE_BASE;
    if (toDirectoryDN(dn, base)) {
        filter = kAnyEntryFilter;
    } else {
        ByteString converted;
        if (UUTF8String::KSCToUTF8(dn, converted) != 0) converted.assign(dn);
        filter.assign(converted.c_str(), static_cast<size_t>(converted.length()));
        base = kSubtreeBase;
        scope = LDAP_SCOPE_SUBTREE;
    }

    timeval limit{remainingSeconds(), 0};
    ldap_set_option(m_ld, LDAP_OPT_TIMEOUT, &limit);
    LDAPMessage* raw = nullptr;
    const int rc = ldap_search_st(m_ld, base.c_str(), scope, filter.c_str(), attrs, 0, &limit, &raw);
    MessagePtr result(raw);
    if (rc != LDAP_SUCCESS) {
        close();
        return failure.setLdap(QELT_ERR_LDAP_SEARCH, "LDAP 함수 ldap_search_st 실패"_cp949, rc, ldap_err2string(rc));
    }
    LDAPMessage* entry = ldap_first_entry(m_ld, result.get());
    if (entry == nullptr) return failure.set(QELT_ERR_LDAP_NO_ENTRY, "해당 엔트리를 찾을 수 없습니다."_cp949);

    if (wantDN) {
        LdapText entryDN(ldap_get_dn(m_ld, entry));
        if (!entryDN) return failure.set(QELT_ERR_LDAP_GET_DN, "LDAP 함수 ldap_get_dn 실패"_cp949);
        const ByteString utf8(entryDN.get(), static_cast<int>(std::strlen(entryDN.get())));
        if (UUTF8String::UTF8ToKSC(utf8, out.entryDN) != 0) out.entryDN.assign(utf8);
    }

    std::vector<ByteString> others;
    BerElement* rawBer = nullptr;
    LdapText name(ldap_first_attribute(m_ld, entry, &rawBer));
    BerPtr ber(rawBer);
    for (; name; name.reset(ldap_next_attribute(m_ld, entry, ber.get()))) {
        ValuesPtr values(ldap_get_values_len(m_ld, entry, name.get()));
        auto& into = namesAttribute(name.get(), attribute) ? out.values : others;
        for (berval** v = values.get(); v != nullptr && *v != nullptr; ++v)
            if (keepValue(**v)) into.emplace_back((*v)->bv_val, static_cast<int>((*v)->bv_len));
    }
    for (ByteString& v : others) out.values.push_back(std::move(v));

    if (wantDN && ldap_next_entry(m_ld, entry) != nullptr) {
        out.values.clear();
        return failure.setf(QELT_ERR_LDAP_MULTIPLE_DN, "%s에 대해서 2개 이상의 DN이 발견되었습니다."_cp949, dn.c_str());
    }
    if (out.values.empty())
        return failure.set(QELT_ERR_LDAP_NO_ATTRIBUTE, "찾고자 하는 데이터가 해당 엔트리에 존재하지 않습니다."_cp949);
    return 0;
}

int getDirectoryData(const std::string& host, int port, const ByteString& dn, const char* attribute, int timeOut,
                     bool wantDN, DirectoryAnswer& out, ServiceFailure& failure) {
    LdapDirectory directory(timeOut);
    if (const int rc = directory.connectDirectory(host, port, failure); rc != 0) return rc;
    return directory.searchDirectory(dn, attribute, wantDN, out, failure);
}

}  // namespace qelt
