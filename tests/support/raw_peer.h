#pragma once
// A raw POSIX peer on the loopback that sees and sends the exact bytes.

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

class RawPeer {
public:
    ~RawPeer() { close(); }

    // From `source` (another loopback address such as 127.0.0.2) to 127.0.0.1.
    bool connectTo(int port, uint32_t source = INADDR_LOOPBACK) {
        close();
        sockaddr_in address = loopback(port);
        stream = socket(AF_INET, SOCK_STREAM, 0);
        const timeval timeout{5, 0};  // no receive or connect waits longer
        setsockopt(stream, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        setsockopt(stream, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
        sockaddr_in from = loopback(0);
        from.sin_addr.s_addr = htonl(source);
        return bind(stream, reinterpret_cast<sockaddr*>(&from), sizeof(from)) == 0 &&
               connect(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    // True when nobody listens on the port: the system refuses the connect. A
    // listener that is still open, even one whose backlog is full, is not refusal.
    bool refused(int port) {
        close();
        sockaddr_in address = loopback(port);
        stream = socket(AF_INET, SOCK_STREAM, 0);
        fcntl(stream, F_SETFL, O_NONBLOCK);
        if (connect(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return false;
        if (errno != EINPROGRESS) return errno == ECONNREFUSED;
        pollfd done{stream, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof(error);
        return poll(&done, 1, 2000) == 1 && getsockopt(stream, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
               error == ECONNREFUSED;
    }

    // Listens on a free loopback port with the given backlog; returns the port.
    int listen(int backlog) {
        sockaddr_in address = loopback(0);
        stream = socket(AF_INET, SOCK_STREAM, 0);
        bind(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(stream, backlog);
        socklen_t size = sizeof(address);
        getsockname(stream, reinterpret_cast<sockaddr*>(&address), &size);
        return ntohs(address.sin_port);
    }

    bool accept() {  // the first connection to come in
        const int listener = stream;
        stream = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        return stream >= 0;
    }

    bool sendAll(const std::string& bytes) {
        ssize_t now = 1;
        for (size_t sent = 0; now > 0 && sent < bytes.size(); sent += static_cast<size_t>(now))
            now = send(stream, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        return now > 0;
    }

    // All that has arrived so far, taking what is there without waiting.
    const std::string& arrived() {
        char chunk[65536];
        const ssize_t got = recv(stream, chunk, sizeof(chunk), MSG_DONTWAIT);
        received.append(chunk, static_cast<size_t>(std::max<ssize_t>(got, 0)));
        return received;
    }

    // Closed, or reset with bytes it sent still unread; waits for it unless `now`.
    bool seesEndOfStream(bool now = false) {
        char byte;
        const ssize_t got = recv(stream, &byte, 1, now ? MSG_DONTWAIT : 0);
        return got == 0 || (got < 0 && errno == ECONNRESET);
    }

    void close(bool reset = false) {  // reset: the other side gets a connection reset
        const linger abortive{1, 0};
        if (stream >= 0 && reset) setsockopt(stream, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        if (stream >= 0) ::close(stream);
        stream = -1;
    }

    std::string received;
    int stream = -1;

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
};
