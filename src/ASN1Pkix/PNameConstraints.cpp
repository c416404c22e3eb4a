#include "ASN1Pkix/PNameConstraints.h"

#include <algorithm>

#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PNameConstraints";

// The tag number of the chosen GeneralName alternative.
int formOf(const RGeneralName& name) {
    if (name.isOtherName()) return 0;
    if (name.isRfc822Name()) return 1;
    if (name.isDNSName()) return 2;
    if (name.isX400Address()) return 3;
    if (name.isDirectoryName()) return 4;
    if (name.isEdiPartyName()) return 5;
    if (name.isUniformResourceIdentifier()) return 6;
    if (name.isIPAddress()) return 7;
    return 8;
}

bool contains(const ByteString& text, const ByteString& part) {
    return part.isEmpty() || text.find(part.data(), part.length()) >= 0;
}

// The text of the address part that a subtree's mask fixes whole octets of.
ByteString maskedAddressText(const ByteString& octets) {
    const int half = octets.length() / 2;
    const uint8_t* p = octets.data();
    const uint8_t* mask = p + half;
    ByteString text, part;
    if (half == 4) {
        for (int i = 0; i < 4 && mask[i] == 0xFF; ++i) {
            part.format(i == 3 ? "%d" : "%d.", p[i]);
            text.append(part);
        }
    } else if (half == 16) {
        for (int i = 0; i < 16 && mask[i] == 0xFF && mask[i + 1] == 0xFF; i += 2) {
            part.format(i == 14 ? "%x" : "%x:", p[i] << 8 | p[i + 1]);
            text.append(part);
        }
    } else {
        text = octets.toHex();
    }
    return text;
}

}  // namespace

bool PNameConstraints::isEmpty() const {
    return m_ExcludedStrSet.empty() &&
           std::all_of(m_Permitted.begin(), m_Permitted.end(), [](const ByteString& t) { return t.isEmpty(); });
}

void PNameConstraints::reset() {
    for (ByteString& text : m_Permitted) text.clear();
    m_ExcludedStrSet.clear();
}

bool PNameConstraints::nameText(const RGeneralName& name, Form& form, ByteString& text) {
    text.clear();
    switch (formOf(name)) {
        case kRfc822:
            form = kRfc822;
            text.assign(name.getRfc822Name().getValue());
            return true;
        case kDns:
            form = kDns;
            text.assign(name.getDNSName().getValue());
            return true;
        case kUri:
            form = kUri;
            text.assign(name.getUniformResourceIdentifier().getValue());
            return true;
        case kDirectory:
            form = kDirectory;
            return UDNSettings::RDN2Str(name.getDirectoryName(), text) == 0;
        case kIp:
            form = kIp;
            text = PGeneralNameUtil::ipAddressText(name.getIPAddress().getValue());
            return true;
        default:
            return false;
    }
}

int PNameConstraints::baseText(const RGeneralSubtree& subtree, const char* method, Form& form, ByteString& text) {
    const RGeneralName& base = subtree.getBase();
    const int tag = formOf(base);
    if (tag == kIp) {
        form = kIp;
        text = maskedAddressText(base.getIPAddress().getValue());
        return 0;
    }
    if (tag != kRfc822 && tag != kDns && tag != kDirectory && tag != kUri) {
        ByteString msg;
        msg.format("The generalName type (%d) is not supported.", tag);
        return fail(kClass, method, "generalName", 1, msg.c_str());
    }
    if (!nameText(base, form, text)) return fail(kClass, method, "generalName", 1, "Make DN String failed.");
    return 0;
}

int PNameConstraints::modifyPermittedSubtrees(const RGeneralSubtrees& subtrees) {
    constexpr const char* kMethod = "modifyPermittedSubtrees";
    for (int i = 0; i < subtrees.getElementCount(); ++i) {
        RGeneralSubtree subtree;
        if (subtrees.getElement(i, subtree) != 0)
            return fail(kClass, kMethod, "permittedSubtrees", 1, subtree.errorText());
        Form form = kDns;
        ByteString text;
        if (baseText(subtree, kMethod, form, text) != 0) return 1;
        ByteString& stored = m_Permitted[static_cast<size_t>(form)];
        if (stored.isEmpty()) {
            stored = std::move(text);
        } else if (contains(stored, text)) {
            break;  // the stored text is already the narrower one
        } else if (contains(text, stored)) {
            stored = std::move(text);  // the constraint narrows
        } else {
            stored.clear();  // unrelated subtrees: this form is no longer constrained
        }
    }
    return 0;
}

int PNameConstraints::modifyExcludedSubtrees(const RGeneralSubtrees& subtrees) {
    constexpr const char* kMethod = "modifyExcludedSubtrees";
    for (int i = 0; i < subtrees.getElementCount(); ++i) {
        RGeneralSubtree subtree;
        if (subtrees.getElement(i, subtree) != 0)
            return fail(kClass, kMethod, "excludedSubtrees", 1, subtree.errorText());
        Form form = kDns;
        ByteString text;
        if (baseText(subtree, kMethod, form, text) != 0) return 1;
        m_ExcludedStrSet.emplace_back(form, std::move(text));
    }
    return 0;
}

PNameConstraints::Verdict PNameConstraints::check(Form form, const ByteString& text, ByteString& constraint) const {
    const ByteString& permittedText = m_Permitted[static_cast<size_t>(form)];
    if (!permittedText.isEmpty() && !contains(text, permittedText)) {
        constraint.assign(permittedText);
        return kNotPermitted;
    }
    for (const auto& [excludedForm, excluded] : m_ExcludedStrSet) {
        if (excludedForm == form && contains(text, excluded)) {
            constraint.assign(excluded);
            return kExcluded;
        }
    }
    return kInside;
}

}  // namespace qelt
