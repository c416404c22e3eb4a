#include "net/ldap_path_builder.h"

#include "ASN1/asn1_cursor.h"
#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PPublicKey.h"
#include "ZRProcess/UDNSettings.h"
#include "net/ldap_directory.h"
#include "net/ldap_url.h"
#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr const char* kCaAttribute = "cacertificate";

// The TBSCertificate of an encoded certificate exactly as received.
bool tbsBytes(const ByteString& cert, ByteString& tbs) {
    asn1::ElementBounds outer, inner;
    const auto in = cert.bytes();
    if (!asn1::scanElement(in, outer) || outer.indefinite) return false;
    const auto body = in.subspan(outer.headerLen, outer.contentLen);
    if (!asn1::scanElement(body, inner)) return false;
    tbs = ByteString(body.first(inner.totalLen));
    return true;
}

}  // namespace

bool isSelfSignedCertificate(const ByteString& cert) {
    PCertUtil parsed;
    if (parsed.parseCertificate(cert) != 0) return false;
    const RCertificate* c = parsed.certificate();
    const RTBSCertificate& tbsCert = c->getTbsCertificate();
    if (UDNSettings::CompareByName(tbsCert.getSubject(), tbsCert.getIssuer()) != 0) return false;
    ByteString tbs;
    int hashAlg = 0;
    PAlgorithmUtil algs;
    if (!tbsBytes(cert, tbs) || algs.getHashAlgFromSignAlg(c->getSignatureAlgorithm(), hashAlg) != 0) return false;
    const ByteString signature(parsed.getCertSignatureValue());
    PPublicKey key;
    return key.verifySignatureWithCert(cert, tbs, signature, hashAlg) == 0;
}

int buildCertPathFromDirectory(const DirectorySettings& settings, const ByteString& cert, ByteString& bundle,
                               ServiceFailure& failure) {
    bundle.clear();
    RPCaPubs path;
    ByteString current(cert);
    for (int fetched = 0;; ++fetched) {
        PCertUtil subject;
        if (subject.parseCertificate(current) != 0)
            return failure.setCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, subject);
        const ByteString issuerDN(subject.getIssuerDN());
        if (subject.errorCode() != 0)
            return failure.setCore(QELT_ERR_CERT_INVALID, "잘못된 인증서 입니다."_cp949, subject);
        if (fetched == kMaxDirectoryIssuers)
            return failure.set(QELT_ERR_PATH_FETCH, "인증경로를 획득하는데 실패하였습니다."_cp949);

        LdapInfo info;
        if (const int rc = findLdapInfo(settings.confPath, issuerDN, info, failure); rc != 0) return rc;
        const ByteString address = joinDirectoryAddress(info.url, issuerDN);
        ParsedUrl url;
        DirectoryAnswer answer;
        int rc = parseURL(address.c_str(), UrlProtocol::Ldap, url, failure);
        if (rc == 0)
            rc = getDirectoryData(url.host, url.port, ByteString(url.path.c_str()), kCaAttribute, settings.timeOut,
                                  false, answer, failure);
        if (rc != 0) {
            failure.prepend("%s?%s에서 CA 인증서 획득 실패 - "_cp949, address.c_str(), kCaAttribute);
            return rc;
        }

        // The first value that is a certificate of the issuer named.
        const RRDNSequence& wantedName = subject.certificate()->getTbsCertificate().getIssuer();
        const ByteString* issuer = nullptr;
        for (const ByteString& value : answer.values) {
            PCertUtil candidate;
            if (candidate.parseCertificate(value) == 0 &&
                UDNSettings::CompareByName(candidate.certificate()->getTbsCertificate().getSubject(), wantedName) ==
                    0) {
                issuer = &value;
                break;
            }
        }
        if (issuer == nullptr)
            return failure.setf(QELT_ERR_LDAP_NO_ISSUER_CERT,
                                "%s의 속성 cacertificate에 유효한 발급자 인증서가 없습니다."_cp949, address.c_str());
        if (path.addElement(*issuer) != 0) return failure.set(QELT_ERR_MEMORY, "메모리 할당 실패"_cp949);
        if (isSelfSignedCertificate(*issuer)) break;
        current = *issuer;
    }
    bundle.assign(path.toASN1Object());
    return 0;
}

}  // namespace qelt
