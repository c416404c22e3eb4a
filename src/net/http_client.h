// HttpClient: the blocking HTTP/1.0 client the online services (OCSP,
// time-stamp, identity verification) talk through. One object carries one
// exchange on a fresh IPv4 stream connection: connect, send the whole request,
// read the header up to its blank line, read exactly the announced body,
// close. Methods return small codes and leave a text (tag "<socketlib>") that
// the calling service wraps into its own API error.
//
// Every wait is bounded by the time-out (a value below 1 means 600 seconds):
// connecting and sending each get the whole time-out, and so does receiving,
// header and body together, so a server that never answers or trickles its
// answer a byte at a time cannot hold the caller longer than that. The
// time-out is the object's own, so exchanges on different threads never share
// it. A server also cannot make the client allocate what it merely announces:
// the body buffer grows with the bytes that actually arrive, and a length
// above kMaxBody is refused outright.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "util/byte_string.h"

namespace qelt {

class HttpClient {
public:
    // connect()
    static constexpr int kConnectOk = 0;
    static constexpr int kStartupFailed = 1;  // socket-library start-up (nothing to start on this platform)
    static constexpr int kResolveFailed = 2;
    static constexpr int kSocketFailed = 3;
    static constexpr int kConnectFailed = 4;
    // send(), recvHeader(), recvBody()
    static constexpr int kOk = 0;
    static constexpr int kFailed = 1;
    static constexpr int kNoContentLength = 2;  // recvHeader: no "content-length:" in the header
    static constexpr int kNoDelimiter = 3;      // recvHeader: no line end after the length
    static constexpr int kTimedOut = 256;

    static constexpr int kDefaultTimeout = 600;
    static constexpr int kMaxHeader = 2048;
    // The largest body accepted: far above any OCSP, time-stamp or
    // identity-verification answer, far below what would strain memory.
    static constexpr int kMaxBody = 64 * 1024 * 1024;

    HttpClient() = default;
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Resolves `host` (dotted digits are used as they are), connects to
    // host:port. 0 or one of the connect codes above.
    int connect(const char* host, int port);
    // Takes over an already connected stream socket (closed with the object).
    void adoptSocket(int socket);
    void setTimeout(int seconds) { m_nTimeout = seconds; }
    // Sends every byte; an empty request sends nothing and succeeds.
    int send(std::span<const uint8_t> request);
    int send(const ByteString& request) { return send(request.bytes()); }
    // Reads the response header up to the blank line made of `delimiter`
    // ("\r\n" or "\n") twice, or up to kMaxHeader bytes, and takes the body
    // length from its "content-length:" field (names compared without case).
    // The status line is not examined.
    int recvHeader(const char* delimiter, int& contentLength);
    // Reads exactly `length` body bytes (none for a length below 1).
    int recvBody(int length, ByteString& body);
    void close();

    // Which step of an exchange failed.
    enum class Stage { None, Connect, Send, Receive };
    // One whole exchange on a fresh connection, closed afterwards: connect,
    // send `request`, read the header with `delimiter` and the body. 0, or the
    // failing step's code with `failed` naming the step.
    int exchange(const char* host, int port, const ByteString& request, const char* delimiter, ByteString& body,
                 Stage& failed);

    const char* errorText() const { return m_ErrorText.c_str(); }
    // The header as read: lower-cased except for its line ends.
    const ByteString& header() const { return m_Header; }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadlineFromNow() const;
    // Waits until the socket is ready for `events` or `deadline` passes:
    // 0 ready, kTimedOut, or kFailed with the text set.
    int waitReady(short events, Clock::time_point deadline, const char* timeoutText);
    // Up to `max` bytes into `out`: the count, 0 when the peer closed, -1 on
    // a failure, or -kTimedOut.
    long receiveSome(uint8_t* out, size_t max, const char* timeoutText);
    int socketError(int code, const char* function, int err);

    int m_nSocket = -1;
    int m_nTimeout = 0;
    ByteString m_ErrorText;
    ByteString m_Header;
    Clock::time_point m_ReceiveDeadline{};
    bool m_bReceiving = false;
    // Bytes read together with the end of the header: the start of the body.
    std::vector<uint8_t> m_Pending;
    size_t m_nPendingPos = 0;
};

}  // namespace qelt
