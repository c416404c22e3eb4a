// Display text of one GeneralName: a prefix naming the alternative, then its
// value ("DNS Name=www.example.com", "URL=http://...", "디렉토리 주소:\r\n\t"
// and the name text, ...). Used by every extension formatter.
#pragma once

#include "ASN1Pkix/x509_extensions.h"
#include "util/error_holder.h"

namespace qelt {

class PGeneralNameUtil : public ErrorHolder {
public:
    // Appends the text of `name` to `out`. 0 on success; 1 when a directory
    // name cannot be written as text (the error chain says why).
    int appendGeneralName(const RGeneralName& name, ByteString& out);
    // The text of `name` in result().
    const ByteString& getGeneralName(const RGeneralName& name);
    // Appends the texts of every name of `names`, separated by "\r\n".
    int appendGeneralNames(const RGeneralNames& names, ByteString& out);

    // Shared by the formatters: an OID in the system's text form.
    static ByteString oidText(const ASN1ObjectIdentifier& oid);
    // "IP Address=" value: dotted decimal for 4 octets, eight colon-separated
    // hexadecimal groups for 16, plain hexadecimal otherwise.
    static ByteString ipAddressText(const ByteString& octets);

private:
    void appendORAddress(const RORAddress& address, ByteString& out);
};

}  // namespace qelt
