#include "net/ocsp_request.h"

#include <cstring>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PAuthKeyIdentUtil.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PPrivateKey.h"

namespace qelt {

namespace {

constexpr const char* kClass = "POCSPReq";
constexpr const char* kNoMemory = "Memory allocation is failed.";

struct CertIdHash {
    const char* oid;
    int alg;
};
constexpr CertIdHash kCertIdHashes[] = {
    {oid::kSha1, ALG_SHA1},
    {oid::kMd5, ALG_MD5},
    {oid::kSha256, ALG_SHA256},
};

// The hashes a signed request is tried with, the first the key accepts.
constexpr int kSignatureHashes[] = {ALG_SHA256, ALG_SHA1};

}  // namespace

POCSPReq::POCSPReq() = default;

int POCSPReq::setRequestorCert(const ByteString& signerCert) {
    constexpr const char* kMethod = "setRequestorCert";
    PCertUtil cert;
    if (cert.parseCertificate(signerCert) != 0) return fail(kClass, kMethod, "signerCert", 1, cert.errorText());
    RGeneralName name;
    name.setDirectoryName(cert.certificate()->getTbsCertificate().getSubject());
    m_TBSReq.setRequestorName(name);
    return 0;
}

int POCSPReq::addTargetCertByCert(const ByteString& target, const ByteString* issuerCert, const char* hashOid) {
    return addRequest(target, issuerCert, hashOid, false);
}

int POCSPReq::addTargetCertsByList(const ByteString& certList) {
    constexpr const char* kMethod = "addTargetCertsByList";
    ASN1Sequence list;
    if (list.fromASN1Object(certList) != 0 || list.getComponentCount() == 0)
        return fail(kClass, kMethod, "certList", kBadTargetList, "The target certificate list is invalid.");
    m_bServiceLocator = true;
    for (int i = 0; i < list.getComponentCount(); ++i) {
        const ByteString cert(list.componentBytes(i));
        if (addRequest(cert, nullptr, oid::kSha1, true) != 0) return m_nErrorCode;
    }
    return 0;
}

int POCSPReq::addRequest(const ByteString& target, const ByteString* issuerCert, const char* hashOid,
                         bool serviceLocator) {
    constexpr const char* kMethod = "addTargetCertByCert";
    int hashAlg = 0;
    for (const CertIdHash& h : kCertIdHashes)
        if (std::strcmp(h.oid, hashOid) == 0) hashAlg = h.alg;
    if (hashAlg == 0) {
        ByteString message;
        message.format("szHashAlgOID(%s) is not suported hash algorithm.", hashOid);
        return fail(kClass, kMethod, "szHashAlgOID", 1, message.c_str());
    }
    PCertUtil cert;
    if (cert.parseCertificate(target) != 0) return fail(kClass, kMethod, "targetCert", 2, cert.errorText());

    // issuerNameHash over the issuer's DER name, issuerKeyHash over its key bits.
    ByteString issuerName, issuerKeyHash;
    if (issuerCert != nullptr) {
        PCertUtil issuer;
        if (issuer.parseCertificate(*issuerCert) != 0)
            return fail(kClass, kMethod, "issuerCert", 3, issuer.errorText());
        issuerName.assign(issuer.getSubject());
        ZRHash hash;
        if (hash.DigestData(hashAlg, issuer.getSubjectPublicKey(), issuerKeyHash) != 0)
            return fail(kClass, kMethod, "issuerKeyHash", 4, hash.errorText());
    } else {
        issuerName.assign(cert.getIssuer());
        const ByteString& aki = cert.getAuthorityKeyIdentifier();
        PAuthKeyIdentUtil akiUtil;
        if (cert.errorCode() != 0 || akiUtil.parseAuthorityKeyIdentifer(aki) != 0)
            return fail(kClass, kMethod, "authorityKeyIdentifier", 5, "Authority Key Identifier does not exist.");
        if (akiUtil.getKeyIdentifier().length() != 20)
            return fail(kClass, kMethod, "keyIdentifier", 6, "Issuer Key Id's length is not 20.");
        issuerKeyHash.assign(akiUtil.getKeyIdentifier());
    }
    ByteString issuerNameHash;
    ZRHash hash;
    if (hash.DigestData(hashAlg, issuerName, issuerNameHash) != 0)
        return fail(kClass, kMethod, "issuerNameHash", 4, hash.errorText());

    ROCSPCertID certId;
    PAlgorithmUtil algs;
    RAlgorithmIdentifier hashAlgId;
    if (algs.makeDigestAlgID(hashOid, hashAlgId) != 0)
        return fail(kClass, kMethod, "hashAlgorithm", 7, algs.errorText());
    certId.setHashAlgorithm(hashAlgId);
    certId.editIssuerNameHash().setValue(issuerNameHash);
    certId.editIssuerKeyHash().setValue(issuerKeyHash);
    certId.setSerialNumber(cert.certificate()->getTbsCertificate().getSerialNumber());

    RRequest request;
    request.setReqCert(certId);
    if (serviceLocator) {
        // The responder may forward the request to the one named in the
        // certificate's Authority Information Access.
        const ByteString& aia = cert.getAuthorityInformationAccess();
        if (cert.errorCode() == 0) {
            RServiceLocator locator;
            locator.setIssuer(cert.certificate()->getTbsCertificate().getIssuer());
            if (locator.editLocator().fromASN1Object(aia) != 0)
                return fail(kClass, kMethod, "authorityInfoAccess", 8, "Authority Information Access is invalid.");
            RExtension ext;
            ext.editExtnID().setOID(oid::kOcspServiceLocator);
            ext.editExtnValue().setValue(locator.toASN1Object());
            RExtensions exts;
            if (exts.addElement(ext) != 0) return fail(kClass, kMethod, "serviceLocator", 9, kNoMemory);
            request.setSingleRequestExtensions(exts);
        }
    }
    if (m_RequestList.addComponent(request.toASN1Object()) != 0)
        return fail(kClass, kMethod, "requestList", 9, kNoMemory);
    return 0;
}

int POCSPReq::addExtension(const char* oidText, const ByteString& value) {
    RExtension ext;
    ext.editExtnID().setOID(oidText);
    ext.editExtnValue().setValue(value);
    if (m_Extensions.addElement(ext) != 0) return fail(kClass, "addExtension", "extension", 1, kNoMemory);
    return 0;
}

int POCSPReq::setNonce(const ByteString& nonce) {
    // The extension value is an OCTET STRING holding the nonce.
    ASN1OctetString octets;
    octets.setValue(nonce);
    return addExtension(oid::kOcspNonce, octets.toASN1Object());
}

int POCSPReq::setAcceptableResponses() {
    ASN1ObjectIdentifier basic(oid::kOcspBasic);
    m_AcceptableRes.reset();
    if (m_AcceptableRes.addElement(basic) != 0)
        return fail(kClass, "setAcceptableResponses", "acceptableResponses", 1, kNoMemory);
    return addExtension(oid::kOcspAcceptableResponses, m_AcceptableRes.toASN1Object());
}

int POCSPReq::buildTBSRequest() {
    if (m_RequestList.getComponentCount() == 0)
        return fail(kClass, "makeOcspReq", "requestList", 1, "The target certificate is not set.");
    m_TBSReq.setRequestList(m_RequestList);
    if (m_Extensions.getElementCount() > 0) m_TBSReq.setRequestExtensions(m_Extensions);
    return 0;
}

int POCSPReq::makeOcspReq(ByteString& der) {
    if (buildTBSRequest() != 0) return m_nErrorCode;
    ROCSPRequest request;
    request.setTbsRequest(m_TBSReq);
    der.assign(request.toASN1Object());
    return 0;
}

int POCSPReq::makeSigOcspReq(const ByteString& signerCert, const ByteString& signerKey, ByteString& der) {
    constexpr const char* kMethod = "makeSigOcspReq";
    if (buildTBSRequest() != 0) return m_nErrorCode;
    const ByteString tbs(m_TBSReq.toASN1Object());

    PPrivateKey key;
    if (key.setPrivateKeyInfo(signerKey) != 0)
        return fail(kClass, kMethod, "signerKey", kNotPrivateKey, key.errorText());
    // The signature algorithm follows the key; the hash is SHA-256 where the
    // key algorithm takes it.
    PAlgorithmUtil algs;
    RAlgorithmIdentifier signAlg;
    int hashAlg = 0;
    for (const int h : kSignatureHashes) {
        if (algs.makeSignAlgID(key.algorithmOid(), h, signAlg) == 0) {
            hashAlg = h;
            break;
        }
    }
    if (hashAlg == 0) return fail(kClass, kMethod, "signatureAlgorithm", 2, algs.errorText());
    ByteString signature;
    if (key.genSignature(hashAlg, tbs, signature, &signerCert, true) != 0) {
        if (key.failure() == PPrivateKey::Failure::NotPrivateKey)
            return fail(kClass, kMethod, "signerKey", kNotPrivateKey, key.errorText());
        return fail(kClass, kMethod, "signature", 3, key.errorText());
    }

    RSignature sig;
    sig.setSignatureAlgorithm(signAlg);
    if (sig.editSignature().setBitString(signature.data(), signature.length(), 0) != 0)
        return fail(kClass, kMethod, "signature", 4, kNoMemory);
    ASN1Sequence certs;
    if (certs.addComponent(signerCert) != 0) return fail(kClass, kMethod, "certs", 5, kNoMemory);
    sig.setCerts(certs);

    ROCSPRequest request;
    request.setTbsRequest(m_TBSReq);
    request.setOptionalSignature(sig);
    der.assign(request.toASN1Object());
    return 0;
}

}  // namespace qelt
