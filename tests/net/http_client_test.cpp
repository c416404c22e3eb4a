// The HTTP client against loopback servers that answer well and badly.
#include "net/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "net/loopback_server.h"
#include "util/cp949_literal.h"

namespace qelt::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ByteString bytes(const std::string& s) { return ByteString(s.data(), static_cast<int>(s.size())); }

std::string text(const ByteString& b) { return std::string(b.view()); }

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The process's peak resident memory in kB since the last reset.
long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}
void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Exchange {
    int rc = 0;
    HttpClient::Stage stage = HttpClient::Stage::None;
    ByteString body;
    std::string error;
    std::string header;
    double seconds = 0;
};

Exchange run(int port, const std::string& request, int timeout = 5, const char* delimiter = "\r\n") {
    HttpClient client;
    client.setTimeout(timeout);
    Exchange e;
    const auto start = Clock::now();
    e.rc = client.exchange("127.0.0.1", port, bytes(request), delimiter, e.body, e.stage);
    e.seconds = secondsSince(start);
    e.error = client.errorText();
    e.header = text(client.header());
    return e;
}

TEST(HttpClient, SendsTheRequestAsIsAndReadsTheAnnouncedBody) {
    LoopbackServer server([](const HttpRequest&) {
        return Reply::raw("HTTP/1.0 200 OK\r\nX-Other: Value\r\nCONTENT-LENGTH:   5\r\n\r\nhello, and more");
    });
    const std::string request = "POST /ocsp HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc";
    const Exchange e = run(server.port(), request);
    ASSERT_EQ(e.rc, 0) << e.error;
    EXPECT_EQ(text(e.body), "hello");
    // Field names and values are kept lower-cased, line ends unchanged.
    EXPECT_EQ(e.header, "http/1.0 200 ok\r\nx-other: value\r\ncontent-length:   5\r\n\r\n");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head + requests[0].body, request);
}

TEST(HttpClient, ZeroLengthAnyStatusAndLineFeedOnlyHeaders) {
    LoopbackServer server([](const HttpRequest& r) {
        if (r.requestLine() == "GET /empty HTTP/1.0") return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
        if (r.requestLine() == "GET /lf HTTP/1.0") return Reply::raw("HTTP/1.0 200 OK\nContent-Length: 3\n\nabcdef");
        // The status line is not the client's business: a 500 with a body is a body.
        return Reply::http(500, "oops");
    });
    Exchange e = run(server.port(), "GET /empty HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, 0) << e.error;
    EXPECT_TRUE(e.body.isEmpty());

    e = run(server.port(), "GET /lf HTTP/1.0\n\n", 5, "\n");
    EXPECT_EQ(e.rc, 0) << e.error;
    EXPECT_EQ(text(e.body), "abc");

    e = run(server.port(), "GET /error HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, 0) << e.error;
    EXPECT_EQ(text(e.body), "oops");
}

TEST(HttpClient, HeaderWithoutLengthOrLineEnd) {
    LoopbackServer server([](const HttpRequest& r) {
        const std::string line = r.requestLine();
        if (line == "GET /nolength HTTP/1.0") return Reply::raw("HTTP/1.0 200 OK\r\nServer: x\r\n\r\nbody");
        if (line == "GET /long HTTP/1.0")
            // The length field starts after the 2048 bytes the client reads.
            return Reply::raw("HTTP/1.0 200 OK\r\nX-Pad: " + std::string(2100, 'a') +
                              "\r\nContent-Length: 4\r\n\r\nbody");
        // The peer closes in the middle of the header.
        return Reply::raw("HTTP/1.0 200 OK\r\nContent-Le");
    });
    Exchange e = run(server.port(), "GET /nolength HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, HttpClient::kNoContentLength);
    EXPECT_EQ(e.stage, HttpClient::Stage::Receive);
    EXPECT_EQ(e.error, "응답 메시지에서 \"content-length:\" 문자열을 찾는데 실패하였습니다."_cp949);

    e = run(server.port(), "GET /long HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, HttpClient::kNoContentLength);
    EXPECT_EQ(e.header.size(), 2048u);

    e = run(server.port(), "GET /cut HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, HttpClient::kFailed);
    EXPECT_EQ(e.error, "The connection closed...");
}

TEST(HttpClient, LengthFieldWithoutDelimiterAfterIt) {
    LoopbackServer server([](const HttpRequest&) {
        // Four line feeds end the header for "\r\n" too (they are counted),
        // but "\r\n" never follows the length.
        return Reply::raw("HTTP/1.0 200 OK\nContent-Length: 4\n\n\n\nbody");
    });
    const Exchange e = run(server.port(), "GET / HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, HttpClient::kNoDelimiter);
    EXPECT_EQ(e.error, "응답 메시지에서 \r\n 문자열을 찾는데 실패하였습니다."_cp949);
}

TEST(HttpClient, ShortAndHugeBodiesAreRefusedWithoutTakingTheAnnouncedMemory) {
    LoopbackServer server([](const HttpRequest& r) {
        const std::string line = r.requestLine();
        if (line == "GET /short HTTP/1.0") return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc");
        if (line == "GET /overflow HTTP/1.0")
            return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nabc");
        // 60 MiB announced, 3 bytes sent, then the server closes.
        return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 62914560\r\n\r\nabc");
    });
    Exchange e = run(server.port(), "GET /short HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, HttpClient::kFailed);
    EXPECT_EQ(e.error, "The connection closed...");
    EXPECT_TRUE(e.body.isEmpty());

    e = run(server.port(), "GET /overflow HTTP/1.0\r\n\r\n");
    EXPECT_EQ(e.rc, HttpClient::kFailed);
    EXPECT_NE(e.error.find("over the 67108864 bytes"), std::string::npos) << e.error;

    resetPeakRss();
    const long before = peakRssKb();
    e = run(server.port(), "GET /big HTTP/1.0\r\n\r\n");
    const long growth = peakRssKb() - before;
    EXPECT_EQ(e.rc, HttpClient::kFailed);
    EXPECT_EQ(e.error, "The connection closed...");
    if (before > 0) EXPECT_LT(growth, 8 * 1024) << "the client took memory for a body it never received";
}

TEST(HttpClient, SilentAndTricklingServersEndAtTheTimeout) {
    LoopbackServer server([](const HttpRequest& r) {
        const std::string line = r.requestLine();
        if (line == "GET /silent HTTP/1.0") return Reply::silent();
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 200\r\n\r\n";
        if (line == "GET /slowhead HTTP/1.0") return Reply::trickled(head, 100ms);
        // The header at once, then a body byte every 100 ms: each byte comes
        // well within the time-out, the whole body never does.
        Reply reply = Reply::trickled(std::string(200, 'x'), 100ms);
        reply.bytes = head + reply.bytes;
        reply.atOnce = head.size();
        return reply;
    });
    Exchange e = run(server.port(), "GET /silent HTTP/1.0\r\n\r\n", 1);
    EXPECT_EQ(e.rc, HttpClient::kTimedOut);
    EXPECT_EQ(e.error, "Recieve Header TimeOut!!");
    EXPECT_GE(e.seconds, 0.9);
    EXPECT_LT(e.seconds, 2.0);

    e = run(server.port(), "GET /slowhead HTTP/1.0\r\n\r\n", 1);
    EXPECT_EQ(e.rc, HttpClient::kTimedOut);
    EXPECT_EQ(e.error, "Recieve Header TimeOut!!");
    EXPECT_LT(e.seconds, 2.0);

    e = run(server.port(), "GET /trickle HTTP/1.0\r\n\r\n", 1);
    EXPECT_EQ(e.rc, HttpClient::kTimedOut);
    EXPECT_EQ(e.error, "Receive Body TimeOut!!");
    EXPECT_LT(e.seconds, 2.0);
}

TEST(HttpClient, ConnectFailures) {
    HttpClient client;
    client.setTimeout(2);
    EXPECT_EQ(client.connect("127.0.0.1", LoopbackServer::refusedPort()), HttpClient::kConnectFailed);
    EXPECT_EQ(std::string(client.errorText()), "<socketlib> fnc=connect,code=0x6f");
    // Dotted digits are an address, never a name to look up.
    EXPECT_EQ(client.connect("999.1.1.1", 80), HttpClient::kConnectFailed);
    EXPECT_EQ(std::string(client.errorText()), "<socketlib> fnc=connect,code=0x16");
    EXPECT_EQ(client.connect("", 80), HttpClient::kResolveFailed);
    EXPECT_EQ(std::string(client.errorText()),
              "Host Name()에 대한 IP 주소를 찾는데 실패하였습니다.<socketlib> fnc=gethostbyname,code=0x1"_cp949);
    EXPECT_EQ(client.connect("127.0.0.1", 0), HttpClient::kConnectFailed);
    EXPECT_EQ(client.connect("127.0.0.1", 65536), HttpClient::kConnectFailed);
}

TEST(HttpClient, SendingToAPeerThatHasGoneFailsWithoutASignal) {
    LoopbackServer::Limits limits;
    limits.maxRequest = 1024;  // the server gives up on the request and closes
    LoopbackServer server([](const HttpRequest&) { return Reply::raw(""); }, limits);
    const std::string request = "POST / HTTP/1.0\r\nContent-Length: 33554432\r\n\r\n" + std::string(32 << 20, 'z');
    const Exchange e = run(server.port(), request, 5);
    EXPECT_NE(e.rc, 0);
    // Either the send notices the reset or the receive finds the connection gone.
    if (e.stage == HttpClient::Stage::Send)
        EXPECT_EQ(e.error.rfind("<socketlib> fnc=send,code=0x", 0), 0u) << e.error;
    else
        EXPECT_EQ(e.stage, HttpClient::Stage::Receive);
}

TEST(HttpClient, EmptyRequestSendsNothing) {
    LoopbackServer server(
        [](const HttpRequest&) { return Reply::raw("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"); });
    HttpClient client;
    client.setTimeout(2);
    ASSERT_EQ(client.connect("127.0.0.1", server.port()), 0);
    EXPECT_EQ(client.send(ByteString()), 0);
    EXPECT_EQ(client.send(bytes("GET / HTTP/1.0\r\n\r\n")), 0);
    int length = 0;
    ASSERT_EQ(client.recvHeader("\r\n", length), 0);
    EXPECT_EQ(length, 2);
    ByteString body;
    ASSERT_EQ(client.recvBody(length, body), 0);
    EXPECT_EQ(text(body), "ok");
}

}  // namespace
}  // namespace qelt::test
