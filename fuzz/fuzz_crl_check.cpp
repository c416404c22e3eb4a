// The CRL checker on a CRL, an issuer certificate and a subject certificate
// from the input ([2-octet issuer length][issuer][2-octet subject length]
// [subject][CRL]): parseCertList, the raw revoked-list search with the
// subject's serial, the entry walk, and the service-level verifyCRL. Every
// call must answer a code, never crash, read out of bounds or leak.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ASN1Pkix/GCertListProcess.h"
#include "api/crl_verify.h"
#include "fuzz_support.h"

namespace {

// Takes a length-prefixed part off the front of `in`.
std::span<const uint8_t> take(std::span<const uint8_t>& in) {
    if (in.size() < 2) return {};
    const size_t len = std::min<size_t>(static_cast<size_t>(in[0]) << 8 | in[1], in.size() - 2);
    const auto part = in.subspan(2, len);
    in = in.subspan(2 + len);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    std::span<const uint8_t> in(data, size);
    const qelt::ByteString issuer(take(in)), subject(take(in));
    const std::span<const uint8_t> crl = in;

    qelt::GCertListProcess checker;
    const int rc = checker.parseCertList(crl, issuer, subject);
    bool found = false;
    std::span<const uint8_t> entry;
    const qelt::ByteString serial(subject.length() > 20 ? subject.data() + 15 : subject.data(),
                                  subject.length() > 20 ? 3 : subject.length());
    const int search = checker.isRevoked(serial, found, entry);
    if ((rc == 0) != (search != 1)) std::abort();  // searching needs a parsed CRL
    if (found && (entry.empty() || entry.data() < crl.data() || entry.data() + entry.size() > crl.data() + crl.size()))
        std::abort();  // the entry lies inside the CRL
    if (rc == 0) {
        const qelt::GTBSCertList& tbs = checker.certificateList().getTbsCertList();
        const int count = tbs.getRevokedCertificateCount();
        size_t offset = 0;
        int walked = 0;
        while (tbs.nextRevokedCertificate(offset, entry) == 0) ++walked;
        if (count >= 0 && walked != count) std::abort();
    }

    qelt::ApiContext& ctx = *static_cast<qelt::ApiContext*>(qelt_fuzz::context());
    ctx.tVerifyTime = 1893456000;  // 2030-01-01
    qelt::ApiCall call(ctx, "fuzz");
    qelt::CrlRevocation revocation;
    const int verified = qelt::verifyCRL(call, crl, issuer, subject, revocation);
    if (verified == 0 && revocation.listed && (revocation.reason < -1 || revocation.reason > 10)) std::abort();
    return 0;
}
