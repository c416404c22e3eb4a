#include "api/cert_verify_ocsp.h"

#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt {

// This build has no OCSP client yet: the step fails as a query that could not
// be made, so the service falls back to the CRL where its option allows.
int checkTargetByOcsp(ApiContext&, const char*, const ByteString&, const ByteString&, const VerifyRequest&,
                      ByteString& responderCert, ServiceFailure& failure) {
    responderCert.clear();
    return failure.set(QELT_ERR_NOT_SUPPORTED_FUNCTION, "해당 시스템에서 지원되지 않는 함수 임"_cp949);
}

}  // namespace qelt
