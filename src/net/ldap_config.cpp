#include "net/ldap_config.h"

#include <strings.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "qeltapi.h"
#include "util/cp949_literal.h"
#include "util/profile.h"

namespace qelt {

namespace {

constexpr const char* kOptionSection = "VALIDATOIN_OPTION";
constexpr size_t kValueBuffer = 4096;

std::string_view trimmed(std::string_view s) {
    const size_t start = s.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    const size_t end = s.find_last_not_of(" \t");
    return s.substr(start, end - start + 1);
}

// "name=value" pieces of a DN text split at "," and "+", each as a lower-case
// name and its value, both trimmed.
std::vector<std::pair<std::string, std::string>> dnPieces(const ByteString& text) {
    std::vector<std::pair<std::string, std::string>> pieces;
    std::string_view rest = text.view();
    while (!rest.empty()) {
        const size_t cut = rest.find_first_of(",+");
        const std::string_view piece = rest.substr(0, cut);
        const size_t eq = piece.find('=');
        std::string name(trimmed(piece.substr(0, eq)));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
        const std::string value(eq == std::string_view::npos ? std::string_view{} : trimmed(piece.substr(eq + 1)));
        if (!name.empty() || !value.empty()) pieces.emplace_back(std::move(name), value);
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    return pieces;
}

}  // namespace

int ldapTimeOut(ApiContext& ctx) {
    if (ctx.nLDAPTimeOut > 0) return ctx.nLDAPTimeOut;
    Profile profile;
    if (ctx.pszConfFilePath == nullptr || profile.setPath(ctx.pszConfFilePath) != Profile::kPathOk)
        return kDefaultLdapTimeOut;
    const int value = profile.getInt("LDAP", "LDAP_TIME_OUT", kDefaultLdapTimeOut);
    ctx.nLDAPTimeOut = value > 0 ? value : kDefaultLdapTimeOut;
    return ctx.nLDAPTimeOut;
}

DirectorySettings directorySettings(ApiContext& ctx) {
    DirectorySettings s;
    if (ctx.pszConfFilePath != nullptr) s.confPath = ctx.pszConfFilePath;
    s.timeOut = ldapTimeOut(ctx);
    return s;
}

bool sameDNText(const ByteString& a, const ByteString& b) {
    if (a.equals(b)) return true;
    auto first = dnPieces(a);
    auto second = dnPieces(b);
    if (first.empty() || first.size() != second.size()) return false;
    std::sort(first.begin(), first.end());
    std::sort(second.begin(), second.end());
    return first == second;
}

ByteString joinDirectoryAddress(const ByteString& url, const ByteString& dn) {
    ByteString address(url);
    if (address.isEmpty() || address.data()[address.length() - 1] != '/') address.append("/");
    address.append(dn);
    return address;
}

int findLdapInfo(const std::string& confPath, const ByteString& dnText, LdapInfo& out, ServiceFailure& failure) {
    if (confPath.empty())
        return failure.set(QELT_ERR_INVALID_ARGUMENT, "환경 파일 위치(pszConfFilePath)를 지정해 주세요."_cp949);
    Profile profile;
    if (profile.setPath(confPath.c_str()) != Profile::kPathOk)
        return failure.set(QELT_ERR_CONF_READ, "환경파일을 읽는데 실패하였습니다."_cp949);

    const int count = profile.getInt(kOptionSection, "LDAP_INFO_COUNT", 0);
    std::vector<char> value(kValueBuffer);
    for (int i = 1; i <= count; ++i) {
        ByteString section;
        section.format("LDAP_INFO%d", i);
        if (profile.readA(section.c_str(), "DN", value.data(), value.size()) != Profile::kFound)
            return failure.setf(QELT_ERR_LDAP_CONF, "환경파일에서 [%s]의 %s 정보를 읽는데 실패하였습니다."_cp949,
                                section.c_str(), "DN");
        if (!sameDNText(ByteString(value.data()), dnText)) continue;
        if (profile.readA(section.c_str(), "URL", value.data(), value.size()) != Profile::kFound)
            return failure.setf(QELT_ERR_LDAP_CONF, "환경파일에서 [%s]의 %s 정보를 읽는데 실패하였습니다."_cp949,
                                section.c_str(), "URL");
        out.section = section.c_str();
        out.url.assign(value.data());
        out.ctl.clear();
        if (profile.readA(section.c_str(), "CTL", value.data(), value.size()) == Profile::kFound)
            out.ctl.assign(value.data());
        return 0;
    }
    return failure.setf(QELT_ERR_LDAP_NO_ISSUER_INFO, "발급자 \"%s\"에 대한 LDAP 주소가 없습니다."_cp949,
                        dnText.c_str());
}

}  // namespace qelt
