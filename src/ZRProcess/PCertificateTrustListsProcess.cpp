#include "ZRProcess/PCertificateTrustListsProcess.h"

#include <cstring>

#include "ASN1/asn1_cursor.h"
#include "ASN1Pkix/PSignedDataProcess.h"
#include "ASN1Pkix/signed_data_oids.h"
#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PCertificateTrustListsProcess";
constexpr const char* kCtlContentType = "1 3 6 1 4 1 311 10 1";
// PSignedDataProcess's step for a SignerInfo whose certificate is neither in
// the message nor among those added.
constexpr int kSignerWithoutCertificate = 12;

struct SubjectHash {
    const char* oid;
    int alg;
};
// The hashes a list may identify its subjects by.
constexpr SubjectHash kSubjectHashes[] = {
    {"1 3 14 3 2 26", ALG_SHA1},
    {"1 2 840 113549 2 5", ALG_MD5},
    {"1 2 410 200004 1 2", ALG_HAS160},
    {"2 16 840 1 101 3 4 2 1", ALG_SHA256},
};

// The CTL's DER inside the SignedData's content: an OCTET STRING's octets
// (CMS form), or the CTL itself, possibly still under its [0] tag (PKCS #7 form).
bool ctlEncoding(std::span<const uint8_t> content, ByteString& out) {
    asn1::ElementBounds e;
    if (content.empty() || !asn1::scanElement(content, e)) return false;
    if (content[0] == 0xA0) return ctlEncoding(content.subspan(e.headerLen, e.contentLen), out);
    out = ByteString(content.first(e.totalLen));
    return true;
}

}  // namespace

int PCertificateTrustListsProcess::addSignerCert(const ByteString& cert) {
    m_SignerCerts.push_back(cert);
    return 0;
}

int PCertificateTrustListsProcess::parseCTL(const ByteString& ctl) {
    constexpr const char* kMethod = "parseCTL";
    m_Subjects.clear();
    m_SignerCert.clear();
    m_tThisUpdate = 0;
    m_tNextUpdate = kNoNextUpdate;

    RContentInfo info;
    if (info.fromASN1Object(ctl) != 0 || !info.getContentType().is(oid::kSignedData))
        return fail(kClass, kMethod, "contentType", kNotCTL, "ContentType is not SignedData.");

    PSignedDataProcess signedData;
    for (const ByteString& c : m_SignerCerts) signedData.addSignerCert(c);
    if (signedData.parseSignedData(ctl, false) != 0)
        return fail(kClass, kMethod, "signedData", kNotCTL, signedData.errorText());
    if (std::strcmp(signedData.getContentType(), kCtlContentType) != 0)
        return fail(kClass, kMethod, "eContentType", kNotCTL, "ContentType is not Certificate Trust Lists.");

    ByteString encoding;
    if (!ctlEncoding(signedData.getContent(), encoding) || m_List.fromASN1Object(encoding) != 0)
        return fail(kClass, kMethod, "m_pCTL", 2, m_List.errorText());
    if (m_List.getVersion() != 0) return fail(kClass, kMethod, "version", 3, "Only support version 1 CTL.");

    if (signedData.processSignerInfos() != 0) {
        const int code = signedData.errorCode() == kSignerWithoutCertificate ? kNoSignerCert : 4;
        return fail(kClass, kMethod, "signature", code, signedData.errorText());
    }
    int signers = 0;
    if (signedData.getSignerCount(signers) != 0 || signers == 0 || signedData.getSignerCert(0, m_SignerCert) != 0)
        return fail(kClass, kMethod, "signerCert", kNoSignerCert,
                    "There is not the certificate of the signer of the CTL.");

    if (!m_List.hasTrustedSubjects())
        return fail(kClass, kMethod, "trustedSubjects", 5, "The TrustedSubjects does not exist.");
    RTrustedSubjects subjects(m_List.getTrustedSubjects());
    for (int i = 0; i < subjects.getElementCount(); ++i) {
        RTrustedCertificate subject;
        if (subjects.getElement(i, subject) != 0)
            return fail(kClass, kMethod, "trustedSubject", 6, subject.errorText());
        m_Subjects.push_back(subject.getTrustedCertificateHash().getValue());
    }
    m_tThisUpdate = m_List.getThisUpdate().getGMTTime();
    if (m_List.hasNextUpdate()) m_tNextUpdate = m_List.getNextUpdate().getGMTTime();
    if (m_tThisUpdate == kNoTime || m_tNextUpdate == kNoTime)
        return fail(kClass, kMethod, "thisUpdate", 7, "The CTL's time is invalid.");
    return 0;
}

int PCertificateTrustListsProcess::subjectHashAlgorithm() const {
    const ASN1ObjectIdentifier& algorithm = m_List.getSubjectAlgorithm().getAlgorithm();
    for (const SubjectHash& h : kSubjectHashes)
        if (algorithm.is(h.oid)) return h.alg;
    return 0;
}

bool PCertificateTrustListsProcess::listsDigest(const ByteString& digest) const {
    for (const ByteString& subject : m_Subjects)
        if (subject.equals(digest)) return true;
    return false;
}

}  // namespace qelt
