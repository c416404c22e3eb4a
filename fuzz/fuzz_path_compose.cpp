// The path engine on a target certificate and a CA bundle from the input
// ([2-octet target length][target][bundle]): composition, the trust decision
// against the bundle's first certificate, validation at a fixed time, and the
// accessors over the whole path and past its end. Every call must answer a
// code, never crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ASN1Pkix/PRFC3280_PathValidation.h"
#include "ASN1Pkix/trust_and_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1 << 18)) return 0;
    const size_t len = std::min<size_t>(static_cast<size_t>(data[0]) << 8 | data[1], size - 2);
    const qelt::ByteString target(data + 2, static_cast<int>(len));
    const std::span<const uint8_t> bundle(data + 2 + len, size - 2 - len);

    qelt::PRFC3280_PathValidation engine;
    engine.setValidationTime(1893456000);  // 2030-01-01
    engine.addUser_initial_policy("1.2.410.200004.5.9999.1", '.');
    engine.setOption(data[0] & 0x0F);
    engine.setCertPurpose(data[1] % 7);
    qelt::RPCaPubs list;
    if (list.fromASN1Object(bundle) == 0 && list.getElementCount() > 0) engine.addTrustAnchor(list.getElement(0));
    const int composed = engine.composeCertPath(target, bundle);
    if (composed != 0) {
        if (engine.getCertCount() != 0) std::abort();  // a failed composition leaves no path
        return 0;
    }
    if (engine.getCertCount() < 2) std::abort();  // at least the target and a root
    bool trusted = false;
    (void)engine.trustRootCert(trusted);
    for (int mode = 0; mode < 3; ++mode) {
        const int rc = engine.verifyCert(mode);
        if (rc == 0 && engine.getReason() != 0) std::abort();  // a reason only comes with a failure
    }
    for (int i = -1; i <= engine.getCertCount(); ++i) {
        const bool inside = i >= 0 && i < engine.getCertCount();
        if (engine.getCert(i).isEmpty() == inside) std::abort();
        (void)engine.getCRLDPs(i);
        (void)engine.getOCSPURL(i);
    }
    return 0;
}
