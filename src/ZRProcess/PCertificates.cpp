#include "ZRProcess/PCertificates.h"

namespace qelt {

namespace {
constexpr const char* kClass = "PCertificates";
}

int PCertificates::addCert(const ByteString& cert) {
    resetForGetter();
    if (m_pCerts.addElement(cert) != 0)
        return fail(kClass, "addCert", "m_pCerts", 1, "The memory allocation is failed.");
    m_bHasCerts = true;
    return 0;
}

int PCertificates::setCerts(const ByteString& list) {
    resetForGetter();
    m_pCerts.reset();
    m_bHasCerts = false;
    if (m_pCerts.fromASN1Object(list) != 0) return fail(kClass, "setCerts", "m_pCerts", 1, m_pCerts.errorText());
    // Every element must at least be a SEQUENCE: a lone certificate is not a list.
    for (int i = 0; i < m_pCerts.getElementCount(); ++i) {
        const ByteString& element = m_pCerts.getElement(i);
        if (element.isEmpty() || element.data()[0] != 0x30)
            return fail(kClass, "setCerts", "m_pCerts", 1, "A component of the list is not a SEQUENCE.");
    }
    m_bHasCerts = true;
    return 0;
}

int PCertificates::getCert(int index, ByteString& cert) {
    resetForGetter();
    cert.clear();
    if (!m_bHasCerts) return fail(kClass, "getCert", "m_pCerts", 1, "At first, set Certificates");
    if (index < 0 || index >= m_pCerts.getElementCount()) {
        ByteString message;
        message.format("The cert count is %d.", m_pCerts.getElementCount());
        return fail(kClass, "getCert", "nIndex", 2, message.c_str());
    }
    cert.assign(m_pCerts.getElement(index));
    return 0;
}

int PCertificates::getCerts(ByteString& list) {
    resetForGetter();
    list.clear();
    if (!m_bHasCerts) return fail(kClass, "getCerts", "m_pCerts", 1, "At first, add Cert");
    list.assign(m_pCerts.toASN1Object());
    if (list.isEmpty()) return fail(kClass, "getCerts", "m_pCerts", 2, m_pCerts.errorText());
    return 0;
}

}  // namespace qelt
