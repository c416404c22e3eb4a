// POCSPReq: builds an OCSPRequest (RFC 6960, section 4.1): the CertID of
// each target, the nonce and acceptable-response-type extensions, and an
// optional signature of the requester.
//
// Order of use: setRequestorCert (signed requests only), the targets
// (addTargetCertByCert, or addTargetCertsByList), setNonce,
// setAcceptableResponses, then makeOcspReq or makeSigOcspReq.
//
// Methods return 0 or a small positive code with a location record of class
// "POCSPReq". kNotPrivateKey: the signer's key blob is not a private key;
// kBadTargetList: the target list does not decode.
#pragma once

#include <span>

#include "ASN1Pkix/ocsp.h"
#include "util/error_holder.h"

namespace qelt {

namespace oid {
inline constexpr const char* kSha1 = "1 3 14 3 2 26";
inline constexpr const char* kMd5 = "1 2 840 113549 2 5";
inline constexpr const char* kSha256 = "2 16 840 1 101 3 4 2 1";
inline constexpr const char* kOcspBasic = "1 3 6 1 5 5 7 48 1 1";
inline constexpr const char* kOcspNonce = "1 3 6 1 5 5 7 48 1 2";
inline constexpr const char* kOcspAcceptableResponses = "1 3 6 1 5 5 7 48 1 4";
inline constexpr const char* kOcspServiceLocator = "1 3 6 1 5 5 7 48 1 7";
inline constexpr const char* kAuthorityInfoAccess = "1 3 6 1 5 5 7 1 1";
}  // namespace oid

class POCSPReq : public ErrorHolder {
public:
    static constexpr int kNotPrivateKey = 4108;
    static constexpr int kBadTargetList = 4111;

    POCSPReq();

    // requestorName = the directoryName of the signer certificate's subject.
    int setRequestorCert(const ByteString& signerCert);
    // One Request for `target`. With the issuer certificate, the CertID hashes
    // the issuer's subject name and subjectPublicKey bits; without it, the
    // target's issuer name and the keyIdentifier of its Authority Key
    // Identifier (which must be 20 bytes) stand in. `hashOid`: SHA-1, MD5 or
    // SHA-256.
    int addTargetCertByCert(const ByteString& target, const ByteString* issuerCert, const char* hashOid = oid::kSha1);
    // One Request per certificate of a SEQUENCE OF Certificate, each CertID
    // made without an issuer certificate and each Request carrying a service
    // locator (the target's issuer name and Authority Information Access).
    int addTargetCertsByList(const ByteString& certList);
    int setNonce(const ByteString& nonce);
    // Only id-pkix-ocsp-basic is acceptable.
    int setAcceptableResponses();

    int makeOcspReq(ByteString& der);
    // Signs the DER TBSRequest with `signerKey` (a DER PrivateKeyInfo) and puts
    // `signerCert` into the request's certificates.
    int makeSigOcspReq(const ByteString& signerCert, const ByteString& signerKey, ByteString& der);

    int targetCount() const { return m_RequestList.getComponentCount(); }

private:
    int addRequest(const ByteString& target, const ByteString* issuerCert, const char* hashOid, bool serviceLocator);
    int addExtension(const char* oidText, const ByteString& value);
    int buildTBSRequest();

    RTBSRequest m_TBSReq;
    ASN1Sequence m_RequestList;
    RExtensions m_Extensions;
    RAcceptableResponses m_AcceptableRes;
    bool m_bServiceLocator = false;
};

}  // namespace qelt
