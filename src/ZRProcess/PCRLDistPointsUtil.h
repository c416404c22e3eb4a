// Display text of a CRLDistributionPoints extension value, and the
// distribution-point URIs met while formatting it: CRL fetching uses the
// first "h..." URI as the HTTP point and any other as the directory point.
#pragma once

#include <vector>

#include "util/error_holder.h"

namespace qelt {

class RDistributionPoint;

class PCRLDistPointsUtil : public ErrorHolder {
public:
    static constexpr int kMaxRememberedUris = 3;

    // 0 and the text in result(); 1 when the value is not CRLDistributionPoints.
    int parseCRLDistributionPoint(const ByteString& extnValue);
    const ByteString& getCRLDistributionPoint() const { return m_Result; }

    const ByteString& getHttpDistributionPoint() const { return m_HttpDP; }
    const ByteString& getLdapDistributionPoint() const { return m_LdapDP; }
    // Up to three URIs in the order met.
    const std::vector<ByteString>& getUris() const { return m_Uris; }

private:
    int appendPoint(int number, const RDistributionPoint& point);
    int appendNames(const class RGeneralNames& names, const char* separator);
    void remember(const ByteString& uri);

    ByteString m_HttpDP;
    ByteString m_LdapDP;
    std::vector<ByteString> m_Uris;
};

}  // namespace qelt
