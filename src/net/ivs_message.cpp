#include "net/ivs_message.h"

#include <cstring>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"
#include "ZRProcess/PPublicKey.h"
#include "qeltapi.h"
#include "util/base64.h"
#include "util/cp949_literal.h"

namespace qelt::ivs {

namespace {

// The signature over the IVS element is made with this hash.
constexpr int kSignatureHash = ALG_SHA256;

constexpr const char* kHeader =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE IVS SYSTEM \"./config/ivs.dtd\">\n"
    "<IVS>\n"
    "<MessageHeader Header=\"Request\">\n"
    "<HeaderInfo>\n"
    "<GenerateDate>%s</GenerateDate>\n"
    "<Nonce>%s</Nonce>\n"
    "<RequestCert>%s</RequestCert>\n"
    "</HeaderInfo>\n"
    "</MessageHeader>\n";

constexpr const char* kCertValidationBody =
    "<MessageType Type=\"A1\">\n"
    "<RequestInfo>\n"
    "<Destination>%s</Destination>\n"
    "</RequestInfo>\n"
    "</MessageType>\n"
    "</IVS>";

// The EncryptedData and EncryptedMethod tags are written as the servers of
// this protocol expect them, malformed as they are: the namespace declaration
// sits inside the Type attribute's text, the RSA v1.5 identifier has two "#",
// and the method element is closed after the data element.
constexpr const char* kIdentityBody =
    "<MessageType Type=\"B1\">\n"
    "<RequestInfo>\n"
    "<Destination>%s</Destination>\n"
    "<PersonInfo>\n"
    "<EncryptedData Type=\"http://www.w3.org/2001/04/xmlenc#Element xmlns=http://www.w3.org/2001/04/xmlenc#\">\n"
    "<EncryptedMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc##rsa-1_5\">\n"
    "<CipherData>\n"
    "<CipherValue>%s</CipherValue>\n"
    "</CipherData>\n"
    "</EncryptedData>\n"
    "</EncryptedMethod Algorithm>\n"
    "</PersonInfo>\n"
    "</RequestInfo>\n"
    "</MessageType>\n"
    "</IVS>\n";

constexpr const char* kHttpHead =
    "POST /IVSReq HTTP/1.0\nContent-Type: application/IVS-query\nUser-Agent: IVSClient/1.0\nHost: %s\nPort: "
    "%d\nContent-Length: %d\nConnection: Close\nPragma: no-cache\n\n";

constexpr auto kBadResponse = "잘못된 통합검증서버의 응답 메시지 입니다. (%s)"_cp949;

int badResponse(Failure& f, const char* what) { return f.setf(QELT_ERR_IVS_BAD_RESPONSE, kBadResponse, what); }

// Appends `format` with every "%s" replaced by the next text: the request
// texts are long (certificates in Base64), beyond the formatter's limit.
void fill(ByteString& out, const char* format, std::initializer_list<const ByteString*> texts) {
    auto next = texts.begin();
    for (const char* p = format; *p != 0;) {
        const char* mark = std::strstr(p, "%s");
        if (mark == nullptr) {
            out.append(p);
            break;
        }
        out.append(p, static_cast<int>(mark - p));
        if (next != texts.end()) out.append(**next++);
        p = mark + 2;
    }
}

bool decodeBase64(std::string_view text, ByteString& out) {
    return base64Decode(ByteString(text.data(), static_cast<int>(text.size())), out) == 0;
}

struct RespRow {
    long from, to;
    int code;
    const char* message;
};
const RespRow kRespCodes[] = {
    {10001, 10001, QELT_ERR_CERT_REVOKED, "폐지된 인증서 입니다."_cp949},
    {20001, 20001, QELT_ERR_CERT_REVOKED, "폐지된 인증서 입니다."_cp949},
    {10002, 10002, QELT_ERR_OCSP_UNKNOWN_CERT,
     "OCSP 서버에서 해당 인증서에 대한 폐지 여부 확인 서비스를 지원하지 않습니다."_cp949},
    {10003, 10003, QELT_ERR_CERT_EXPIRED, "유효기간이 만료된 인증서 입니다."_cp949},
    {10004, 10004, QELT_ERR_PATH_VALIDATION, "인증서 경로 검증 실패하였습니다."_cp949},
    {10006, 10006, QELT_ERR_PATH_VALIDATION, "인증서 경로 검증 실패하였습니다."_cp949},
    {20002, 20002, QELT_ERR_PATH_VALIDATION, "인증서 경로 검증 실패하였습니다."_cp949},
    {10005, 10005, QELT_ERR_PATH_POLICY, "인증서 경로 검증 시, 인증서 정책 검증을 실패하였습니다."_cp949},
    {10007, 10007, QELT_ERR_PATH_FETCH, "인증경로를 획득하는데 실패하였습니다."_cp949},
    {20006, 20006, QELT_ERR_PATH_FETCH, "인증경로를 획득하는데 실패하였습니다."_cp949},
    {10008, 10008, QELT_ERR_CRL_FETCH, "CRL 획득 실패"_cp949},
    {20003, 20003, QELT_ERR_IVS_UNSUPPORTED_CERT,
     "통합검증서버에서 본인인확인을 지원하지 않는 인증체계 인증서입니다."_cp949},
    {20004, 20004, QELT_ERR_VID_NOT_OWNER, "주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다."_cp949},
    {20005, 20005, QELT_ERR_IVS_INTERNAL, "통합검증서버의 내부 오류입니다."_cp949},
    {20007, 20007, QELT_ERR_DECRYPT, "데이터를 복호화하는데 실패하였습니다."_cp949},
    {50001, 50001, QELT_ERR_CERT_INVALID, "잘못된 검증 요청 인증서입니다."_cp949},
    {50002, 50002, QELT_ERR_IVS_REVOKED_REQUESTER, "폐지된 요청자의 인증서입니다."_cp949},
    {50003, 50003, QELT_ERR_IVS_REQUESTER_TRUST, "요청자 인증서에 대한 신뢰성 여부 확인을 실패하였습니다."_cp949},
    {50011, 50011, QELT_ERR_IVS_REQUESTER_TRUST, "요청자 인증서에 대한 신뢰성 여부 확인을 실패하였습니다."_cp949},
    {50004, 50004, QELT_ERR_IVS_NO_PERMISSION, "통합검증서버의 서비스를 사용할 수 있는 권한이 없습니다."_cp949},
    {50005, 50005, QELT_ERR_IVS_BAD_REQUEST, "잘못된 요청 메시지 형식입니다."_cp949},
    {50007, 50010, QELT_ERR_IVS_BAD_REQUEST, "잘못된 요청 메시지 형식입니다."_cp949},
    {50006, 50006, QELT_ERR_CERT_INVALID, "잘못된 요청자 인증서입니다."_cp949},
};

// A RespCode: decimal digits, blanks around them allowed.
bool parseRespCode(std::string_view text, long& out) {
    while (!text.empty() &&
           (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 9) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

}  // namespace

const char* typeName(MessageType type) { return type == MessageType::CertificateValidation ? "A1" : "B1"; }

int makeRequest(MessageType type, const RequestFields& fields, ByteString& xml, Failure& failure) {
    ByteString text;
    fill(text, kHeader, {&fields.generateDate, &fields.nonce, &fields.requestCert});
    if (type == MessageType::CertificateValidation)
        fill(text, kCertValidationBody, {&fields.destination});
    else
        fill(text, kIdentityBody, {&fields.destination, &fields.cipherValue});
    if (text.status() != ByteString::kOk) return failure.set(QELT_ERR_MEMORY, "메모리 할당 실패"_cp949);
    if (text.length() > kMaxRequest)
        return failure.set(QELT_ERR_BUFFER_TOO_SMALL, "pszReqMsg에 할당된 메모리의 사이즈가 부족합니다."_cp949);
    xml = std::move(text);
    return 0;
}

ByteString makeHttpRequest(const char* host, int port, const ByteString& xml) {
    ByteString head;
    head.format(kHttpHead, host, port, xml.length());
    ByteString request;
    request.allocZero(head.length() + xml.length());
    request.append(head);
    request.append(xml);
    return request;
}

bool findElement(std::string_view text, const char* name, bool withTags, std::string_view& out) {
    const std::string open = std::string("<") + name + ">", close = std::string("</") + name + ">";
    const size_t begin = text.find(open);
    if (begin == std::string_view::npos) return false;
    const size_t end = text.find(close, begin + open.size());
    if (end == std::string_view::npos) return false;
    out = withTags ? text.substr(begin, end + close.size() - begin)
                   : text.substr(begin + open.size(), end - begin - open.size());
    return true;
}

bool findMessageType(std::string_view text, std::string_view& type) {
    static constexpr std::string_view kMark = "MessageType Type=\"";
    const size_t at = text.find(kMark);
    if (at == std::string_view::npos) return false;
    const size_t start = at + kMark.size();
    const size_t quote = text.find('"', start);
    if (quote == std::string_view::npos) return false;
    type = text.substr(start, quote - start);
    return true;
}

RespCodeMapping mapRespCode(long respCode) {
    for (const RespRow& row : kRespCodes)
        if (respCode >= row.from && respCode <= row.to) return {row.code, row.message};
    return {QELT_ERR_IVS_UNKNOWN_CODE, "알 수 없는 통합검증서버의 응답 코드입니다."_cp949};
}

int Response::read(std::string_view body, MessageType expected, const ByteString& nonce, Failure& failure) {
    m_Body = body;
    m_Ivs = {};
    m_Signature.clear();
    m_Certificate.clear();

    std::string_view type;
    if (!findMessageType(body, type))
        return badResponse(failure, "메시지 타입(MessageType)을 가지고 오는데 실패"_cp949);
    if (type != typeName(expected))
        return badResponse(failure, expected == MessageType::CertificateValidation
                                        ? "인증서 검증 결과 메시지가 아님"_cp949
                                        : "본인확인 결과 메시지가 아님"_cp949);

    std::string_view text;
    if (!findElement(body, "Nonce", false, text)) return badResponse(failure, "난수(Nonce)를 가지고 오는데 실패"_cp949);
    if (text != nonce.view()) return badResponse(failure, "요청 메시지에 대한 응답 메시지가 아님"_cp949);

    if (!findElement(body, "IVS", true, m_Ivs)) return badResponse(failure, "IVS를 가지고 오는데 실패"_cp949);
    if (!findElement(body, "DigestValue", false, text))
        return badResponse(failure, "해쉬값(DigestValue)을 가지고 오는데 실패"_cp949);
    ByteString digestValue, digest;
    if (!decodeBase64(text, digestValue)) return failure.set(QELT_ERR_BASE64_DECODE, "BASE64 디코딩 실패"_cp949);
    ZRHash hash;
    if (hash.DigestData(ALG_SHA1, ByteString(m_Ivs.data(), static_cast<int>(m_Ivs.size())), digest) != 0)
        return failure.setCore(QELT_ERR_DIGEST, "메시지 다이제스트를 생성하는데 실패하였습니다."_cp949, hash);
    if (!(digest == digestValue)) return badResponse(failure, "응답 메시지가 변조되었음"_cp949);

    if (!findElement(body, "SignatureValue", false, text))
        return badResponse(failure, "서명값(SignatureValue)을 가지고 오는데 실패"_cp949);
    if (!decodeBase64(text, m_Signature)) return failure.set(QELT_ERR_BASE64_DECODE, "BASE64 디코딩 실패"_cp949);
    if (!findElement(body, "X509Certificate", false, text))
        return badResponse(failure, "통합검증서버의 인증서(X509Certificate)를 가지고 오는데 실패"_cp949);
    if (!decodeBase64(text, m_Certificate)) return failure.set(QELT_ERR_BASE64_DECODE, "BASE64 디코딩 실패"_cp949);
    return 0;
}

int Response::verifySignature(const ByteString& signCert, Failure& failure) const {
    PPublicKey key;
    if (key.verifySignatureWithCert(signCert, ByteString(m_Ivs.data(), static_cast<int>(m_Ivs.size())), m_Signature,
                                    kSignatureHash) != 0) {
        badResponse(failure, "응답 메시지의 서명값 검증 실패"_cp949);
        failure.kind = ErrKind::Core;
        failure.libText.assign(key.errorText());
        return failure.code;
    }
    return 0;
}

int Response::result(Failure& failure) const {
    std::string_view text;
    long respCode = 0;
    if (!findElement(m_Body, "RespCode", false, text) || !parseRespCode(text, respCode))
        return badResponse(failure, "응답 코드(RespCode)를 가지고 오는데 실패"_cp949);
    if (respCode == 0) return 0;
    std::string_view desc;
    if (!findElement(m_Body, "RespDesc", false, desc))
        return badResponse(failure, "응답 부가설명(RespDesc)을 가지고 오는데 실패"_cp949);
    const RespCodeMapping m = mapRespCode(respCode);
    return failure.setIvs(m.code, m.message, static_cast<int>(respCode),
                          ByteString(desc.data(), static_cast<int>(desc.size())));
}

}  // namespace qelt::ivs
