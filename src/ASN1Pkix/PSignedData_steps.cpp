// PSignedData: the second step of signing in two steps, and time-stamp
// tokens added to the signers of an existing message.
#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/PSignedData.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PSignedData";
constexpr const char* kNoMemory = "The memory allocation is failed.";
}  // namespace

void PSignedData::setHashAlgorithm(int nHashAlg) { m_nHashAlg = nHashAlg != 0 ? nHashAlg : ALG_SHA1; }

int PSignedData::composeSignedData(const ByteString& signature, ByteString& out) {
    constexpr const char* kMethod = "composeSignedData";
    if (m_SignerCert.isEmpty() || m_nHashAlg == 0)
        return fail(kClass, kMethod, "m_SignerCert", 1, "First, use getTBSData().");
    // The signer of an earlier compose is replaced, so every compose of the
    // same pending message gives one signer.
    if (!m_pSignedData) {
        m_pSignerInfos.reset();
        m_pDigestAlgorithms.reset();
    }
    PAlgorithmUtil algs;
    RAlgorithmIdentifier digestAlg;
    if (algs.makeAlgorithmID(m_nHashAlg, digestAlg) != 0)
        return fail(kClass, kMethod, "digestAlg", 2, algs.errorText());
    if (addAlgToDigestAlgorithmIdentifiers(digestAlg) != 0) return m_nErrorCode;
    const ByteString cert(m_SignerCert);
    RCertificate decoded;
    if (decoded.fromASN1Object(cert) != 0) return fail(kClass, "addSignerInfo", "cert", 2, "Invalid certificate.");
    if (appendSignerInfo(decoded, signature) != 0) return m_nErrorCode;
    RCertificateSet& set = certificateSet();
    bool present = false;
    for (int i = 0; i < set.getElementCount() && !present; ++i) present = set.getElement(i) == cert;
    if (!present && set.addElement(cert) != 0) return fail(kClass, kMethod, "certificates", 3, kNoMemory);
    if (m_pSignedData) m_pSignedData->setCertificates(RCertificateSet(m_pSignedData->getCertificates()));
    return makeSignedData(out);
}

int PSignedData::setTimeStampToken(const ByteString& signedData, int index, const ByteString& token, ByteString& out) {
    constexpr const char* kMethod = "setTimeStampToken";
    ByteString der;
    if (getPureSigendData(signedData, der) != 0) return m_nErrorCode;
    RSignedData sd;
    if (sd.fromASN1Object(der) != 0)
        return fail(kClass, kMethod, "signedData", kNotSignedData, "It is not signedData.");
    RSignerInfos& infos = sd.editSignerInfos();
    RSignerInfo signer;
    if (index < 0 || index >= infos.getElementCount() || infos.getElement(index, signer) != 0)
        return fail(kClass, kMethod, "signerInfo", 2, "The signerInfo of the index does not exist.");

    RAttributes unsignedAttrs;
    if (signer.hasUnsignedAttrs()) {
        unsignedAttrs = signer.getUnsignedAttrs();
        RAttribute existing;
        if (unsignedAttrs.findAttribute(oid::kTimeStampTokenAttr, existing) == 0)
            return fail(kClass, kMethod, "unsignedAttrs", 5, "The signer already have a TimeStampToken.");
    }
    RAttribute attr;
    attr.setAttrType(ASN1ObjectIdentifier(oid::kTimeStampTokenAttr));
    ASN1Set values;
    if (values.addComponent(token) != 0) return fail(kClass, kMethod, "timeStampToken", 3, kNoMemory);
    attr.setAttrValues(values);
    if (unsignedAttrs.addElement(attr) != 0) return fail(kClass, kMethod, "unsignedAttrs", 3, kNoMemory);
    signer.setUnsignedAttrs(unsignedAttrs);

    // The other signers keep their encodings and places.
    RSignerInfos rebuilt;
    for (int i = 0; i < infos.getElementCount(); ++i) {
        const int rc = i == index ? rebuilt.addElement(signer) : rebuilt.addElement(ByteString(infos.getElement(i)));
        if (rc != 0) return fail(kClass, kMethod, "signerInfos", 4, kNoMemory);
    }
    sd.setSignerInfos(rebuilt);
    const ByteString& encoded = sd.toASN1Object();
    if (sd.errorCode() != 0 || encoded.isEmpty())
        return fail(kClass, kMethod, "signedData", 6, "Encoding the SignedData failed.");
    out.assign(encoded);
    return 0;
}

}  // namespace qelt
