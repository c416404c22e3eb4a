// An identity-verification server for the tests, written from the protocol's
// description on OpenSSL alone (no code of the library), on the loopback HTTP
// server.
//
// It answers "A1" (is the certificate valid: yes unless it was marked
// revoked) and "B1" (does the certificate belong to the identification
// number: it decrypts the number with its key-management key and compares it
// with the number registered for the certificate), and signs every answer
// with its signing key: DigestValue = SHA-1 of the IVS element, SignatureValue
// = its RSA signature with SHA-256, X509Certificate = the signing
// certificate. It can misbehave on purpose.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/loopback_server.h"

namespace qelt::test {

class IvsTestServer {
public:
    using Bytes = std::vector<uint8_t>;

    enum class Misbehaviour {
        None,
        Stall,               // accepts and never answers
        Garbage,             // an HTTP answer that is not the protocol's
        OtherKey,            // signs with another key, presents its certificate
        WrongNonce,          // a correctly signed answer to another request
        TamperAfterSigning,  // RespCode changed to 0 after the digest and signature were made
        WrongType,           // answers "A1" to "B1" and the other way round
    };

    // DER certificates and PKCS#8 keys.
    IvsTestServer(const Bytes& signCert, const Bytes& signKey, const Bytes& kmKey);
    ~IvsTestServer();

    int port() const { return m_server->port(); }
    void registerIdentity(const Bytes& cert, const std::string& idn);
    void markRevoked(const Bytes& cert);
    // Every later answer carries this RespCode and RespDesc.
    void forceAnswer(long respCode, const std::string& respDesc);
    void misbehave(Misbehaviour m);
    // Signs with another certificate and key from now on (a renewed certificate).
    void changeSigner(const Bytes& signCert, const Bytes& signKey);
    void setOtherKey(const Bytes& key);

    std::vector<HttpRequest> requests() const { return m_server->requests(); }
    // The identification number the server decrypted from the last "B1".
    std::string lastIdn() const;

    // The signed answer the server would give, for tests of the reader alone.
    std::string answer(const std::string& type, const std::string& nonce, long respCode, const std::string& respDesc);

private:
    Reply handle(const HttpRequest& request);
    std::string signedAnswer(const std::string& type, const std::string& nonce, long respCode,
                             const std::string& respDesc) const;

    mutable std::mutex m_mutex;
    Bytes m_signCert, m_signKey, m_kmKey, m_otherKey;
    std::map<Bytes, std::string> m_identities;
    std::vector<Bytes> m_revoked;
    bool m_forced = false;
    long m_forcedCode = 0;
    std::string m_forcedDesc;
    Misbehaviour m_misbehaviour = Misbehaviour::None;
    std::string m_lastIdn;
    std::unique_ptr<LoopbackServer> m_server;
};

// Base64 without line breaks, by OpenSSL.
std::string base64Text(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> base64Bytes(const std::string& text);
// The text between "<name>" and "</name>", "" when absent.
std::string xmlElement(const std::string& text, const std::string& name);

}  // namespace qelt::test
