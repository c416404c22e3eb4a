// The decode / encode stability property of records, checked by the fuzz
// targets: whatever a record accepts it must encode, and when that encoding
// decodes again it must encode to the very same octets. (It need not always
// decode again: a primitive context tag read as IMPLICIT on a SEQUENCE is
// written back constructed, which a reader without the IMPLICIT declaration
// takes for an explicit tag.)
#pragma once

#include <cstdlib>
#include <span>

#include "ASN1Pkix/record.h"

namespace qelt {

template <class Record>
int checkRecordStability(const uint8_t* data, size_t size) {
    Record first;
    if (first.fromASN1Object(std::span<const uint8_t>(data, size)) != 0) return 0;
    const ByteString encoded(first.toASN1Object(0));
    if (first.errorCode() != 0) std::abort();  // accepted but not encodable
    Record second;
    if (second.fromASN1Object(encoded) != 0) return 0;
    if (!(second.toASN1Object(0) == encoded)) std::abort();  // encoding not stable
    return 0;
}

}  // namespace qelt
