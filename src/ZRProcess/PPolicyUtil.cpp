#include "ZRProcess/PPolicyUtil.h"

#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UUnicode.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PPolicyUtil";
constexpr const char* kCpsOid = "1 3 6 1 5 5 7 2 1";
constexpr const char* kUserNoticeOid = "1 3 6 1 5 5 7 2 2";
}  // namespace

// Appends a DisplayText converted to CP949 (BMPString from UCS-2, UTF8String from UTF-8).
int PPolicyUtil::appendDisplayText(const RDisplayText& text) {
    ByteString converted;
    if (text.isBmpString()) {
        if (UUnicode::BMP2KSC(text.getBmpString().getValue(), converted) != 0)
            return fail(kClass, "appendDisplayText", "bmpString", 2, "Unicode Decoding failed.");
    } else if (text.isUtf8String()) {
        if (UUTF8String::UTF8ToKSC(text.getUtf8String().getValue(), converted) != 0)
            return fail(kClass, "appendDisplayText", "utf8String", 2, "Make KSC by UTF8String is failed.");
    } else if (text.isVisibleString()) {
        converted.assign(text.getVisibleString().getValue());
    } else {
        converted.assign(text.getIa5String().getValue());
    }
    m_Result.append(converted);
    return 0;
}

int PPolicyUtil::appendQualifier(const RPolicyQualifierInfo& info) {
    const ASN1ObjectIdentifier& id = info.getPolicyQualifierId();
    const ByteString& qualifier = info.getQualifier().getEncoding();
    if (id.is(kCpsOid)) {
        ASN1IA5String cps;
        if (cps.fromASN1Object(qualifier) != 0) return fail(kClass, "appendQualifier", "cPSuri", 1, cps.errorText());
        m_Result.append("\t\t\t");
        m_Result.append(cps.getValue());
        m_Result.append("\r\n");
        return 0;
    }
    if (id.is(kUserNoticeOid)) {
        RUserNotice notice;
        if (notice.fromASN1Object(qualifier) != 0)
            return fail(kClass, "appendQualifier", "userNotice", 1, notice.errorText());
        m_Result.append("\t\t\tUser Notice\r\n");
        if (notice.hasNoticeRef()) {
            const RNoticeReference& ref = notice.getNoticeRef();
            m_Result.append("\t\t\t\tNotice Reference:\r\n\t\t\t\tOrganization=");
            if (const int rc = appendDisplayText(ref.getOrganization())) return rc;
            m_Result.append("\r\n\t\t\t\tNotice Number=");
            const ASN1Sequence& numbers = ref.getNoticeNumbers();
            ByteString part;
            for (int i = 0; i < numbers.getComponentCount(); ++i) {
                ASN1Integer n;
                if (n.fromASN1Object(numbers.componentBytes(i)) != 0)
                    return fail(kClass, "appendQualifier", "noticeNumbers", 1, n.errorText());
                part.format(i == 0 ? "%d" : ", %d", n.getInteger());
                m_Result.append(part);
            }
            m_Result.append("\r\n");
        }
        if (notice.hasExplicitText()) {
            m_Result.append("\t\t\t\tNotice Text=");
            if (const int rc = appendDisplayText(notice.getExplicitText())) return rc;
            m_Result.append("\r\n");
        }
        return 0;
    }
    // Any other qualifier is shown as its encoding in hexadecimal.
    m_Result.append("\t\t\t");
    m_Result.append(qualifier.toHex());
    m_Result.append("\r\n");
    return 0;
}

int PPolicyUtil::parseCertificatePolicies(const ByteString& extnValue) {
    resetForGetter();
    m_PolicyIds.clear();
    RCertificatePolicies policies;
    if (policies.fromASN1Object(extnValue) != 0)
        return fail(kClass, "parseCertificatePolicies", "certificatePolicies", 1, policies.errorText());
    ByteString line;
    for (int i = 0; i < policies.getElementCount(); ++i) {
        RPolicyInformation info;
        if (policies.getElement(i, info) != 0) {
            m_Result.clear();
            return fail(kClass, "parseCertificatePolicies", "certificatePolicies", 1, info.errorText());
        }
        const ByteString id = PGeneralNameUtil::oidText(info.getPolicyIdentifier());
        m_PolicyIds.push_back(id);
        line.format("[%d] Certificate Policy : \r\n\tPolicyIdentifier=%s\r\n", i + 1, id.c_str());
        m_Result.append(line);
        if (!info.hasPolicyQualifiers()) continue;
        const ASN1Sequence& qualifiers = info.getPolicyQualifiers();
        for (int q = 0; q < qualifiers.getComponentCount(); ++q) {
            RPolicyQualifierInfo qualifier;
            if (qualifier.fromASN1Object(qualifiers.componentBytes(q)) != 0) {
                m_Result.clear();
                return fail(kClass, "parseCertificatePolicies", "policyQualifiers", 1, qualifier.errorText());
            }
            ASN1ObjectIdentifier qid = qualifier.getPolicyQualifierId();
            line.format("\t[%d,%d] Policy Qualifier Info:\r\n\t\tPolicy Qualifier Id=%s\r\n\t\tQualifier:\r\n", i + 1,
                        q + 1, qid.getOID().c_str());
            m_Result.append(line);
            if (const int rc = appendQualifier(qualifier); rc != 0) {
                m_Result.clear();
                return rc;
            }
        }
    }
    return 0;
}

}  // namespace qelt
