// The trust-list reader from arbitrary bytes: the list checked against the
// test hierarchy's root as anchor (so a valid signature path is reachable
// from the seeds), and the CTL record alone decoded and re-encoded.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ASN1Pkix/record_stability.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "api/cert_verify_ctl.h"

namespace {

qelt::ByteString fixture(const char* name) {
    const auto path = std::filesystem::path(QELT_SOURCE_DIR) / "tests/data/verify/certs" / name;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return qelt::ByteString(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qelt::ByteString anchor = fixture("root.der");
    static const qelt::ByteString root = fixture("root2.der");
    // 2030-01-01: inside the seeds' validity.
    constexpr int64_t kWhen = 1893456000;
    qelt::ServiceFailure failure;
    qelt::checkCTL(kWhen, qelt::ByteString(data, static_cast<int>(size)), root, anchor, failure);
    return qelt::checkRecordStability<qelt::RCertificateTrustList>(data, size);
}
