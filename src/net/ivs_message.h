// The XML messages of the identity-verification server (IVS).
//
// Requests are filled templates: "A1" asks the server to validate a
// certificate, "B1" whether a certificate belongs to an identification number
// (sent encrypted for the server). Both carry the time, a nonce, the
// requester's certificate and the certificate in question, in Base64.
//
// Responses are read by plain text search for the opening and the closing tag
// of each element; nothing else of the XML is interpreted. The server signs
// its IVS element: DigestValue is the SHA-1 of the element as it stands in the
// message (tags included), SignatureValue its signature with the server's
// signing certificate (X509Certificate), made with SHA-256 (RSA PKCS#1 v1.5,
// or KCDSA for such keys).
#pragma once

#include <string_view>

#include "net/ivs_failure.h"
#include "util/byte_string.h"

namespace qelt::ivs {

enum class MessageType { CertificateValidation, IdentityVerification };  // "A1", "B1"

const char* typeName(MessageType type);

// The request's variable parts, Base64 texts except the date.
struct RequestFields {
    ByteString generateDate;  // "%Y%m%d%H%M%S", local time
    ByteString nonce;
    ByteString requestCert;
    ByteString destination;
    ByteString cipherValue;  // the encrypted identification number (B1 only)
};

// The largest request message: 8192 octets.
inline constexpr int kMaxRequest = 8192;

// The XML request; 0, or 1004 in `failure` when it would exceed kMaxRequest.
int makeRequest(MessageType type, const RequestFields& fields, ByteString& xml, Failure& failure);
// The HTTP request carrying `xml` to host:port (lines ended by LF only).
ByteString makeHttpRequest(const char* host, int port, const ByteString& xml);

// The text between "<name>" and "</name>" (with the tags when `withTags`);
// false when either tag is missing.
bool findElement(std::string_view text, const char* name, bool withTags, std::string_view& out);
// The Type attribute after "MessageType Type=\"", up to the next quote.
bool findMessageType(std::string_view text, std::string_view& type);

// A response read and checked for everything that needs no certificate: the
// message type, the nonce and the digest of the IVS element; its signature
// and certificate are decoded for the caller to trust and verify.
class Response {
public:
    // 0, or the code set in `failure`: 2103 for a missing or wrong element,
    // 1901 for Base64 that does not decode, 1811 when hashing fails.
    int read(std::string_view body, MessageType expected, const ByteString& nonce, Failure& failure);
    // Verifies the signature over the IVS element with the key of `signCert`;
    // 0 or 2103.
    int verifySignature(const ByteString& signCert, Failure& failure) const;
    // The server's verdict: 0 for RespCode 0, otherwise the mapped code with
    // RespDesc as the detail (or 2103 when an element is missing).
    int result(Failure& failure) const;

    std::string_view ivsElement() const { return m_Ivs; }
    const ByteString& signature() const { return m_Signature; }
    const ByteString& certificate() const { return m_Certificate; }

private:
    std::string_view m_Body;
    std::string_view m_Ivs;
    ByteString m_Signature;
    ByteString m_Certificate;
};

// The API code and message of a non-zero RespCode.
struct RespCodeMapping {
    int code;
    const char* message;
};
RespCodeMapping mapRespCode(long respCode);

}  // namespace qelt::ivs
