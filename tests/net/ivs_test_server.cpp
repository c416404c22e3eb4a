#include "net/ivs_test_server.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <algorithm>
#include <ctime>

namespace qelt::test {

namespace {

using Bytes = std::vector<uint8_t>;
using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

PKey privateKey(const Bytes& pkcs8) {
    const unsigned char* p = pkcs8.data();
    return PKey(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(pkcs8.size())), EVP_PKEY_free);
}

Bytes sign(const Bytes& pkcs8, const std::string& data) {
    PKey key = privateKey(pkcs8);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    size_t len = 0;
    if (!key || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &len, reinterpret_cast<const uint8_t*>(data.data()), data.size()) != 1)
        return {};
    Bytes sig(len);
    if (EVP_DigestSign(ctx.get(), sig.data(), &len, reinterpret_cast<const uint8_t*>(data.data()), data.size()) != 1)
        return {};
    sig.resize(len);
    return sig;
}

// RSA PKCS#1 v1.5 decryption; empty on failure.
Bytes decrypt(const Bytes& pkcs8, const Bytes& cipher) {
    PKey key = privateKey(pkcs8);
    if (!key) return {};
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new(key.get(), nullptr),
                                                                    EVP_PKEY_CTX_free);
    size_t len = 0;
    if (EVP_PKEY_decrypt_init(ctx.get()) != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_decrypt(ctx.get(), nullptr, &len, cipher.data(), cipher.size()) != 1)
        return {};
    Bytes out(len);
    if (EVP_PKEY_decrypt(ctx.get(), out.data(), &len, cipher.data(), cipher.size()) != 1) return {};
    out.resize(len);
    return out;
}

std::string now() {
    const time_t t = std::time(nullptr);
    struct tm parts {};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

// The servers of this protocol end their header lines with LF alone, and the
// client reads the header up to the first two consecutive line-end bytes.
Reply lfReply(const std::string& body) {
    return Reply::raw("HTTP/1.0 200 OK\nContent-Type: application/IVS-response\nContent-Length: " +
                      std::to_string(body.size()) + "\n\n" + body);
}

std::string messageType(const std::string& xml) {
    static const std::string kMark = "MessageType Type=\"";
    const size_t at = xml.find(kMark);
    if (at == std::string::npos) return "";
    const size_t end = xml.find('"', at + kMark.size());
    return end == std::string::npos ? "" : xml.substr(at + kMark.size(), end - at - kMark.size());
}

}  // namespace

std::string base64Text(const Bytes& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

Bytes base64Bytes(const std::string& text) {
    if (text.empty() || text.size() % 4 != 0) return {};
    Bytes out(text.size() / 4 * 3);
    const int n =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return {};
    out.resize(static_cast<size_t>(n));
    // EVP_DecodeBlock counts the padding as zero octets.
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) out.pop_back();
    return out;
}

std::string xmlElement(const std::string& text, const std::string& name) {
    const std::string open = "<" + name + ">", close = "</" + name + ">";
    const size_t begin = text.find(open);
    if (begin == std::string::npos) return "";
    const size_t end = text.find(close, begin + open.size());
    return end == std::string::npos ? "" : text.substr(begin + open.size(), end - begin - open.size());
}

IvsTestServer::IvsTestServer(const Bytes& signCert, const Bytes& signKey, const Bytes& kmKey)
    : m_signCert(signCert), m_signKey(signKey), m_kmKey(kmKey) {
    LoopbackServer::Limits limits;
    limits.perConnection = std::chrono::milliseconds(8000);
    m_server = std::make_unique<LoopbackServer>([this](const HttpRequest& r) { return handle(r); }, limits);
}

IvsTestServer::~IvsTestServer() { m_server.reset(); }

void IvsTestServer::registerIdentity(const Bytes& cert, const std::string& idn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_identities[cert] = idn;
}

void IvsTestServer::markRevoked(const Bytes& cert) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_revoked.push_back(cert);
}

void IvsTestServer::forceAnswer(long respCode, const std::string& respDesc) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_forced = true;
    m_forcedCode = respCode;
    m_forcedDesc = respDesc;
}

void IvsTestServer::misbehave(Misbehaviour m) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_misbehaviour = m;
}

void IvsTestServer::changeSigner(const Bytes& signCert, const Bytes& signKey) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signCert = signCert;
    m_signKey = signKey;
}

void IvsTestServer::setOtherKey(const Bytes& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_otherKey = key;
}

std::string IvsTestServer::lastIdn() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastIdn;
}

std::string IvsTestServer::answer(const std::string& type, const std::string& nonce, long respCode,
                                  const std::string& respDesc) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return signedAnswer(type, nonce, respCode, respDesc);
}

std::string IvsTestServer::signedAnswer(const std::string& type, const std::string& nonce, long respCode,
                                        const std::string& respDesc) const {
    std::string ivs = "<IVS>\n<MessageHeader Header=\"Response\">\n<HeaderInfo>\n<GenerateDate>" + now() +
                      "</GenerateDate>\n<Nonce>" + nonce + "</Nonce>\n</HeaderInfo>\n</MessageHeader>\n" +
                      "<MessageType Type=\"" + type + "\">\n<ResponseInfo>\n<RespCode>" + std::to_string(respCode) +
                      "</RespCode>\n<RespDesc>" + respDesc + "</RespDesc>\n</ResponseInfo>\n</MessageType>\n</IVS>";
    Bytes digest(SHA_DIGEST_LENGTH);
    SHA1(reinterpret_cast<const uint8_t*>(ivs.data()), ivs.size(), digest.data());
    const Bytes signature = sign(m_misbehaviour == Misbehaviour::OtherKey ? m_otherKey : m_signKey, ivs);
    if (m_misbehaviour == Misbehaviour::TamperAfterSigning) {
        const size_t at = ivs.find("<RespCode>");
        const size_t end = ivs.find("</RespCode>");
        ivs.replace(at + 10, end - at - 10, "0");
    }
    return "<?xml version=\"1.0\"?>\n<IVSResponse>\n" + ivs + "\n<Signature>\n<SignedInfo>\n<DigestValue>" +
           base64Text(digest) + "</DigestValue>\n</SignedInfo>\n<SignatureValue>" + base64Text(signature) +
           "</SignatureValue>\n<KeyInfo>\n<X509Data>\n<X509Certificate>" + base64Text(m_signCert) +
           "</X509Certificate>\n</X509Data>\n</KeyInfo>\n</Signature>\n</IVSResponse>\n";
}

Reply IvsTestServer::handle(const HttpRequest& request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_misbehaviour == Misbehaviour::Stall) return Reply::silent();
    if (m_misbehaviour == Misbehaviour::Garbage) return lfReply("<html>busy</html>");

    const std::string& xml = request.body;
    std::string type = messageType(xml);
    std::string nonce = xmlElement(xml, "Nonce");
    const Bytes target = base64Bytes(xmlElement(xml, "Destination"));
    long code = 0;
    std::string desc = "OK";
    if (request.requestLine() != "POST /IVSReq HTTP/1.0" || base64Bytes(xmlElement(xml, "RequestCert")).empty() ||
        target.empty()) {
        code = 50005;
        desc = "bad request";
    } else if (type == "A1") {
        if (std::find(m_revoked.begin(), m_revoked.end(), target) != m_revoked.end()) {
            code = 10001;
            desc = "revoked";
        }
    } else if (type == "B1") {
        const Bytes idn = decrypt(m_kmKey, base64Bytes(xmlElement(xml, "CipherValue")));
        m_lastIdn.assign(idn.begin(), idn.end());
        const auto known = m_identities.find(target);
        if (idn.empty()) {
            code = 20007;
            desc = "cannot decrypt";
        } else if (known == m_identities.end()) {
            code = 20003;
            desc = "unknown certificate";
        } else if (known->second != m_lastIdn) {
            code = 20004;
            desc = "not the owner";
        }
    } else {
        code = 50005;
        desc = "unknown message type";
    }
    if (m_forced) {
        code = m_forcedCode;
        desc = m_forcedDesc;
    }
    if (m_misbehaviour == Misbehaviour::WrongNonce) nonce = base64Text(Bytes(20, 0x42));
    if (m_misbehaviour == Misbehaviour::WrongType) type = type == "A1" ? "B1" : "A1";
    return lfReply(signedAnswer(type, nonce, code, desc));
}

}  // namespace qelt::test
