// Display text of an AuthorityInfoAccess extension value, and the OCSP
// responder and CA-issuer locations it names (used for OCSP checks and path
// building).
#pragma once

#include "util/error_holder.h"

namespace qelt {

class PAuthorityInfoAccess : public ErrorHolder {
public:
    // 0 and the text in result(); 1 when the value is not AuthorityInfoAccessSyntax.
    int parseAuthorityInfoAccess(const ByteString& extnValue);
    const ByteString& getAuthorityInfoAccess() const { return m_Result; }
    const ByteString& getOcspLocation() const { return m_Ocsp; }
    const ByteString& getCaIssuersLocation() const { return m_CaIssuers; }

private:
    ByteString m_Ocsp;
    ByteString m_CaIssuers;
};

}  // namespace qelt
