// Display text of a CertificatePolicies extension value: each policy with its
// identifier and qualifiers (CPS pointers, user notices with their texts in
// CP949), and the policy identifiers on their own.
#pragma once

#include <vector>

#include "util/error_holder.h"

namespace qelt {

class RPolicyQualifierInfo;
class RDisplayText;

class PPolicyUtil : public ErrorHolder {
public:
    // Decodes the value and composes the text. 0 on success; 1 when the value
    // is not CertificatePolicies, 2 when a notice text cannot be converted.
    int parseCertificatePolicies(const ByteString& extnValue);
    const ByteString& getCertificatePolicies() const { return m_Result; }
    // Policy identifiers in the system's OID text form, in stored order.
    const std::vector<ByteString>& getPolicyIdentifiers() const { return m_PolicyIds; }

private:
    int appendQualifier(const RPolicyQualifierInfo& info);
    int appendDisplayText(const RDisplayText& text);

    std::vector<ByteString> m_PolicyIds;
};

}  // namespace qelt
