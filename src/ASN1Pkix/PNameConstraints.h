// PNameConstraints: the permitted and excluded subtrees a path has collected,
// and the test of a name against them.
//
// Names and subtree bases are compared as texts: an rfc822Name, dNSName or
// uniformResourceIdentifier by its characters, a directoryName by its name text
// ("ou=Sales,o=Example,c=KR", most specific RDN first), an iPAddress by its
// dotted (or colon-separated) text. A name lies inside a subtree when the
// subtree's text occurs in the name's text. One permitted text is kept per name
// form; excluded texts accumulate, each matched only against names of its own
// form. For an iPAddress subtree (address and mask) the text is the part of the
// address the mask fixes octet by octet: 192.168.0.0/255.255.0.0 is "192.168.".
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "ASN1Pkix/x509_extensions.h"
#include "util/error_holder.h"

namespace qelt {

class PNameConstraints : public ErrorHolder {
public:
    // GeneralName alternatives by their tag numbers; only these can be constrained.
    enum Form : int { kRfc822 = 1, kDns = 2, kDirectory = 4, kUri = 6, kIp = 7 };
    enum Verdict { kInside = 0, kNotPermitted = 1, kExcluded = 2 };

    void reset();
    // One permitted text per form, narrowed or given up as the subtrees of each
    // CA certificate arrive. 0; 1 for a name form that cannot be constrained
    // ("The generalName type (%d) is not supported.") or an unreadable subtree.
    int modifyPermittedSubtrees(const RGeneralSubtrees& subtrees);
    // Adds every excluded subtree to excludedStrSet. Codes as above.
    int modifyExcludedSubtrees(const RGeneralSubtrees& subtrees);

    // Where a name of `form` with text `text` lies; `constraint` receives the
    // text that decided (the permitted text it lacks, or the excluded text it holds).
    Verdict check(Form form, const ByteString& text, ByteString& constraint) const;

    // The form and the text of a name (a certificate's name, not a subtree
    // base); false for a form that cannot be constrained or is unreadable.
    static bool nameText(const RGeneralName& name, Form& form, ByteString& text);

    const ByteString& permitted(Form form) const { return m_Permitted[static_cast<size_t>(form)]; }
    // No subtree constrains any name.
    bool isEmpty() const;

private:
    // The text of a subtree base; 1 with the failure recorded otherwise.
    int baseText(const RGeneralSubtree& subtree, const char* method, Form& form, ByteString& text);

    std::array<ByteString, 8> m_Permitted;
    std::vector<std::pair<Form, ByteString>> m_ExcludedStrSet;
};

}  // namespace qelt
