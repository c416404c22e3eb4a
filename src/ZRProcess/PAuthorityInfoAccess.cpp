#include "ZRProcess/PAuthorityInfoAccess.h"

#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {
constexpr const char* kOcspOid = "1 3 6 1 5 5 7 48 1";
constexpr const char* kCaIssuersOid = "1 3 6 1 5 5 7 48 2";
}  // namespace

int PAuthorityInfoAccess::parseAuthorityInfoAccess(const ByteString& extnValue) {
    resetForGetter();
    m_Ocsp.clear();
    m_CaIssuers.clear();
    RAuthorityInfoAccessSyntax syntax;
    if (syntax.fromASN1Object(extnValue) != 0)
        return fail("PAuthorityInfoAccess", "parseAuthorityInfoAccess", "aiaSyntax", 1, syntax.errorText());
    if (syntax.getElementCount() == 0) {
        m_Result.append("AuthorityInfoAccess :없음"_cp949);
        return 0;
    }
    PGeneralNameUtil formatter;
    for (int i = 0; i < syntax.getElementCount(); ++i) {
        RAccessDescription ad;
        if (syntax.getElement(i, ad) != 0) {
            m_Result.clear();
            return fail("PAuthorityInfoAccess", "parseAuthorityInfoAccess", "aiaSyntax", 1, ad.errorText());
        }
        ByteString line;
        line.format("%s[%d]AuthorityInfoAccess :\r\n\tAccess Method = ", i > 0 ? "\r\n" : "", i + 1);
        m_Result.append(line);
        const ASN1ObjectIdentifier& method = ad.getAccessMethod();
        const RGeneralName& location = ad.getAccessLocation();
        const bool isUri = location.isUniformResourceIdentifier();
        if (method.is(kOcspOid)) {
            m_Result.append("온라인 인증서 상태 프로토콜(1.3.6.1.5.5.7.48.1)"_cp949);
            if (isUri && m_Ocsp.isEmpty()) m_Ocsp.assign(location.getUniformResourceIdentifier().getValue());
        } else if (method.is(kCaIssuersOid)) {
            m_Result.append("인증 기관 발급자(1.3.6.1.5.5.7.48.2)"_cp949);
            if (isUri && m_CaIssuers.isEmpty()) m_CaIssuers.assign(location.getUniformResourceIdentifier().getValue());
        } else {
            line.format("Unknown(%s)", PGeneralNameUtil::oidText(method).c_str());
            m_Result.append(line);
        }
        m_Result.append("\r\n\tAlternative Name:");
        m_Result.append("\r\n\t\t");
        if (formatter.appendGeneralName(location, m_Result) != 0) {
            m_Result.clear();
            return fail("PAuthorityInfoAccess", "parseAuthorityInfoAccess", "accessLocation", 1, formatter.errorText());
        }
    }
    return 0;
}

}  // namespace qelt
