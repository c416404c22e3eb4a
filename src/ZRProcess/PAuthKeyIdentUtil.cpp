#include "ZRProcess/PAuthKeyIdentUtil.h"

#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "util/cp949_literal.h"

namespace qelt {

int PAuthKeyIdentUtil::parseAuthorityKeyIdentifer(const ByteString& extnValue) {
    resetForGetter();
    m_KeyIdentifier.clear();
    RAuthorityKeyIdentifier aki;
    if (aki.fromASN1Object(extnValue) != 0)
        return fail("PAuthKeyIdentUtil", "parseAuthorityKeyIdentifer", "authorityKeyIdentifier", 1, aki.errorText());
    if (aki.hasKeyIdentifier()) {
        m_KeyIdentifier.assign(aki.getKeyIdentifier().getValue());
        m_Result.append("KeyID=");
        m_Result.append(m_KeyIdentifier.toHex());
    }
    if (aki.hasAuthorityCertIssuer()) {
        m_Result.append(m_Result.isEmpty() ? "인증서 발급자: \r\n"_cp949 : "\r\n인증서 발급자: \r\n"_cp949);
        PGeneralNameUtil names;
        if (names.appendGeneralNames(aki.getAuthorityCertIssuer(), m_Result) != 0) {
            m_Result.clear();
            return fail("PAuthKeyIdentUtil", "parseAuthorityKeyIdentifer", "authorityCertIssuer", 1, names.errorText());
        }
    }
    if (aki.hasAuthorityCertSerialNumber()) {
        m_Result.append(m_Result.isEmpty() ? "Certificate SerialNumber=" : "\r\nCertificate SerialNumber=");
        // Shown like the certificate's own serial number: without a sign octet.
        const ByteString& serial = aki.getAuthorityCertSerialNumber().getValue();
        const int skip = serial.length() > 1 && serial.data()[0] == 0x00 ? 1 : 0;
        m_Result.append(ByteString(serial.data() + skip, serial.length() - skip).toHex());
    }
    return 0;
}

}  // namespace qelt
