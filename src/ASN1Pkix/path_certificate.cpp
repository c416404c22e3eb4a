#include "ASN1Pkix/path_certificate.h"

#include <algorithm>

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

// An extension in plain DER (SEQUENCE { OID, BOOLEAN?, OCTET STRING } with
// definite lengths) is read in place; any other spelling goes through the
// record, which also gives the refusal.
int PathCertificate::readExtension(std::span<const uint8_t> element, Extension& out) {
    using asn1::ElementBounds;
    ElementBounds outer, part;
    std::span<const uint8_t> parts[3];
    int count = 0;
    bool plain = asn1::scanElement(element, outer) && element[0] == 0x30 && !outer.indefinite;
    for (auto rest = plain ? element.subspan(outer.headerLen, outer.contentLen) : std::span<const uint8_t>();
         plain && !rest.empty(); rest = rest.subspan(part.totalLen)) {
        plain = count < 3 && asn1::scanElement(rest, part) && !part.indefinite;
        if (plain) parts[count++] = rest.subspan(0, part.totalLen);
    }
    const auto contentOf = [](std::span<const uint8_t> p) {
        ElementBounds b;
        asn1::scanElement(p, b);
        return p.subspan(b.headerLen, b.contentLen);
    };
    plain = plain && count >= 2 && parts[0][0] == 0x06 && parts[count - 1][0] == 0x04 &&
            (count == 2 || (parts[1][0] == 0x01 && contentOf(parts[1]).size() == 1));
    if (plain) {
        out.id = contentOf(parts[0]);
        out.critical = count == 3 && contentOf(parts[1])[0] == 0xFF;
        out.value = contentOf(parts[count - 1]);
        return 0;
    }
    auto record = std::make_unique<RExtension>();
    if (record->fromASN1Object(element) != 0)
        return fail("PathCertificate", "decode", "extension", 2, record->errorText());
    out.id = record->getExtnID().getValue().bytes();
    out.critical = record->hasCritical() && record->getCritical().getBoolean();
    out.value = record->getExtnValue().getValue().bytes();
    m_Decoded.push_back(std::move(record));
    return 0;
}

int PathCertificate::decode(Asn1Input encoding) {
    m_Extensions.clear();
    m_Decoded.clear();
    m_Slots.fill(-1);
    m_SelfIssued.reset();
    m_SelfSigned.reset();
    m_bSkiRead = false;
    m_Ski.reset();
    if (m_Cert.fromASN1Object(encoding) != 0)
        return fail("PathCertificate", "decode", "certificate", 1, m_Cert.errorText());
    const RTBSCertificate& tbs = m_Cert.getTbsCertificate();
    if (!tbs.hasExtensions()) return 0;
    const RExtensions& list = tbs.getExtensions();
    const auto& known = slotContents();
    m_Extensions.resize(static_cast<size_t>(list.getElementCount()));
    for (int i = 0; i < list.getElementCount(); ++i) {
        Extension& ext = m_Extensions[static_cast<size_t>(i)];
        if (readExtension(list.elementBytes(i), ext) != 0) return 2;
        for (size_t k = 0; k < known.size(); ++k)
            if (known[k].bytes().size() == ext.id.size() &&
                std::equal(ext.id.begin(), ext.id.end(), known[k].bytes().begin()))
                m_Slots[k] = i;
    }
    return 0;
}

ByteString PathCertificate::Extension::oidText() const {
    ASN1ObjectIdentifier oid;
    oid.setValue(id.data(), static_cast<int>(id.size()));
    return ByteString(oid.getOID());
}

const PathCertificate::Extension* PathCertificate::extension(Slot slot) const {
    const int pos = m_Slots[static_cast<size_t>(slot)];
    return pos < 0 ? nullptr : &m_Extensions[static_cast<size_t>(pos)];
}

std::span<const uint8_t> PathCertificate::extensionValue(Slot slot) const {
    const Extension* ext = extension(slot);
    return ext == nullptr ? std::span<const uint8_t>() : ext->value;
}

bool PathCertificate::isCritical(Slot slot) const {
    const Extension* ext = extension(slot);
    return ext != nullptr && ext->critical;
}

bool PathCertificate::isSelfIssued() const {
    if (!m_SelfIssued) m_SelfIssued = UDNSettings::CompareByName(tbs().getSubject(), tbs().getIssuer()) == 0;
    return *m_SelfIssued;
}

// The roots whose self-signature verified lately, by their exact encoding.
// Per thread, so no lock is taken; a handful of slots replaced in turn.
struct SelfSignedRoots {
    static constexpr size_t kSlots = 8;
    std::array<ByteString, kSlots> der;
    size_t next = 0;

    bool knows(const ByteString& cert) const {
        for (const ByteString& d : der)
            if (!d.isEmpty() && d == cert) return true;
        return false;
    }
    void remember(const ByteString& cert) {
        der[next].assign(cert);
        next = (next + 1) % kSlots;
    }
};

bool PathCertificate::isSelfSigned() const {
    if (!m_SelfSigned) {
        thread_local SelfSignedRoots roots;
        if (!isSelfIssued()) {
            m_SelfSigned = false;
        } else if (roots.knows(der())) {
            m_SelfSigned = true;
        } else {
            PSignatureCheck check;
            m_SelfSigned = check.verify(publicKeyInfo(), m_Cert.getSignatureAlgorithm(),
                                        tbs().getReceivedEncoding().bytes(), m_Cert.getSignature()) == 0;
            if (*m_SelfSigned) roots.remember(der());
        }
    }
    return *m_SelfSigned;
}

const std::optional<ByteString>& PathCertificate::subjectKeyIdentifier() const {
    if (!m_bSkiRead) {
        m_bSkiRead = true;
        ASN1OctetString keyId;
        if (const Extension* ext = extension(kSubjectKeyIdentifier);
            ext != nullptr && keyId.fromASN1Object(ext->value) == 0)
            m_Ski = keyId.getValue();
    }
    return m_Ski;
}

int PathCertificate::ocspUrl(ByteString& url) const {
    url.clear();
    const Extension* ext = extension(kAuthorityInfoAccess);
    if (ext == nullptr) return 0;
    RAuthorityInfoAccessSyntax aia;
    if (aia.fromASN1Object(ext->value) != 0) return 1;
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
