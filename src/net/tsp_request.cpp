#include "net/tsp_request.h"

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ZRCrypto/algorithm_ids.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PTimeStampRequest";

constexpr TspHashAlgorithm kTspHashes[] = {
    {1, ALG_SHA1, "1 3 14 3 2 26"},
    {2, ALG_MD5, "1 2 840 113549 2 5"},
    {3, ALG_HAS160, "1 2 410 200004 1 2"},
    {4, ALG_SHA256, "2 16 840 1 101 3 4 2 1"},
};

}  // namespace

const TspHashAlgorithm* tspHashBySelector(int selector) {
    for (const TspHashAlgorithm& h : kTspHashes)
        if (h.selector == selector) return &h;
    return nullptr;
}

const TspHashAlgorithm* tspHashByOid(const ASN1ObjectIdentifier& oid) {
    for (const TspHashAlgorithm& h : kTspHashes)
        if (oid.is(h.oid)) return &h;
    return nullptr;
}

int PTimeStampRequest::setMessageImprint(const char* hashOid, const ByteString& hashedMessage) {
    RAlgorithmIdentifier alg;
    PAlgorithmUtil algs;
    if (algs.makeDigestAlgID(hashOid, alg) != 0)
        return fail(kClass, "setMessageImprint", "hashAlgorithm", 1, algs.errorText());
    RMessageImprint imprint;
    imprint.setHashAlgorithm(alg);
    imprint.editHashedMessage().setValue(hashedMessage);
    m_Req.setMessageImprint(imprint);
    m_bImprint = true;
    return 0;
}

int PTimeStampRequest::setReqPolicy(const char* policy) {
    ASN1ObjectIdentifier oid;
    if (oid.setOID(policy) != 0) return fail(kClass, "setReqPolicy", "reqPolicy", 1, "The policy is not an OID.");
    m_Req.setReqPolicy(oid);
    return 0;
}

int PTimeStampRequest::setNonce(const ByteString& nonce) {
    ASN1Integer value;
    value.setInteger(nonce.data(), nonce.length(), 0);
    m_Req.setNonce(value);
    return 0;
}

int PTimeStampRequest::makeTimeStampReq(ByteString& der) {
    if (!m_bImprint)
        return fail(kClass, "makeTimeStampReq", "messageImprint", 1, "The timeStampReq information does not setted.");
    m_Req.setVersion(1);
    if (m_bCertReq) {
        ASN1Boolean yes;
        yes.setBoolean(1);
        m_Req.setCertReq(yes);
    }
    der.assign(m_Req.toASN1Object());
    return 0;
}

}  // namespace qelt
