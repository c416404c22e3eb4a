#include "net/tsa_server.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/pem.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <atomic>

#include "net/loopback_process.h"

namespace qelt::test {

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, Deleter<T, Free>>;

using BioPtr = Owned<BIO, BIO_free_all>;
using X509Ptr = Owned<X509, X509_free>;
using KeyPtr = Owned<EVP_PKEY, EVP_PKEY_free>;
using CtxPtr = Owned<TS_RESP_CTX, TS_RESP_CTX_free>;
using RespPtr = Owned<TS_RESP, TS_RESP_free>;
using CmsPtr = Owned<CMS_ContentInfo, CMS_ContentInfo_free>;

X509Ptr loadCert(const std::string& name) {
    BioPtr bio(BIO_new_file(onlinePath(name).c_str(), "r"));
    return X509Ptr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

KeyPtr loadKey(const std::string& name) {
    BioPtr bio(BIO_new_file(onlinePath(name).c_str(), "r"));
    return KeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

std::atomic<long> g_serial{1};

ASN1_INTEGER* nextSerial(TS_RESP_CTX*, void*) {
    ASN1_INTEGER* serial = ASN1_INTEGER_new();
    if (serial != nullptr) ASN1_INTEGER_set(serial, g_serial++);
    return serial;
}

std::string der(const unsigned char* p, int len) {
    return len > 0 ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(len)) : std::string();
}

// The content of a SignedData (bare or in a ContentInfo) when its signature
// verifies with the signer certificate it carries; "" otherwise.
std::string signedContent(const std::string& message, bool& verified) {
    verified = false;
    std::string wrapped = message;
    // A bare SignedData starts with its version, a ContentInfo with an OID.
    const size_t header = (static_cast<unsigned char>(message[1]) & 0x80) ? 2 + (message[1] & 0x7F) : 2;
    if (message.size() > header && message[header] != 0x06) {
        static const std::string kOid("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 11);
        auto lengthOf = [](size_t n) {
            std::string out;
            if (n < 0x80) return std::string(1, static_cast<char>(n));
            for (; n > 0; n >>= 8) out.insert(out.begin(), static_cast<char>(n & 0xFF));
            return std::string(1, static_cast<char>(0x80 | out.size())) + out;
        };
        const std::string tagged = "\xA0" + lengthOf(message.size()) + message;
        wrapped = "\x30" + lengthOf(kOid.size() + tagged.size()) + kOid + tagged;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(wrapped.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(wrapped.size())));
    if (!cms) return "";
    BioPtr out(BIO_new(BIO_s_mem()));
    verified = CMS_verify(cms.get(), nullptr, nullptr, nullptr, out.get(), CMS_NO_SIGNER_CERT_VERIFY) == 1;
    if (!verified) return "";
    char* data = nullptr;
    const long len = BIO_get_mem_data(out.get(), &data);
    return std::string(data, static_cast<size_t>(len));
}

bool isLowerHex(const std::string& s) {
    if (s.empty() || s.size() % 2 != 0) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

LoopbackTsa::LoopbackTsa() {
    m_server = std::make_unique<LoopbackServer>([this](const HttpRequest& r) { return handle(r); });
}

LoopbackTsa::~LoopbackTsa() { m_server.reset(); }

std::vector<std::string> LoopbackTsa::timeStampRequests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int LoopbackTsa::signedRequests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signed;
}

int LoopbackTsa::verifiedSignatures() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_verified;
}

int LoopbackTsa::transportErrors() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_transportErrors;
}

void LoopbackTsa::setTamper(Tamper tamper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tamper = std::move(tamper);
}

std::string LoopbackTsa::respond(const std::string& requestDer) {
    static const X509Ptr signer = loadCert("tsa.pem");
    static const X509Ptr ca = loadCert("ca.pem");
    static const X509Ptr root = loadCert("root.pem");
    static const KeyPtr key = loadKey("tsa.key");
    if (!signer || !ca || !root || !key) return "";
    CtxPtr ctx(TS_RESP_CTX_new());
    std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> chain(sk_X509_new_null(),
                                                                     [](STACK_OF(X509) * s) { sk_X509_free(s); });
    if (!chain || sk_X509_push(chain.get(), ca.get()) == 0 || sk_X509_push(chain.get(), root.get()) == 0) return "";
    Owned<ASN1_OBJECT, ASN1_OBJECT_free> policy(OBJ_txt2obj("1.2.410.200004.5.99.1", 1));
    Owned<ASN1_OBJECT, ASN1_OBJECT_free> other(OBJ_txt2obj("1.2.410.200004.5.99.2", 1));
    if (!ctx || TS_RESP_CTX_set_signer_cert(ctx.get(), signer.get()) != 1 ||
        TS_RESP_CTX_set_signer_key(ctx.get(), key.get()) != 1 ||
        TS_RESP_CTX_set_signer_digest(ctx.get(), EVP_sha256()) != 1 ||
        TS_RESP_CTX_set_certs(ctx.get(), chain.get()) != 1 ||
        TS_RESP_CTX_set_def_policy(ctx.get(), policy.get()) != 1 ||
        TS_RESP_CTX_add_policy(ctx.get(), other.get()) != 1 || TS_RESP_CTX_add_md(ctx.get(), EVP_sha1()) != 1 ||
        TS_RESP_CTX_add_md(ctx.get(), EVP_sha256()) != 1 || TS_RESP_CTX_add_md(ctx.get(), EVP_md5()) != 1 ||
        TS_RESP_CTX_set_accuracy(ctx.get(), 1, 500, 0) != 1)
        return "";
    TS_RESP_CTX_set_serial_cb(ctx.get(), nextSerial, nullptr);
    BioPtr in(BIO_new_mem_buf(requestDer.data(), static_cast<int>(requestDer.size())));
    RespPtr resp(TS_RESP_create_response(ctx.get(), in.get()));
    if (!resp) return "";
    unsigned char* out = nullptr;
    const int len = i2d_TS_RESP(resp.get(), &out);
    std::string result = der(out, len);
    OPENSSL_free(out);
    return result;
}

std::string LoopbackTsa::withStatus(const std::string& responseDer, long status) {
    const auto* p = reinterpret_cast<const unsigned char*>(responseDer.data());
    RespPtr resp(d2i_TS_RESP(nullptr, &p, static_cast<long>(responseDer.size())));
    if (!resp) return "";
    TS_STATUS_INFO* info = TS_RESP_get_status_info(resp.get());
    ASN1_INTEGER_set(const_cast<ASN1_INTEGER*>(TS_STATUS_INFO_get0_status(info)), status);
    unsigned char* out = nullptr;
    const int len = i2d_TS_RESP(resp.get(), &out);
    std::string result = der(out, len);
    OPENSSL_free(out);
    return result;
}

Reply LoopbackTsa::handle(const HttpRequest& request) {
    const std::string expectedHead =
        "POST /TSAReq HTTP/1.0\r\nContent-Type: application/timestamp-query\r\n"
        "User-Agent: TSAClient/1.0\r\nHost: 127.0.0.1\r\nContent-Length: " +
        std::to_string(request.body.size()) + "\r\nConnection: Close\r\nPragma: no-cache\r\n\r\n";
    if (request.head != expectedHead || !isLowerHex(request.body)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_transportErrors;
        return Reply::http(400, "not the TSA transport");
    }
    std::string message = fromHexText(request.body);
    std::string tsq = message;
    // What does not read as a TimeStampReq is taken as the requester's
    // SignedData around one.
    const auto* p = reinterpret_cast<const unsigned char*>(message.data());
    Owned<TS_REQ, TS_REQ_free> plain(d2i_TS_REQ(nullptr, &p, static_cast<long>(message.size())));
    if (!plain) {
        bool verified = false;
        tsq = signedContent(message, verified);
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_signed;
        if (verified) ++m_verified;
    }
    std::string response = respond(tsq);
    Tamper tamper;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(tsq);
        tamper = m_tamper;
    }
    if (tamper) response = tamper(tsq, response);
    if (response.empty()) return Reply::http(500, "the TSA failed");
    return Reply::http(200, toHexText(response), "application/timestamp-reply");
}

}  // namespace qelt::test
