#include "ZRProcess/PIdentifyData.h"

#include <cstring>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ASN1Pkix/x509_extensions.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PCertUtil.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PIdentifyData";
constexpr const char* kIdentifyDataOid = "1 2 410 200004 10 1 1";
constexpr const char* kVidOid = "1 2 410 200004 10 1 1 1";
constexpr const char* kNoIdentifyDataText = "The certificate's SubjectAltName does not have identifyData.";

}  // namespace

int PIdentifyData::parseCertificate(const ByteString& cert) {
    const char* m = "parseCertificate";
    m_RealName.clear();
    m_VirtualID.clear();
    m_nHashAlg = 0;
    PCertUtil util;
    if (const int rc = util.parseCertificate(cert); rc != 0)
        return fail(kClass, m, "certificate", rc == PCertUtil::kNotCertificate ? kNotCertificate : 1, util.errorText());
    const ByteString& san = util.getSubjectAltNames();
    if (util.errorCode() == PCertUtil::kAbsent)
        return fail(kClass, m, "subjectAltName", kNoIdentifyData, kNoIdentifyDataText);
    if (util.errorCode() != 0) return fail(kClass, m, "subjectAltName", 2, util.errorText());
    RGeneralNames names;
    if (names.fromASN1Object(san) != 0) return fail(kClass, m, "subjectAltName", 3, names.errorText());
    for (int i = 0; i < names.getElementCount(); ++i) {
        RGeneralName name;
        if (names.getElement(i, name) != 0) return fail(kClass, m, "generalName", 4, name.errorText());
        if (!name.isOtherName() || !name.getOtherName().getTypeId().is(kIdentifyDataOid)) continue;
        return readIdentifyData(name.getOtherName().getValue().getEncoding());
    }
    return fail(kClass, m, "otherName", kNoIdentifyData, kNoIdentifyDataText);
}

int PIdentifyData::readIdentifyData(const ByteString& value) {
    const char* m = "readIdentifyData";
    RIdentifyData data;
    if (data.fromASN1Object(value) != 0) return fail(kClass, m, "identifyData", 5, data.errorText());
    const ASN1Sequence& userInfo = data.getUserInfo();
    if (userInfo.getComponentCount() < 1)
        return fail(kClass, m, "userInfo", kNoIdentifyData, "The identifyData does not have userInfo.");
    ASN1Sequence attr;
    if (attr.fromASN1Object(userInfo.componentBytes(0)) != 0) return fail(kClass, m, "userInfo", 6, attr.errorText());
    if (attr.getComponentCount() != 2) return fail(kClass, m, "userInfo", 7, "The number of components is not 2.");
    ASN1ObjectIdentifier type;
    if (type.fromASN1Object(attr.componentBytes(0)) != 0) return fail(kClass, m, "attrType", 8, type.errorText());
    if (!type.is(kVidOid)) return fail(kClass, m, "attrType", kNoIdentifyData, "AttrType is not OID_id_VID");
    RVID vid;
    if (vid.fromASN1Object(attr.componentBytes(1)) != 0) return fail(kClass, m, "vid", 9, vid.errorText());
    PAlgorithmUtil algs;
    if (algs.parseHashAlgID(vid.getHashAlg(), m_nHashAlg) != 0) return fail(kClass, m, "hashAlg", 10, algs.errorText());
    m_VirtualID.assign(vid.getVirtualID().getValue());
    m_RealName.assign(data.getRealName().getValue());
    return 0;
}

int PIdentifyData::verifyVID(const char* idn, const ByteString& random) {
    const char* m = "verifyVID";
    if (m_nHashAlg == 0) return fail(kClass, m, "vid", 1, "The identification data is not read.");
    RHashContent content;
    if (content.editIdn().setValue(idn) != 0)
        return fail(kClass, m, "idn", kVidDifferent, "The IDN is not a PrintableString.");
    if (content.editRandomNum().setBitString(random.data(), random.length(), 0) != 0)
        return fail(kClass, m, "randomNum", 2, content.getRandomNum().errorText());
    const ByteString& der = content.toASN1Object();
    if (der.isEmpty()) return fail(kClass, m, "hashContent", 3, content.errorText());
    ZRHash hash;
    ByteString digest;
    if (hash.DigestData(m_nHashAlg, der, digest, 2) != 0) return fail(kClass, m, "hash", 4, hash.errorText());
    if (!(digest == m_VirtualID)) return fail(kClass, m, "virtualID", kVidDifferent, "VID is different.");
    return 0;
}

}  // namespace qelt
