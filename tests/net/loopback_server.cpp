#include "net/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>

namespace qelt::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 100));
}

// Waits for `events` in slices of at most 100 ms so that `stop` is seen
// promptly; false on stop, deadline or error.
bool waitFor(int fd, short events, Clock::time_point deadline, const std::atomic<bool>& stop, short* revents) {
    while (!stop.load()) {
        const int ms = msLeft(deadline);
        if (ms == 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, ms);
        if (n < 0 && errno != EINTR) return false;
        if (n > 0) {
            if (revents != nullptr) *revents = p.revents;
            return true;
        }
    }
    return false;
}

int boundListener(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

std::string HttpRequest::field(const std::string& name) const {
    const std::string wanted = lower(name) + ":";
    size_t pos = head.find('\n');
    while (pos != std::string::npos && pos + 1 < head.size()) {
        const size_t start = pos + 1;
        const size_t end = head.find('\n', start);
        std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lower(line).rfind(wanted, 0) == 0) {
            std::string value = line.substr(wanted.size());
            value.erase(0, value.find_first_not_of(" \t"));
            return value;
        }
        pos = end;
    }
    return "";
}

std::string HttpRequest::requestLine() const {
    std::string line = head.substr(0, head.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

Reply Reply::http(int status, const std::string& body, const std::string& contentType) {
    Reply r;
    r.bytes = "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Error") + "\r\n";
    if (!contentType.empty()) r.bytes += "Content-Type: " + contentType + "\r\n";
    r.bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return r;
}

Reply Reply::raw(std::string bytes) {
    Reply r;
    r.bytes = std::move(bytes);
    return r;
}

Reply Reply::silent() {
    Reply r;
    r.hang = true;
    return r;
}

Reply Reply::trickled(std::string bytes, std::chrono::milliseconds delay) {
    Reply r;
    r.bytes = std::move(bytes);
    r.byteDelay = delay;
    return r;
}

LoopbackServer::LoopbackServer(Handler handler) : LoopbackServer(std::move(handler), Limits{}) {}

LoopbackServer::LoopbackServer(Handler handler, Limits limits) : m_handler(std::move(handler)), m_limits(limits) {
    m_listen = boundListener(m_port);
    if (m_listen < 0 || ::listen(m_listen, 16) != 0) throw std::runtime_error("loopback server: cannot listen");
    m_thread = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (m_listen >= 0) ::close(m_listen);
}

std::string LoopbackServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int LoopbackServer::refusedPort() {
    int port = 0;
    const int fd = boundListener(port);
    if (fd < 0) throw std::runtime_error("loopback server: no free port");
    // Bound but never listening: the port stays reserved while nothing accepts
    // on it, so a connection is refused. Closing it frees the port again,
    // which another test could take; keeping it bound is the safer choice.
    static std::vector<int> keep;
    static std::mutex keepMutex;
    std::lock_guard<std::mutex> lock(keepMutex);
    keep.push_back(fd);
    return port;
}

void LoopbackServer::run() {
    const auto end = Clock::now() + m_limits.lifetime;
    while (!m_stop.load() && m_connections.load() < m_limits.connections) {
        if (!waitFor(m_listen, POLLIN, end, m_stop, nullptr)) break;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++m_connections;
        serve(fd, std::min(end, Clock::now() + m_limits.perConnection));
        ::close(fd);
    }
}

void LoopbackServer::serve(int fd, Clock::time_point deadline) {
    HttpRequest request;
    std::string received;
    char buf[4096];
    // The request: header up to the blank line, then the announced body.
    auto readMore = [&]() -> bool {
        if (!waitFor(fd, POLLIN, deadline, m_stop, nullptr)) return false;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        received.append(buf, static_cast<size_t>(n));
        return received.size() <= m_limits.maxRequest;
    };
    size_t headEnd = std::string::npos;
    bool complete = false;
    while (headEnd == std::string::npos) {
        const size_t crlf = received.find("\r\n\r\n");
        const size_t lf = received.find("\n\n");
        if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf))
            headEnd = crlf + 4;
        else if (lf != std::string::npos)
            headEnd = lf + 2;
        else if (!readMore())
            break;
    }
    if (headEnd != std::string::npos) {
        request.head = received.substr(0, headEnd);
        const std::string length = request.field("Content-Length");
        const size_t wanted = length.empty() ? 0 : std::strtoul(length.c_str(), nullptr, 10);
        while (received.size() - headEnd < wanted && wanted <= m_limits.maxRequest)
            if (!readMore()) break;
        request.body = received.substr(headEnd, wanted);
        complete = request.body.size() == wanted;
    }
    if (complete) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
    }

    const Reply reply = m_handler(request);
    if (!complete && !reply.hang) return;
    size_t sent = 0;
    while (sent < reply.bytes.size() && !m_stop.load() && Clock::now() < deadline) {
        const bool slow = reply.byteDelay.count() > 0 && sent >= reply.atOnce;
        const size_t n = slow ? 1 : (reply.byteDelay.count() > 0 ? reply.atOnce : reply.bytes.size()) - sent;
        const ssize_t w = ::send(fd, reply.bytes.data() + sent, n, MSG_NOSIGNAL);
        if (w <= 0) return;
        sent += static_cast<size_t>(w);
        if (slow) {
            // A pause the stop flag can cut short.
            const auto until = std::min(deadline, Clock::now() + reply.byteDelay);
            while (!m_stop.load() && Clock::now() < until)
                std::this_thread::sleep_for(
                    std::min<std::chrono::milliseconds>(reply.byteDelay, std::chrono::milliseconds(20)));
        }
    }
    if (reply.hang) {
        // Until the client gives up and closes (or the limits end it).
        short revents = 0;
        while (waitFor(fd, POLLIN, deadline, m_stop, &revents)) {
            if (::recv(fd, buf, sizeof buf, 0) <= 0) break;
        }
    } else {
        ::shutdown(fd, SHUT_WR);
    }
}

std::string toHexText(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 0x0F]);
    }
    return out;
}

std::string fromHexText(const std::string& hex) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return {};
        out.push_back(static_cast<char>(hi << 4 | lo));
    }
    return out;
}

}  // namespace qelt::test
