#include "ASN1Pkix/path_certificate.h"

#include "ASN1Pkix/PSignatureCheck.h"
#include "ZRProcess/UDNSettings.h"

namespace qelt {

namespace {

constexpr const char* kSlotOids[PathCertificate::kSlotCount] = {
    "2 5 29 35", "2 5 29 14", "2 5 29 15", "2 5 29 17", "2 5 29 19", "2 5 29 30",         "2 5 29 31",
    "2 5 29 32", "2 5 29 33", "2 5 29 36", "2 5 29 37", "2 5 29 54", "1 3 6 1 5 5 7 1 1",
};

// The encoded contents of the OIDs above, made once: slots are found by comparing bytes.
const std::vector<ByteString>& slotContents() {
    static const std::vector<ByteString> contents = [] {
        std::vector<ByteString> v;
        for (const char* oid : kSlotOids) v.push_back(ASN1ObjectIdentifier(oid).getValue());
        return v;
    }();
    return contents;
}

}  // namespace

int PathCertificate::decode(Asn1Input encoding) {
    m_Extensions.clear();
    m_Slots.fill(-1);
    m_SelfIssued.reset();
    m_SelfSigned.reset();
    m_bSkiRead = false;
    m_Ski.reset();
    if (m_Cert.fromASN1Object(encoding) != 0)
        return fail("PathCertificate", "decode", "certificate", 1, m_Cert.errorText());
    const RTBSCertificate& tbs = m_Cert.getTbsCertificate();
    if (tbs.hasExtensions()) {
        const RExtensions& list = tbs.getExtensions();
        const auto& known = slotContents();
        m_Extensions.resize(static_cast<size_t>(list.getElementCount()));
        for (int i = 0; i < list.getElementCount(); ++i) {
            RExtension& ext = m_Extensions[static_cast<size_t>(i)];
            if (list.getElement(i, ext) != 0) return fail("PathCertificate", "decode", "extension", 2, ext.errorText());
            const ByteString& id = ext.getExtnID().getValue();
            for (size_t k = 0; k < known.size(); ++k)
                if (known[k] == id) m_Slots[k] = i;
        }
    }
    RSubjectPublicKeyInfo key = tbs.getSubjectPublicKeyInfo();
    m_PublicKeyInfo.assign(key.toASN1Object());
    return 0;
}

const RExtension* PathCertificate::extension(Slot slot) const {
    const int pos = m_Slots[static_cast<size_t>(slot)];
    return pos < 0 ? nullptr : &m_Extensions[static_cast<size_t>(pos)];
}

const ByteString& PathCertificate::extensionValue(Slot slot) const {
    static const ByteString kEmpty;
    const RExtension* ext = extension(slot);
    return ext == nullptr ? kEmpty : ext->getExtnValue().getValue();
}

bool PathCertificate::isCritical(Slot slot) const {
    const RExtension* ext = extension(slot);
    return ext != nullptr && ext->hasCritical() && ext->getCritical().getBoolean();
}

bool PathCertificate::isSelfIssued() const {
    if (!m_SelfIssued) m_SelfIssued = UDNSettings::CompareByName(tbs().getSubject(), tbs().getIssuer()) == 0;
    return *m_SelfIssued;
}

bool PathCertificate::isSelfSigned() const {
    if (!m_SelfSigned) {
        PSignatureCheck check;
        m_SelfSigned = isSelfIssued() && check.verify(m_PublicKeyInfo, m_Cert.getSignatureAlgorithm(),
                                                      tbs().getReceivedEncoding().bytes(), m_Cert.getSignature()) == 0;
    }
    return *m_SelfSigned;
}

const std::optional<ByteString>& PathCertificate::subjectKeyIdentifier() const {
    if (!m_bSkiRead) {
        m_bSkiRead = true;
        ASN1OctetString keyId;
        if (const RExtension* ext = extension(kSubjectKeyIdentifier);
            ext != nullptr && keyId.fromASN1Object(ext->getExtnValue().getValue()) == 0)
            m_Ski = keyId.getValue();
    }
    return m_Ski;
}

int PathCertificate::ocspUrl(ByteString& url) const {
    url.clear();
    const RExtension* ext = extension(kAuthorityInfoAccess);
    if (ext == nullptr) return 0;
    RAuthorityInfoAccessSyntax aia;
    if (aia.fromASN1Object(ext->getExtnValue().getValue()) != 0) return 1;
    for (int i = 0; i < aia.getElementCount(); ++i) {
        RAccessDescription ad;
        if (aia.getElement(i, ad) != 0) return 1;
        if (!ad.getAccessMethod().is("1 3 6 1 5 5 7 48 1")) continue;
        if (!ad.getAccessLocation().isUniformResourceIdentifier()) return 2;
        url.assign(ad.getAccessLocation().getUniformResourceIdentifier().getValue());
        return 0;
    }
    return 0;
}

}  // namespace qelt
