// RSignedData from arbitrary bytes: no crash; what decodes encodes stably.
#include "ASN1Pkix/cms_signed_data.h"
#include "ASN1Pkix/record_stability.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qelt::checkRecordStability<qelt::RSignedData>(data, size);
}
