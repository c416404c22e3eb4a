// Distinguished names as texts in the local code page, and name matching.
//
// A name text lists the RDNs from the most specific (the last stored, usually
// cn) to the least specific: "cn=Tester,ou=people,o=Example,c=KR". Entries of
// a multi-valued RDN are joined by "+". Values in UTF8String and BMPString are
// converted to CP949; the other string types are shown as their octets.
#pragma once

#include "ASN1Pkix/x509_certificate.h"
#include "util/byte_string.h"

namespace qelt {

class UDNSettings {
public:
    // The name text of an RDNSequence. 0 on success; otherwise a small step
    // code (1 to 14) and `out` stays empty.
    static int RDN2Str(const RRDNSequence& name, ByteString& out);
    // The name text of an encoded Name.
    static int RDN2Str(const ByteString& encodedName, ByteString& out);

    // 0 when the two names hold the same single-valued RDNs in any order;
    // a positive code when they differ or cannot be read.
    static int CompareByName(const RRDNSequence& first, const RRDNSequence& second);

    // True when some RDN of `name` holds an attribute of type `oidText`.
    static bool IncludeAttribute(const RRDNSequence& name, const char* oidText);

    // The short name of an attribute type ("cn", "o", ...), or null when the
    // type has none and is shown as its OID text.
    static const char* attributeName(const ASN1ObjectIdentifier& type);

    // The text of one encoded string value by its string type (UTF8String
    // and BMPString converted to CP949, the others as their octets).
    // 0 on success, 1 when the value does not decode, 2 for a tag outside the
    // string types, 3 when the code-page conversion fails.
    static int stringValueText(const ByteString& encodedValue, ByteString& out);
    static int stringValueText(int tag, const ByteString& content, ByteString& out);
};

}  // namespace qelt
