// Display text of an ExtendedKeyUsage extension value: one purpose name per
// line ("id-kp-serverAuth"...), unknown purposes as their OID text.
#pragma once

#include "util/error_holder.h"

namespace qelt {

class PExtKeyUsageUtil : public ErrorHolder {
public:
    // 0 and the text in result(); 1 when the value is not an ExtKeyUsageSyntax.
    int parseExtKeyUsage(const ByteString& extnValue);
    const ByteString& getExtKeyUsage() const { return m_Result; }
};

}  // namespace qelt
