// Arbitrary bytes loaded as the context's certificate, then every getter:
// each must answer or fail with a code, never crash or leak; the list
// functions and the remaining-days check get the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "qeltapi.h"

namespace {

using qelt_fuzz::context;

using TextGetter = int (*)(void*, int, char*);
constexpr TextGetter kTextGetters[] = {
    QELT_CERT_GetUID,
    QELT_CERT_GetSerialNum,
    QELT_CERT_GetSignatureAlgorithm,
    QELT_CERT_GetIssuerName,
    QELT_CERT_GetSubjectName,
    QELT_CERT_GetValidity,
    QELT_CERT_GetPubKeyAlg,
    QELT_CERT_GetPubKeyLen,
    QELT_CERT_GetPubKey,
    QELT_CERT_GetSignature,
    QELT_CERT_GetKeyUsage,
    QELT_CERT_GetBasicConstraints,
    QELT_CERT_GetCertPolicy,
    QELT_CERT_GetCertPolicyID,
    QELT_CERT_GetExtKeyUsage,
    QELT_CERT_GetSubjectAltName,
    QELT_CERT_GetAuthKeyID,
    QELT_CERT_GetSubKeyID,
    QELT_CERT_GetCRLDP,
    QELT_CERT_GetAIA,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    void* ctx = context();
    BINSTR in{nullptr, 0};
    QELT_BINSTR_SetData(data, static_cast<int>(size), &in);
    QELT_CERT_Load(ctx, &in);
    std::vector<char> buf(1 << 16);
    for (TextGetter fn : kTextGetters) {
        fn(ctx, static_cast<int>(buf.size()), buf.data());
        fn(ctx, 8, buf.data());  // the short-buffer path
    }
    int version = 0;
    time_t t = 0;
    QELT_CERT_GetVersion(ctx, &version);
    QELT_CERT_GetNotBefore(ctx, &t);
    QELT_CERT_GetNotAfter(ctx, &t);
    char keyAlg[50];
    BINSTR out{nullptr, 0};
    QELT_CERT_GetSubjectPubKeyInfo(ctx, keyAlg, &out);
    QELT_BINSTR_Delete(&out);
    QELT_CERT_GetSerialNum2(ctx, &out);
    QELT_BINSTR_Delete(&out);
    QELT_CERT_Unload(ctx);

    int days = 0;
    QELT_CERT_GetRemainDays(ctx, &in, &days);
    int count = 0;
    if (QELT_CERT_GetCertCount(ctx, &in, &count) == 0 && count > 0) {
        QELT_CERT_GetCert(ctx, &in, count - 1, &out);
        QELT_BINSTR_Delete(&out);
    }
    BINSTR list{nullptr, 0};
    QELT_CERT_AddCert(ctx, &in, &list);
    QELT_BINSTR_Delete(&list);
    QELT_BINSTR_Delete(&in);
    return 0;
}
