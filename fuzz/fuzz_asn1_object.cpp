// ASN1Object / ASN1Sequence decoding of arbitrary bytes: no crash, no read
// past the input, bounded recursion; what decodes re-encodes and decodes again.
#include <cstdlib>

#include "ASN1/asn1_types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qelt;
    const std::span<const uint8_t> in(data, size);
    ASN1Object object;
    if (object.fromASN1Object(in) == 0) {
        const ByteString& enc = object.toASN1Object();
        ASN1Object again;
        if (object.getStatus() == 0 && again.fromASN1Object(enc) == 0 && !(again.getValue() == object.getValue()))
            std::abort();
    }
    for (bool implicit : {false, true}) {
        ASN1Sequence seq;
        seq.expectImplicitTag(implicit);
        if (seq.fromASN1Object(in) != 0) continue;
        for (int i = 0; i < seq.getComponentCount(); ++i) {
            ASN1OctetString octets;
            (void)octets.fromASN1Object(seq.componentBytes(i));
            ASN1ObjectIdentifier oid;
            if (oid.fromASN1Object(seq.componentBytes(i)) == 0) (void)oid.getOID();
        }
        // Read back with the same expectation, the encoding keeps the components.
        ASN1Sequence copy;
        copy.expectImplicitTag(implicit);
        const ByteString& enc = seq.toASN1Object();
        if (seq.getStatus() != 0) std::abort();
        if (copy.fromASN1Object(enc) == 0 && copy.getComponentCount() != seq.getComponentCount()) std::abort();
    }
    return 0;
}
