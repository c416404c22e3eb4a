#include "net/ocsp_response.h"

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ZRProcess/PPublicKey.h"
#include "net/ocsp_request.h"

namespace qelt {

namespace {

constexpr const char* kClass = "POCSPResProcess";
constexpr const char* kMethod = "parseOcspResponse";

}  // namespace

int POCSPResProcess::parseOcspResponse(std::span<const uint8_t> der) {
    m_nStatus = -1;
    m_pCerts.clear();
    m_bHasNonce = false;
    m_Nonce.clear();
    m_stSingleRes.clear();
    m_nErrorCode = 0;

    ROCSPResponse response;
    if (response.fromASN1Object(der) != 0)
        return fail(kClass, kMethod, "ocspResponse", kBadResponse, response.errorText());
    m_nStatus = response.getResponseStatus().getInteger();
    if (m_nStatus != 0)
        return fail(kClass, kMethod, "responseStatus", kNotSuccessful, "The response is not successful.");
    if (!response.hasResponseBytes())
        return fail(kClass, kMethod, "responseBytes", kBadResponse, "Response Bytes does not exist.");
    const RResponseBytes& bytes = response.getResponseBytes();
    if (!bytes.getResponseType().is(oid::kOcspBasic))
        return fail(kClass, kMethod, "responseType", kBadResponse, "Response type is not OID_id_pkix_ocsp_basic.");
    return parseBasicResponse(bytes.getResponse().getValue());
}

int POCSPResProcess::parseBasicResponse(const ByteString& basicDer) {
    RBasicOCSPResponse basic;
    if (basic.fromASN1Object(basicDer) != 0)
        return fail(kClass, kMethod, "basicOCSPResponse", kBadResponse, basic.errorText());
    const RResponseData& data = basic.getTbsResponseData();
    if (data.getVersion() != 0)
        return fail(kClass, kMethod, "version", kBadResponse, "ResponseData Version is not v1(0).");
    if (data.getResponderID().getBitMask() == 0)
        return fail(kClass, kMethod, "responderID", kBadResponse, "Responder Id does not exist.");

    if (basic.hasCerts()) {
        const ASN1Sequence& certs = basic.getCerts();
        for (int i = 0; i < certs.getComponentCount(); ++i) m_pCerts.emplace_back(certs.componentBytes(i));
    }
    if (m_pCerts.empty()) return fail(kClass, kMethod, "certs", kNoResponderCert, "Responder Cert is required.");

    // The signature over the ResponseData exactly as received.
    PAlgorithmUtil algs;
    int hashAlg = 0;
    if (algs.getHashAlgFromSignAlg(basic.getSignatureAlgorithm(), hashAlg) != 0)
        return fail(kClass, kMethod, "signatureAlgorithm", kBadResponse, algs.errorText());
    int unusedBits = 0;
    const ByteString signature(basic.editSignature().getBitString(unusedBits));
    PPublicKey key;
    if (key.verifySignatureWithCert(m_pCerts.front(), data.getReceivedEncoding(), signature, hashAlg) != 0)
        return fail(kClass, kMethod, "signature", kBadResponse, key.errorText());

    const ASN1Sequence& responses = data.getResponses();
    const int count = responses.getComponentCount();
    if (count > kMaxSingleResponses)
        return fail(kClass, kMethod, "responses", kBadResponse, "SingleResponse count over(128)");
    m_stSingleRes.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        if (parseSingleResponse(responses.componentBytes(i), m_stSingleRes[static_cast<size_t>(i)]) != 0)
            return m_nErrorCode;
    if (data.hasResponseExtensions()) readNonce(data.getResponseExtensions());
    return 0;
}

int POCSPResProcess::parseSingleResponse(std::span<const uint8_t> der, SingleResponse& out) {
    RSingleResponse single;
    if (single.fromASN1Object(der) != 0)
        return fail(kClass, kMethod, "singleResponse", kBadResponse, single.errorText());
    out.certID = single.getCertID();
    const RCertStatus& status = single.getCertStatus();
    if (status.isGood()) {
        out.status = CertStatus::Good;
    } else if (status.isRevoked()) {
        out.status = CertStatus::Revoked;
        const RRevokedInfo& info = status.getRevoked();
        out.revocationTime.assign(info.getRevocationTime().getValue());
        if (info.hasRevocationReason()) out.reason = info.getRevocationReason().getInteger();
    } else {
        out.status = CertStatus::Unknown;
    }
    out.thisUpdate.assign(single.getThisUpdate().getValue());
    if (single.hasNextUpdate()) out.nextUpdate.assign(single.getNextUpdate().getValue());
    if (single.hasSingleExtensions()) {
        RExtensions exts = single.getSingleExtensions();
        out.extensions.assign(exts.toASN1Object());
    }
    return 0;
}

void POCSPResProcess::readNonce(const RExtensions& extensions) {
    RExtension ext;
    if (extensions.findExtension(oid::kOcspNonce, ext) != 0) return;
    const ByteString& value = ext.getExtnValue().getValue();
    // RFC 6960 wraps the nonce in an OCTET STRING; older responders put the
    // bare value. Either way the nonce is what the request sent.
    ASN1OctetString inner;
    if (!value.isEmpty() && value.data()[0] == asn1::kTagOctetString && inner.fromASN1Object(value) == 0 &&
        inner.toASN1Object().length() == value.length())
        m_Nonce.assign(inner.getValue());
    else
        m_Nonce.assign(value);
    m_bHasNonce = true;
}

}  // namespace qelt
