// Where a certificate's CRL is published, and reading it from there.
#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/UDNSettings.h"
#include "api/cert_verify_crl.h"
#include "net/ldap_directory.h"
#include "net/ldap_url.h"
#include "qeltapi.h"
#include "util/base64.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

bool isUrl(const ByteString& entry) { return entry.find("://") >= 0; }

// The text a failed search leaves for the fetch report: the message, and the
// directory's own words when it gave some.
ByteString reportText(const ServiceFailure& f) {
    ByteString text(f.message);
    if (f.kind == ErrKind::Ldap && !f.libText.isEmpty()) {
        text.append(" (");
        text.append(f.libText);
        text.append(")");
    }
    return text;
}

// A published list stored as PEM text is read as its DER.
ByteString derOf(const ByteString& value) {
    if (value.isEmpty() || value.data()[0] == 0x30 || value.find("-----BEGIN") < 0) return value;
    ByteString der;
    return pemDecode(value, der) == PEM_OK ? der : value;
}

}  // namespace

int distributionPointEntries(const ByteString& extnValue, const RRDNSequence& certIssuer, std::vector<ByteString>& out,
                             ServiceFailure& failure) {
    out.clear();
    RCRLDistPointsSyntax points;
    bool ok = points.fromASN1Object(extnValue) == 0;
    for (int i = 0; ok && i < points.getElementCount(); ++i) {
        RDistributionPoint point;
        ok = points.getElement(i, point) == 0;
        if (!ok || !point.hasDistributionPoint()) continue;
        const RDistributionPointName& dpName = point.getDistributionPoint();
        if (dpName.isNameRelativeToCRLIssuer()) {
            // The CRL issuer's name (the cRLIssuer named, else the certificate's issuer) and the relative name.
            RRDNSequence full(certIssuer);
            if (point.hasCRLIssuer()) {
                const RGeneralNames& issuers = point.getCRLIssuer();
                RGeneralName first;
                for (int n = 0; n < issuers.getElementCount(); ++n)
                    if (issuers.getElement(n, first) == 0 && first.isDirectoryName()) {
                        full = first.getDirectoryName();
                        break;
                    }
            }
            // The relative name as a plain SET (without the [1] tag it carries here).
            RRelativeDistinguishedName rdn(dpName.getNameRelativeToCRLIssuer());
            ByteString text;
            ok = full.addElement(rdn.toASN1Object(1)) == 0 && UDNSettings::RDN2Str(full, text) == 0;
            if (ok) out.push_back(std::move(text));
            continue;
        }
        const RGeneralNames& names = dpName.getFullName();
        for (int n = 0; ok && n < names.getElementCount(); ++n) {
            RGeneralName name;
            if (names.getElement(n, name) != 0) {
                ok = false;
            } else if (name.isUniformResourceIdentifier()) {
                out.push_back(name.getUniformResourceIdentifier().getValue());
            } else if (name.isDirectoryName()) {
                ByteString text;
                ok = UDNSettings::RDN2Str(name.getDirectoryName(), text) == 0;
                if (ok) out.push_back(std::move(text));
            }
        }
    }
    if (!ok || out.empty()) {
        out.clear();
        return failure.set(QELT_ERR_CERT_BAD_CRL_DP, "인증서 CRL 배포 지점 정보가 잘못되었습니다."_cp949);
    }
    return 0;
}

ByteString distributionPointDN(const ByteString& entry) {
    if (!isUrl(entry)) return entry;
    ParsedUrl url;
    ServiceFailure ignored;
    if (parseURL(entry.c_str(), UrlProtocol::Ldap, url, ignored) != 0) return ByteString();
    return ByteString(url.path.c_str());
}

int fetchCRLFromDistributionPoints(const DirectorySettings& settings, const char* attribute,
                                   const std::vector<ByteString>& entries, ByteString& crl, ByteString& dn,
                                   ServiceFailure& failure) {
    ByteString report;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const ByteString& entry = entries[i];
        // A bare DN takes host and port from the URL after it.
        const bool bareDN = !isUrl(entry);
        const ByteString& urlText = bareDN ? (i + 1 < entries.size() ? entries[i + 1] : ByteString()) : entry;
        ParsedUrl url;
        ServiceFailure step;
        if (parseURL(urlText.c_str(), UrlProtocol::Ldap, url, step) != 0) {
            ByteString line;
            line.format("%d 번째 배포 지점 - %s : URL 처리 실패 (%s)\r\n"_cp949, number, entry.c_str(),
                        step.message.c_str());
            report.append(line);
            continue;
        }
        const ByteString searchDN = bareDN ? entry : ByteString(url.path.c_str());
        DirectoryAnswer answer;
        if (getDirectoryData(url.host, url.port, searchDN, attribute, settings.timeOut, false, answer, step) == 0) {
            crl = derOf(answer.values.front());
            dn = searchDN;
            return 0;
        }
        ByteString address, line;
        address.format("ldap://%s:%d/%s?%s", url.host.c_str(), url.port, searchDN.c_str(), attribute);
        line.format("%d 번째 배포 지점(%s) - %s\n"_cp949, number, address.c_str(), reportText(step).c_str());
        report.append(line);
    }
    return failure.set(QELT_ERR_LDAP_CRL_BY_CERT, report.c_str());
}

}  // namespace qelt
