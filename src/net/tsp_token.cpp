#include "net/tsp_token.h"

#include "ASN1Pkix/PSignedDataProcess.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "net/tsp_request.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PTimeStampToken";
constexpr const char* kMethod = "parseToken";
// PSignedDataProcess's code for a signer whose certificate is not in the message.
constexpr int kSignerCertMissing = 12;

ByteString integerMagnitude(const ASN1Integer& value) {
    ByteString out;
    value.getInteger(out, 0);
    return out;
}

}  // namespace

int PTimeStampToken::parseToken(std::span<const uint8_t> token) {
    m_nErrorCode = 0;
    m_TsaCert.clear();
    m_TSTInfo.reset();

    RContentInfo info;
    if (info.fromASN1Object(token) != 0) return fail(kClass, kMethod, "contentInfo", kNotContentInfo, info.errorText());
    if (!info.getContentType().is(oid::kSignedData))
        return fail(kClass, kMethod, "contentType", kNotSignedData, "The token is not signedData.");

    PSignedDataProcess sd;
    if (sd.parseSignedData(token, false) != 0)
        return fail(kClass, kMethod, "signedData", kBadSignature, sd.errorText());
    if (const int rc = sd.processSignerInfos(); rc != 0)
        return fail(kClass, kMethod, "signerInfos", rc == kSignerCertMissing ? kNoTsaCert : kBadSignature,
                    sd.errorText());
    int signers = 0;
    if (sd.getSignerCount(signers) != 0 || signers == 0 || sd.getSignerCert(0, m_TsaCert) != 0)
        return fail(kClass, kMethod, "signerCert", kNoTsaCert, "The token has no signer.");

    if (std::string_view(sd.getContentType()) != kOidTSTInfo)
        return fail(kClass, kMethod, "eContentType", kNotTSTInfo, "The content is not id-ct-TSTInfo.");
    if (m_TSTInfo.fromASN1Object(sd.getContent()) != 0)
        return fail(kClass, kMethod, "tstInfo", kBadTSTInfo, m_TSTInfo.errorText());
    return 0;
}

ByteString PTimeStampToken::hashAlgorithmOid() const {
    ASN1ObjectIdentifier oid(m_TSTInfo.getMessageImprint().getHashAlgorithm().getAlgorithm());
    return ByteString(oid.getOID());
}

ByteString PTimeStampToken::policyOid() const {
    ASN1ObjectIdentifier oid(m_TSTInfo.getPolicy());
    return ByteString(oid.getOID());
}

ByteString PTimeStampToken::serialNumber() const { return integerMagnitude(m_TSTInfo.getSerialNumber()); }

ByteString PTimeStampToken::nonce() const {
    return m_TSTInfo.hasNonce() ? integerMagnitude(m_TSTInfo.getNonce()) : ByteString();
}

}  // namespace qelt
