// Display text of a SubjectAltName extension value: the general names in
// order, one per line. Other names get a block of their own: identity data
// (real name and VID), a few directory attributes by name, or the type-id
// and the value in hexadecimal.
#pragma once

#include "util/error_holder.h"

namespace qelt {

class RAnotherName;

class PSubAltNameUtil : public ErrorHolder {
public:
    // 0 and the text in result(); 1 when the value is not GeneralNames.
    int parseSubjectAlternativeName(const ByteString& extnValue);
    const ByteString& getSubjectAlternativeName() const { return m_Result; }

private:
    void appendOtherName(const RAnotherName& other);
};

}  // namespace qelt
