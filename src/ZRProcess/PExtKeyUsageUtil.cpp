#include "ZRProcess/PExtKeyUsageUtil.h"

#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/oid_name_table.h"

namespace qelt {

namespace {

constexpr OidName kPurposes[] = {
    {"1 3 6 1 5 5 7 3 1", "id-kp-serverAuth"},     {"1 3 6 1 5 5 7 3 2", "id-kp-clientAuth"},
    {"1 3 6 1 5 5 7 3 3", "id-kp-codeSigning"},    {"1 3 6 1 5 5 7 3 4", "id-kp-emailProtection"},
    {"1 3 6 1 5 5 7 3 5", "id-kp-ipsecEndSystem"}, {"1 3 6 1 5 5 7 3 6", "id-kp-ipsecTunnel"},
    {"1 3 6 1 5 5 7 3 7", "id-kp-ipsecUser"},      {"1 3 6 1 5 5 7 3 8", "id-kp-timeStamping"},
    {"1 3 6 1 5 5 7 3 9", "id-kp-OCSPSigning"},
};

const OidNameTable& purposeNames() {
    static const OidNameTable table(kPurposes);
    return table;
}

}  // namespace

int PExtKeyUsageUtil::parseExtKeyUsage(const ByteString& extnValue) {
    resetForGetter();
    RExtKeyUsageSyntax syntax;
    if (syntax.fromASN1Object(extnValue) != 0)
        return fail("PExtKeyUsageUtil", "parseExtKeyUsage", "extKeyUsage", 1, syntax.errorText());
    for (int i = 0; i < syntax.getElementCount(); ++i) {
        ASN1ObjectIdentifier purpose;
        if (purpose.fromASN1Object(syntax.getElement(i)) != 0) {
            m_Result.clear();
            return fail("PExtKeyUsageUtil", "parseExtKeyUsage", "extKeyUsage", 1, purpose.errorText());
        }
        if (i > 0) m_Result.append("\r\n");
        if (const char* name = purposeNames().find(purpose))
            m_Result.append(name);
        else
            m_Result.append(PGeneralNameUtil::oidText(purpose));
    }
    return 0;
}

}  // namespace qelt
