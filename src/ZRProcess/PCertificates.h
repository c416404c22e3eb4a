// Certificate lists (CA bundles, trusted-root lists): a DER SEQUENCE OF
// Certificate in insertion order. PCertificates builds and reads one;
// appending never looks for duplicates.
#pragma once

#include "ASN1Pkix/trust_and_identity.h"
#include "util/error_holder.h"

namespace qelt {

class PCertificates : public ErrorHolder {
public:
    // Appends one encoded certificate (its bytes as given).
    int addCert(const ByteString& cert);
    // Takes an encoded list; 1 when it is not a SEQUENCE OF Certificate-shaped elements.
    int setCerts(const ByteString& list);
    // The index-th certificate's encoding.
    int getCert(int index, ByteString& cert);
    // The encoded list.
    int getCerts(ByteString& list);
    int count() const { return m_bHasCerts ? m_pCerts.getElementCount() : 0; }

private:
    RPCaPubs m_pCerts;
    bool m_bHasCerts = false;
};

}  // namespace qelt
