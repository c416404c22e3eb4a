// A constant table of OIDs (system text form) and display names, matched by
// the OIDs' encoded contents: each text is encoded once, on first use, so a
// lookup compares bytes instead of converting texts.
#pragma once

#include <cstddef>
#include <vector>

#include "ASN1/asn1_types.h"

namespace qelt {

struct OidName {
    const char* oid;
    const char* name;
};

class OidNameTable {
public:
    template <size_t N>
    explicit OidNameTable(const OidName (&entries)[N]) : m_entries(entries), m_count(N) {
        for (const OidName& e : entries) m_contents.push_back(ASN1ObjectIdentifier(e.oid).getValue());
    }
    // The name of `oid`, or null when the table does not hold it.
    const char* find(const ASN1ObjectIdentifier& oid) const {
        const ByteString& content = oid.getValue();
        for (size_t i = 0; i < m_count; ++i)
            if (m_contents[i] == content) return m_entries[i].name;
        return nullptr;
    }

private:
    const OidName* m_entries;
    size_t m_count;
    std::vector<ByteString> m_contents;
};

}  // namespace qelt
