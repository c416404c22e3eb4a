#include "ZRProcess/PCRLDistPointsUtil.h"

#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PCRLDistPointsUtil";

// ReasonFlags, bit 0 first.
constexpr const char* kReasonNames[] = {
    " unused,",       " keyCompromise,",        " cACompromise,",    " affiliationChanged,",
    " superseded,",   " cessationOfOperation,", " certificateHold,", " privilegeWithdrawn,",
    " aACompromise,",
};

bool endsWithLineBreak(const ByteString& s) { return s.length() > 0 && s.data()[s.length() - 1] == '\n'; }

}  // namespace

void PCRLDistPointsUtil::remember(const ByteString& uri) {
    if (uri.length() > 0 && (uri.data()[0] == 'h')) {
        if (m_HttpDP.isEmpty()) m_HttpDP.assign(uri);
    } else if (m_LdapDP.isEmpty()) {
        m_LdapDP.assign(uri);
    }
    if (static_cast<int>(m_Uris.size()) < kMaxRememberedUris) m_Uris.push_back(uri);
}

int PCRLDistPointsUtil::appendNames(const RGeneralNames& names, const char* separator) {
    PGeneralNameUtil formatter;
    for (int i = 0; i < names.getElementCount(); ++i) {
        RGeneralName name;
        if (names.getElement(i, name) != 0) return fail(kClass, "appendNames", "generalName", 1, name.errorText());
        m_Result.append(separator);
        if (formatter.appendGeneralName(name, m_Result) != 0)
            return fail(kClass, "appendNames", "generalName", 1, formatter.errorText());
        if (name.isUniformResourceIdentifier()) remember(name.getUniformResourceIdentifier().getValue());
    }
    return 0;
}

int PCRLDistPointsUtil::appendPoint(int number, const RDistributionPoint& point) {
    ByteString header;
    header.format("[%d] CRL Distribution Point\r\n", number);
    m_Result.append(header);
    if (point.hasDistributionPoint()) {
        const RDistributionPointName& dpName = point.getDistributionPoint();
        m_Result.append("     Distribution Point Name:\r\n");
        if (dpName.isFullName()) {
            m_Result.append("\t     Full Name: \r\n");
            const int mark = m_Result.length();
            if (const int rc = appendNames(dpName.getFullName(), "\r\n\t          ")) return rc;
            // The first name follows the label line directly: drop its leading line break.
            if (m_Result.length() > mark) {
                ByteString rest = m_Result.substring(mark + 2, m_Result.length() - mark - 2);
                ByteString head = m_Result.substring(0, mark);
                head.append(rest);
                m_Result = std::move(head);
            }
        } else if (dpName.isNameRelativeToCRLIssuer()) {
            // The RDN is shown as a one-RDN name.
            RRelativeDistinguishedName rdn = dpName.getNameRelativeToCRLIssuer();
            RRDNSequence asName;
            ByteString text;
            if (asName.addElement(rdn.toASN1Object(1)) != 0 || UDNSettings::RDN2Str(asName, text) != 0)
                return fail(kClass, "appendPoint", "nameRelativeToCRLIssuer", 1, "Make DN String failed.");
            m_Result.append("\t     ");
            m_Result.append("Issuer RDN \r\n");
            m_Result.append(text);
        }
    }
    if (point.hasReasons()) {
        if (!endsWithLineBreak(m_Result)) m_Result.append("\r\n");
        m_Result.append("     ");
        m_Result.append("CRL Reason=");
        const ByteString& content = point.getReasons().getValue();  // unused-bits octet first
        bool any = false;
        for (int bit = 0; bit < 9; ++bit) {
            const int octet = 1 + bit / 8;
            if (octet < content.length() && (content.data()[octet] & (0x80 >> (bit % 8)))) {
                m_Result.append(kReasonNames[bit]);
                any = true;
            }
        }
        if (any) m_Result.data()[m_Result.length() - 1] = ' ';  // the final comma becomes a blank
    }
    if (point.hasCRLIssuer()) {
        if (!endsWithLineBreak(m_Result)) m_Result.append("\r\n");
        m_Result.append("     ");
        m_Result.append("CRL Issuer:");
        if (const int rc = appendNames(point.getCRLIssuer(), "\r\n\t          ")) return rc;
    }
    return 0;
}

int PCRLDistPointsUtil::parseCRLDistributionPoint(const ByteString& extnValue) {
    resetForGetter();
    m_HttpDP.clear();
    m_LdapDP.clear();
    m_Uris.clear();
    RCRLDistPointsSyntax syntax;
    if (syntax.fromASN1Object(extnValue) != 0)
        return fail(kClass, "parseCRLDistributionPoint", "crlDistributionPointsSyntax", 1, syntax.errorText());
    for (int i = 0; i < syntax.getElementCount(); ++i) {
        RDistributionPoint point;
        if (syntax.getElement(i, point) != 0) {
            m_Result.clear();
            return fail(kClass, "parseCRLDistributionPoint", "crlDistributionPointsSyntax", 1, point.errorText());
        }
        if (i > 0) m_Result.append("\r\n");
        if (const int rc = appendPoint(i + 1, point); rc != 0) {
            m_Result.clear();
            return rc;
        }
    }
    return 0;
}

}  // namespace qelt
