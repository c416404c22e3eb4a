#include "net/http_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "util/cp949_literal.h"

namespace qelt {

namespace {

constexpr size_t kReadChunk = 4096;
constexpr size_t kFirstBodyChunk = 16 * 1024;

bool onlyDigitsAndDots(const char* host) {
    for (const char* p = host; *p != 0; ++p)
        if (!((*p >= '0' && *p <= '9') || *p == '.')) return false;
    return true;
}

// The resolver's failure in the terms of the classic host lookup, whose code
// the message reports.
int lookupErrorCode(int gaiError) {
    switch (gaiError) {
        case EAI_AGAIN:
            return TRY_AGAIN;
        case EAI_FAIL:
            return NO_RECOVERY;
        case EAI_NODATA:
            return NO_DATA;
        default:
            return HOST_NOT_FOUND;
    }
}

constexpr const char* kResolveMessage =
    "Host Name(%s)에 대한 IP 주소를 찾는데 실패하였습니다.<socketlib> fnc=gethostbyname,code=0x%x"_cp949;
constexpr const char* kClosed = "The connection closed...";

}  // namespace

HttpClient::~HttpClient() { close(); }

void HttpClient::close() {
    if (m_nSocket >= 0) ::close(m_nSocket);
    m_nSocket = -1;
    m_bReceiving = false;
    if (!m_Pending.empty()) secureWipe(m_Pending.data(), m_Pending.size());
    m_Pending.clear();
    m_nPendingPos = 0;
}

void HttpClient::adoptSocket(int socket) {
    close();
    m_ErrorText.clear();
    m_Header.clear();
    m_nSocket = socket;
}

int HttpClient::socketError(int code, const char* function, int err) {
    m_ErrorText.format("<socketlib> fnc=%s,code=0x%x", function, static_cast<unsigned>(err));
    return code;
}

HttpClient::Clock::time_point HttpClient::deadlineFromNow() const {
    return Clock::now() + std::chrono::seconds(m_nTimeout < 1 ? kDefaultTimeout : m_nTimeout);
}

int HttpClient::connect(const char* host, int port) {
    close();
    m_ErrorText.clear();
    m_Header.clear();
    if (host == nullptr || *host == 0) {
        m_ErrorText.format(kResolveMessage, "", static_cast<unsigned>(HOST_NOT_FOUND));
        return kResolveFailed;
    }
    in_addr address{};
    if (onlyDigitsAndDots(host)) {
        // Used as it is, never looked up by name.
        if (inet_pton(AF_INET, host, &address) != 1) return socketError(kConnectFailed, "connect", EINVAL);
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (const int rc = getaddrinfo(host, nullptr, &hints, &found); rc != 0 || found == nullptr) {
            m_ErrorText.format(kResolveMessage, host, static_cast<unsigned>(lookupErrorCode(rc)));
            return kResolveFailed;
        }
        address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        freeaddrinfo(found);
    }
    if (port < 1 || port > 65535) return socketError(kConnectFailed, "connect", EINVAL);

    m_nSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_nSocket < 0) return socketError(kSocketFailed, "socket", errno);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr = address;
    if (::connect(m_nSocket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return kConnectOk;
    if (errno != EINPROGRESS && errno != EINTR) {
        const int err = errno;
        close();
        return socketError(kConnectFailed, "connect", err);
    }
    // The connection completes in the background; a listener that never
    // accepts is bounded by the time-out like everything else.
    const int ready = waitReady(POLLOUT, deadlineFromNow(), "");
    int err = 0;
    socklen_t len = sizeof err;
    if (ready == kTimedOut)
        err = ETIMEDOUT;
    else if (ready != 0)
        err = errno != 0 ? errno : EIO;
    else if (getsockopt(m_nSocket, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    if (err != 0) {
        close();
        return socketError(kConnectFailed, "connect", err);
    }
    return kConnectOk;
}

int HttpClient::waitReady(short events, Clock::time_point deadline, const char* timeoutText) {
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) {
            m_ErrorText.assign(timeoutText);
            return kTimedOut;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd p{m_nSocket, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left > INT_MAX ? INT_MAX : left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return socketError(kFailed, "select", errno);
        }
        if (n == 0) continue;
        if ((p.revents & (events | POLLHUP | POLLERR)) != 0) return 0;
        m_ErrorText.assign("FD_ISSET failed!!");
        return kFailed;
    }
}

int HttpClient::send(std::span<const uint8_t> request) {
    if (request.empty()) return kOk;
    if (m_nSocket < 0) return socketError(kFailed, "send", ENOTCONN);
    const auto deadline = deadlineFromNow();
    size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(m_nSocket, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int ready = waitReady(POLLOUT, deadline, "");
            if (ready == kTimedOut) return socketError(kFailed, "send", ETIMEDOUT);
            if (ready != 0) return ready;
            continue;
        }
        return socketError(kFailed, "send", n < 0 ? errno : EPIPE);
    }
    return kOk;
}

long HttpClient::receiveSome(uint8_t* out, size_t max, const char* timeoutText) {
    if (m_nSocket < 0) {
        socketError(kFailed, "recv", ENOTCONN);
        return -1;
    }
    for (;;) {
        const int ready = waitReady(POLLIN, m_ReceiveDeadline, timeoutText);
        if (ready == kTimedOut) return -kTimedOut;
        if (ready != 0) return -1;
        const ssize_t n = ::recv(m_nSocket, out, max, 0);
        if (n > 0) return n;
        if (n == 0) {
            m_ErrorText.assign(kClosed);
            return 0;
        }
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        socketError(kFailed, "recv", errno);
        return -1;
    }
}

int HttpClient::recvHeader(const char* delimiter, int& contentLength) {
    constexpr const char* kTimeout = "Recieve Header TimeOut!!";
    contentLength = 0;
    m_Header.clear();
    m_ErrorText.clear();
    // Header and body share one deadline.
    m_ReceiveDeadline = deadlineFromNow();
    m_bReceiving = true;
    const size_t delimiterLength = std::strlen(delimiter);

    std::string header;
    header.reserve(kMaxHeader);
    size_t lineEnds = 0;
    while (lineEnds < 2 * delimiterLength && header.size() < static_cast<size_t>(kMaxHeader)) {
        if (m_nPendingPos == m_Pending.size()) {
            m_Pending.resize(kReadChunk);
            m_nPendingPos = 0;
            const long n = receiveSome(m_Pending.data(), m_Pending.size(), kTimeout);
            m_Pending.resize(n > 0 ? static_cast<size_t>(n) : 0);
            if (n == -kTimedOut) return kTimedOut;
            if (n <= 0) return kFailed;
        }
        const char c = static_cast<char>(m_Pending[m_nPendingPos++]);
        if (c == '\r' || c == '\n') {
            ++lineEnds;
            header.push_back(c);
        } else {
            lineEnds = 0;
            header.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    m_Header.set(header.data(), static_cast<int>(header.size()));

    constexpr std::string_view kField = "content-length:";
    const size_t field = header.find(kField);
    if (field == std::string::npos) {
        m_ErrorText.assign("응답 메시지에서 \"content-length:\" 문자열을 찾는데 실패하였습니다."_cp949);
        return kNoContentLength;
    }
    const size_t start = field + kField.size();
    const size_t end = header.find(delimiter, start);
    if (end == std::string::npos) {
        m_ErrorText.format("응답 메시지에서 %s 문자열을 찾는데 실패하였습니다."_cp949, delimiter);
        return kNoDelimiter;
    }
    // A decimal number after optional blanks, read the way atoi reads it.
    size_t i = start;
    while (i < end && (header[i] == ' ' || header[i] == '\t')) ++i;
    bool negative = false;
    if (i < end && (header[i] == '-' || header[i] == '+')) negative = header[i++] == '-';
    long long value = 0;
    for (; i < end && header[i] >= '0' && header[i] <= '9'; ++i) {
        value = value * 10 + (header[i] - '0');
        if (value > kMaxBody) {
            if (negative) break;
            m_ErrorText.format("The content length (%s) is over the %d bytes a response may have.",
                               header.substr(start, end - start).c_str(), kMaxBody);
            return kFailed;
        }
    }
    contentLength = negative ? 0 : static_cast<int>(value);
    return kOk;
}

int HttpClient::recvBody(int length, ByteString& body) {
    constexpr const char* kTimeout = "Receive Body TimeOut!!";
    body.clear();
    if (length < 1) return kOk;
    if (length > kMaxBody) {
        m_ErrorText.format("The content length (%d) is over the %d bytes a response may have.", length, kMaxBody);
        return kFailed;
    }
    if (!m_bReceiving) {
        m_ReceiveDeadline = deadlineFromNow();
        m_bReceiving = true;
    }
    const auto wanted = static_cast<size_t>(length);
    // The buffer grows with what arrives, never to an announced length alone.
    std::vector<uint8_t> buffer;
    size_t have = std::min(wanted, m_Pending.size() - m_nPendingPos);
    buffer.resize(std::min(wanted, std::max(have, kFirstBodyChunk)));
    if (have > 0) std::memcpy(buffer.data(), m_Pending.data() + m_nPendingPos, have);
    m_nPendingPos += have;
    int rc = kOk;
    while (have < wanted) {
        if (have == buffer.size()) {
            std::vector<uint8_t> bigger(std::min(wanted, buffer.size() * 2));
            std::memcpy(bigger.data(), buffer.data(), have);
            secureWipe(buffer.data(), buffer.size());
            buffer.swap(bigger);
        }
        const long n = receiveSome(buffer.data() + have, buffer.size() - have, kTimeout);
        if (n <= 0) {
            rc = n == -kTimedOut ? kTimedOut : kFailed;
            break;
        }
        have += static_cast<size_t>(n);
    }
    if (rc == kOk && body.set(buffer.data(), length) != ByteString::kOk) {
        m_ErrorText.assign("Memory allocation is failed.");
        rc = kFailed;
    }
    secureWipe(buffer.data(), buffer.size());
    return rc;
}

int HttpClient::exchange(const char* host, int port, const ByteString& request, const char* delimiter, ByteString& body,
                         Stage& failed) {
    failed = Stage::None;
    body.clear();
    int rc = connect(host, port);
    if (rc != kConnectOk) {
        failed = Stage::Connect;
        return rc;
    }
    rc = send(request);
    if (rc != kOk) {
        failed = Stage::Send;
        close();
        return rc;
    }
    int length = 0;
    rc = recvHeader(delimiter, length);
    if (rc == kOk) rc = recvBody(length, body);
    close();
    if (rc != kOk) failed = Stage::Receive;
    return rc;
}

}  // namespace qelt
