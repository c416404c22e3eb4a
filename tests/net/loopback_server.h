// A loopback HTTP server for tests of the library's online clients.
//
// It listens on 127.0.0.1 at a port the system chooses, in a thread of the
// test process, and serves connections one after the other: it reads each
// request (header up to its blank line, "\r\n\r\n" or "\n\n", then as many
// body bytes as its Content-Length says), records it, and answers with the
// Reply its handler returns. Everything is bounded: the number of
// connections, the server's lifetime, the time and size of a request, and
// the time a reply may hang. The destructor stops the thread and closes every
// socket.
//
//   LoopbackServer server([](const HttpRequest& r) { return Reply::http(200, "body"); });
//   client.connect("127.0.0.1", server.port());
//
// Replies can misbehave on purpose: say nothing and keep the connection open
// (Reply::silent), send bytes that are not HTTP (Reply::raw), announce a body
// longer than the one sent, or send one byte at a time (Reply::trickled).
// LoopbackServer::refusedPort() gives a port where nothing listens.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qelt::test {

struct HttpRequest {
    std::string head;  // request line and header lines, up to and including the blank line
    std::string body;
    // The value of a header field (name compared without case), "" when absent.
    std::string field(const std::string& name) const;
    // The request line ("POST /path HTTP/1.0").
    std::string requestLine() const;
};

struct Reply {
    std::string bytes;                       // sent as they are
    std::chrono::milliseconds byteDelay{0};  // > 0: one byte at a time with this pause...
    size_t atOnce = 0;                       // ...after the first atOnce bytes, sent together
    bool hang = false;                       // after sending, keep the connection open until the client goes

    // Status line "HTTP/1.0 <status> <reason>", Content-Type (when given) and
    // Content-Length of `body`, then the body.
    static Reply http(int status, const std::string& body, const std::string& contentType = "");
    static Reply raw(std::string bytes);
    // Nothing at all; the connection stays open.
    static Reply silent();
    static Reply trickled(std::string bytes, std::chrono::milliseconds delay);
};

class LoopbackServer {
public:
    using Handler = std::function<Reply(const HttpRequest&)>;
    struct Limits {
        int connections = 32;                            // served before the server stops accepting
        std::chrono::milliseconds lifetime{60000};       // from start to the end of accepting
        std::chrono::milliseconds perConnection{20000};  // reading, answering and hanging together
        size_t maxRequest = 4 * 1024 * 1024;
    };

    explicit LoopbackServer(Handler handler);
    LoopbackServer(Handler handler, Limits limits);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const;
    // The requests read so far, in order.
    std::vector<HttpRequest> requests() const;
    int connectionCount() const { return m_connections.load(); }

    // A port on 127.0.0.1 where nothing listens (a connection is refused).
    static int refusedPort();

private:
    void run();
    void serve(int fd, std::chrono::steady_clock::time_point deadline);

    Handler m_handler;
    Limits m_limits;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::vector<HttpRequest> m_requests;
    std::thread m_thread;
};

// Bytes <-> lower-case hexadecimal text, for handlers of hex-text transports.
std::string toHexText(const std::string& bytes);
std::string fromHexText(const std::string& hex);

}  // namespace qelt::test
