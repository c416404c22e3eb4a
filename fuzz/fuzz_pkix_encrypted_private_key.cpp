// REncryptedPrivateKeyInfo from arbitrary bytes: no crash; what decodes encodes stably.
#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/record_stability.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qelt::checkRecordStability<qelt::REncryptedPrivateKeyInfo>(data, size);
}
