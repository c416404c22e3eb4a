// The HTTP client's response reader over whatever a server might send: the
// input is written to one end of a socket pair and read back as a response
// header and body. A first byte "\n" selects the line-feed delimiter of the
// identity-verification exchange (and is not sent). No crash, no hang, and a
// body exactly as long as the header announced.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "net/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool lineFeeds = size > 0 && data[0] == '\n';
    if (lineFeeds) {
        ++data;
        --size;
    }
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    // Inputs stay far below a socket pair's buffer, so one write takes all.
    const int sndbuf = 1 << 20;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fds[1], data + written, size - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    ::close(fds[1]);

    qelt::HttpClient client;
    client.setTimeout(1);
    client.adoptSocket(fds[0]);
    int length = 0;
    int rc = client.recvHeader(lineFeeds ? "\n" : "\r\n", length);
    if (rc == 0) {
        qelt::ByteString body;
        rc = client.recvBody(length, body);
        if (rc == 0 && body.length() != (length < 1 ? 0 : length)) std::abort();
    }
    if (client.header().length() > qelt::HttpClient::kMaxHeader) std::abort();
    return 0;
}
