// PFX reading from arbitrary bytes: no crash, no leak, no hang (the
// iteration limits are lowered so that a run stays short), and whatever
// reads as pairs writes back into a PFX that reads as the same pairs.
#include <cstdlib>

#include "ASN1Pkix/PPKCS12.h"

namespace {
constexpr const char* kPassword = "pfx-test-pass";  // the password of the seeds
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qelt;
    PPKCS12 reader;
    reader.setPassword(kPassword);
    reader.setIterationLimits(4096, 20000);
    if (reader.setPKCS12Data(ByteString(data, static_cast<int>(size))) != 0) return 0;

    PPKCS12 writer;
    writer.setPassword(kPassword);
    writer.setIterations(16, 16);
    const int pairs = reader.getPairCount();
    for (int i = 0; i < pairs; ++i) {
        ByteString key, cert;
        if (reader.getKeyAndCert(i, key, cert) != 0) std::abort();
        if (writer.setKeyAndCert(key, cert) != 0) std::abort();
    }
    if (pairs == 0) return 0;
    ByteString pfx;
    if (writer.makePKCS12Data(pfx) != 0) std::abort();
    PPKCS12 again;
    again.setPassword(kPassword);
    if (again.setPKCS12Data(pfx) != 0 || again.getPairCount() != pairs) std::abort();
    for (int i = 0; i < pairs; ++i) {
        ByteString k1, c1, k2, c2;
        if (reader.getKeyAndCert(i, k1, c1) != 0 || again.getKeyAndCert(i, k2, c2) != 0) std::abort();
        if (!(k1 == k2) || !(c1 == c2)) std::abort();
    }
    return 0;
}
