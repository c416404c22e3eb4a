#include "util/base64.h"

#include <array>
#include <cstring>
#include <string_view>

namespace qelt {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 64;
constexpr const char* kLineBreak = "\r\n";

constexpr std::array<int8_t, 256> makeDecodeTable() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int i = 0; i < 64; ++i) t[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return t;
}
constexpr auto kDecode = makeDecodeTable();

struct PemLabel {
    int type;
    const char* label;
};
constexpr PemLabel kLabels[] = {
    {PEM_CERTIFICATE, "CERTIFICATE"},
    {PEM_WTLS_CERTIFICATE, "WTLS CERTIFICATE"},
    {PEM_RSA_PRIVATE_KEY, "RSA PRIVATE KEY"},
    {PEM_PRIVATE_KEY, "PRIVATE KEY"},
    {PEM_ENCRYPTED_PRIVATE_KEY, "ENCRYPTED PRIVATE KEY"},
    {PEM_X509_CRL, "X509 CRL"},
    {PEM_PKCS7, "PKCS7"},
    {PEM_CERTIFICATE_REQUEST, "NEW CERTIFICATE REQUEST"},
    {PEM_PKCS7_2, "PKCS7"},
};
// Accepted in place of "NEW CERTIFICATE REQUEST" when reading.
constexpr const char* kShortRequestLabel = "CERTIFICATE REQUEST";

const char* labelOf(int type) {
    for (const PemLabel& l : kLabels)
        if (l.type == type) return l.label;
    return nullptr;
}

// Drops every CR, LF and blank, then decodes.
int decodeBody(std::string_view body, ByteString& data) {
    ByteString clean;
    if (clean.allocZero(static_cast<int>(body.size())) != ByteString::kOk) return PEM_NO_MEMORY;
    for (char c : body)
        if (c != '\r' && c != '\n' && c != ' ') clean.append(static_cast<uint8_t>(c));
    return base64Decode(clean, data) == 0 ? PEM_OK : PEM_BAD_BODY;
}

}  // namespace

int base64Encode(const ByteString& data, ByteString& text) {
    text.clear();
    const int n = data.length();
    if (n == 0) return 0;
    const int outLen = 4 * ((n + 2) / 3);
    ByteString out;
    if (out.allocZero(outLen) != ByteString::kOk) return 1;
    const uint8_t* in = data.data();
    char quad[4];
    for (int i = 0; i < n; i += 3) {
        const uint32_t b0 = in[i];
        const uint32_t b1 = i + 1 < n ? in[i + 1] : 0;
        const uint32_t b2 = i + 2 < n ? in[i + 2] : 0;
        const uint32_t v = b0 << 16 | b1 << 8 | b2;
        quad[0] = kAlphabet[v >> 18 & 63];
        quad[1] = kAlphabet[v >> 12 & 63];
        quad[2] = i + 1 < n ? kAlphabet[v >> 6 & 63] : '=';
        quad[3] = i + 2 < n ? kAlphabet[v & 63] : '=';
        out.append(quad, 4);
    }
    text = std::move(out);
    return 0;
}

int base64Decode(const ByteString& text, ByteString& data) {
    data.clear();
    int len = text.length();
    if (len == 0) return 0;
    if (len % 4 != 0) return 1;
    const uint8_t* s = text.data();
    int dropped = 0;
    if (s[len - 1] == '=') {
        ++dropped;
        if (s[len - 2] == '=') ++dropped;
    }
    len -= dropped;
    const int outLen = 3 * text.length() / 4 - dropped;
    ByteString out;
    if (out.allocZero(outLen) != ByteString::kOk) return 1;
    uint32_t acc = 0;
    int bits = 0;
    for (int i = 0; i < len; ++i) {
        const int v = kDecode[s[i]];
        if (v < 0) return 1;  // any character outside the alphabet, '=' inside included
        acc = (acc << 6 | static_cast<uint32_t>(v)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.append(static_cast<uint8_t>(acc >> bits));
        }
    }
    if (out.length() != outLen) return 1;  // a lone character in the last group
    data = std::move(out);
    return 0;
}

int pemEncode(int type, const ByteString& data, ByteString& text) {
    text.clear();
    ByteString body;
    if (base64Encode(data, body) != 0) return PEM_ENCODE_FAILED;
    const char* label = labelOf(type);
    ByteString out;
    if (label != nullptr) {
        out.format("-----BEGIN %s-----", label);
        out.append(kLineBreak);
    }
    for (int pos = 0; pos < body.length(); pos += kLineLength) {
        if (pos > 0) out.append(kLineBreak);
        out.append(body.data() + pos, std::min(kLineLength, body.length() - pos));
    }
    if (label != nullptr) {
        out.append(kLineBreak);
        ByteString footer;
        footer.format("-----END %s-----", label);
        out.append(footer);
    }
    if (out.status() != ByteString::kOk) return PEM_ENCODE_FAILED;
    text = std::move(out);
    return PEM_OK;
}

int pemDecode(const ByteString& text, ByteString& data) {
    static constexpr std::string_view kMarker = "-----";
    const std::string_view all = text.view();
    size_t first = all.find(kMarker);
    if (first == std::string_view::npos) return decodeBody(all, data);
    const size_t beginEnd = all.find(kMarker, first + kMarker.size());  // end of the BEGIN line
    if (beginEnd == std::string_view::npos) return PEM_NO_HEADER;
    const size_t bodyStart = beginEnd + kMarker.size();
    const size_t endStart = all.find(kMarker, bodyStart);  // start of the END line
    if (endStart == std::string_view::npos) return PEM_NO_FOOTER;
    return decodeBody(all.substr(bodyStart, endStart - bodyStart), data);
}

int pemDecodeTyped(int type, const ByteString& text, ByteString& data) {
    const std::string_view all = text.view();
    const char* label = labelOf(type);
    if (label == nullptr) return decodeBody(all, data);

    auto marker = [](const char* word, const char* name) {
        ByteString m;
        m.format("-----%s %s-----", word, name);
        return m;
    };
    ByteString header = marker("BEGIN", label);
    ByteString footer = marker("END", label);
    size_t at = all.find(header.view());
    if (at == std::string_view::npos && type == PEM_CERTIFICATE_REQUEST) {
        header = marker("BEGIN", kShortRequestLabel);
        footer = marker("END", kShortRequestLabel);
        at = all.find(header.view());
    }
    if (at == std::string_view::npos) return PEM_NO_HEADER;
    if (all.size() - at < header.view().size()) return PEM_MARKER_DOES_NOT_FIT;
    const size_t bodyStart = at + header.view().size();
    const size_t end = all.find(footer.view(), bodyStart);
    if (end == std::string_view::npos) return PEM_NO_FOOTER;
    if (all.size() - end < footer.view().size()) return PEM_MARKER_DOES_NOT_FIT;
    return decodeBody(all.substr(bodyStart, end - bodyStart), data);
}

}  // namespace qelt
