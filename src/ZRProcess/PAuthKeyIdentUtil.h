// Display text of an AuthorityKeyIdentifier extension value:
// "KeyID=<hex>", the issuer's general names and "Certificate SerialNumber=<hex>",
// each piece on its own line when present.
#pragma once

#include "util/error_holder.h"

namespace qelt {

class PAuthKeyIdentUtil : public ErrorHolder {
public:
    // 0 and the text in result(); 1 when the value is not an AuthorityKeyIdentifier.
    int parseAuthorityKeyIdentifer(const ByteString& extnValue);
    const ByteString& getAuthorityKeyIdentifier() const { return m_Result; }
    // The keyIdentifier octets of the last parse (empty when absent).
    const ByteString& getKeyIdentifier() const { return m_KeyIdentifier; }

private:
    ByteString m_KeyIdentifier;
};

}  // namespace qelt
