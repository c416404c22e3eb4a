#include "ZRProcess/PCertUtil2.h"

#include "ZRProcess/UDNSettings.h"
#include "ZRProcess/cert_validity_time.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PCertUtil2";
}

int PCertUtil2::parse(Asn1Input encoding) {
    resetForGetter();
    m_pTBSCert = nullptr;
    m_pCert.reset();
    {
        ASN1Sequence outer;
        if (outer.fromASN1Object(encoding) != 0) return fail(kClass, "parse", "asnSeq", 2, outer.errorText());
    }
    auto cert = std::make_unique<RCertificate>();
    if (cert->fromASN1Object(encoding) != 0)
        return fail(kClass, "parse", "m_pCert", kNotCertificate, cert->errorText());
    m_pCert = std::move(cert);
    m_pTBSCert = &m_pCert->getTbsCertificate();
    return 0;
}

bool PCertUtil2::ready(const char* method) {
    resetForGetter();
    if (m_pTBSCert != nullptr) return true;
    fail(kClass, method, "m_pTBSCert", 1, "The certificate does not set.");
    return false;
}

const ByteString& PCertUtil2::nameText(const RRDNSequence& name, const char* method, const char* label) {
    if (UDNSettings::RDN2Str(name, m_Result) != 0) fail(kClass, method, label, 2, "Wrong RDNSequence form.");
    return m_Result;
}

const ByteString& PCertUtil2::getIssuerDN() {
    if (!ready("getIssuerDN")) return m_Result;
    return nameText(m_pTBSCert->getIssuer(), "getIssuerDN", "issuer");
}

const ByteString& PCertUtil2::getSubjectDN() {
    if (!ready("getSubjectDN")) return m_Result;
    return nameText(m_pTBSCert->getSubject(), "getSubjectDN", "subject");
}

int PCertUtil2::getNotBefore(int64_t& time) {
    if (!ready("getNotBefore")) return m_nErrorCode;
    return validityTime(*this, kClass, "getNotBefore", "notBefore", m_pTBSCert->getValidity().getNotBefore(), time);
}

int PCertUtil2::getNotAfter(int64_t& time) {
    if (!ready("getNotAfter")) return m_nErrorCode;
    return validityTime(*this, kClass, "getNotAfter", "notAfter", m_pTBSCert->getValidity().getNotAfter(), time);
}

const ByteString& PCertUtil2::getSubjectPublicKeyInfo() {
    if (!ready("getSubjectPublicKeyInfo")) return m_Result;
    RSubjectPublicKeyInfo spki = m_pTBSCert->getSubjectPublicKeyInfo();
    m_Result.assign(spki.toASN1Object());
    return m_Result;
}

}  // namespace qelt
