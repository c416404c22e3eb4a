#include "ZRProcess/PSubAltNameUtil.h"

#include "ASN1Pkix/trust_and_identity.h"
#include "ASN1Pkix/x509_extensions.h"
#include "ZRProcess/PGeneralNameUtil.h"
#include "ZRProcess/UUnicode.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kIdentifyDataOid = "1 2 410 200004 10 1 1";
constexpr const char* kVidOid = "1 2 410 200004 10 1 1 1";

struct Labelled {
    const char* oid;
    const char* label;
};
const Labelled kOtherNameLabels[] = {
    {"2 5 4 3", "     cn="},  {"2 5 4 5", "     일련번호="_cp949}, {"2 5 4 6", "     c="}, {"2 5 4 10", "     o="},
    {"2 5 4 11", "     ou="},
};

const Labelled kVidHashNames[] = {
    {"1 3 14 3 2 26", "SHA1"},
    {"1 2 840 113549 2 5", "MD5"},
    {"1 2 410 200004 1 2", "HAS160"},
};

// identifyData ::= SEQUENCE { realName UTF8String, userInfo SEQUENCE OF
// SEQUENCE { type OBJECT IDENTIFIER (the VID type), value VID } }.
// Writes its block and returns true when every part of it decodes.
bool appendIdentifyData(const ByteString& value, ByteString& out) {
    RIdentifyData data;
    if (data.fromASN1Object(value) != 0) return false;
    ASN1Sequence userInfo = data.getUserInfo();
    if (userInfo.getComponentCount() < 1) return false;
    ASN1Sequence first;
    if (first.fromASN1Object(userInfo.componentBytes(0)) != 0 || first.getComponentCount() != 2) return false;
    ASN1ObjectIdentifier type;
    if (type.fromASN1Object(first.componentBytes(0)) != 0 || !type.is(kVidOid)) return false;
    RVID vid;
    if (vid.fromASN1Object(first.componentBytes(1)) != 0) return false;
    ByteString realName;
    if (UUTF8String::UTF8ToKSC(data.getRealName().getValue(), realName) != 0) return false;

    out.append("     identifyData:\r\n");
    out.append("          실명 = "_cp949);
    out.append(realName);
    out.append("\r\n          VID:\r\n");
    out.append("             해쉬 알고리즘="_cp949);
    const ASN1ObjectIdentifier& hashAlg = vid.getHashAlg().getAlgorithm();
    const char* hashName = nullptr;
    for (const Labelled& h : kVidHashNames)
        if (hashAlg.is(h.oid)) hashName = h.label;
    out.append(hashName != nullptr ? ByteString(hashName) : PGeneralNameUtil::oidText(hashAlg));
    out.append("\r\n             virtualID=");
    out.append(vid.getVirtualID().getValue().toHex());
    return true;
}

}  // namespace

void PSubAltNameUtil::appendOtherName(const RAnotherName& other) {
    m_Result.append("OtherName:\r\n");
    const ByteString& value = other.getValue().getEncoding();
    const ASN1ObjectIdentifier& type = other.getTypeId();
    if (type.is(kIdentifyDataOid)) {
        ByteString block;
        if (appendIdentifyData(value, block)) {
            m_Result.append(block);
        } else {
            m_Result.append("     identifyData=");
            m_Result.append(value.toHex());
        }
        return;
    }
    for (const Labelled& l : kOtherNameLabels) {
        if (type.is(l.oid)) {
            m_Result.append(l.label);
            m_Result.append(value.toHex());
            return;
        }
    }
    m_Result.append("     ");
    m_Result.append(PGeneralNameUtil::oidText(type));
    m_Result.append("=");
    m_Result.append(value.toHex());
}

int PSubAltNameUtil::parseSubjectAlternativeName(const ByteString& extnValue) {
    resetForGetter();
    RGeneralNames names;
    if (names.fromASN1Object(extnValue) != 0)
        return fail("PSubAltNameUtil", "parseSubjectAlternativeName", "subjectAltName", 1, names.errorText());
    PGeneralNameUtil formatter;
    for (int i = 0; i < names.getElementCount(); ++i) {
        RGeneralName name;
        if (names.getElement(i, name) != 0) {
            m_Result.clear();
            return fail("PSubAltNameUtil", "parseSubjectAlternativeName", "subjectAltName", 1, name.errorText());
        }
        if (i > 0) m_Result.append("\r\n");
        if (name.isOtherName()) {
            appendOtherName(name.getOtherName());
        } else if (formatter.appendGeneralName(name, m_Result) != 0) {
            m_Result.clear();
            return fail("PSubAltNameUtil", "parseSubjectAlternativeName", "subjectAltName", 1, formatter.errorText());
        }
    }
    return 0;
}

}  // namespace qelt
