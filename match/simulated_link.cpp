#include "match/simulated_link.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

sockaddr_in loopback(int32_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

void makeNonBlocking(int socket) { fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK); }

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

}  // namespace

SimulatedLink::SimulatedLink(const LinkConditions& given, uint32_t now)
    : conditions(given), openedAt(now), ways{Direction(given.seed), Direction(given.seed + 1)} {
    ways[Up].from = &guest;
    ways[Up].to = &host;
    ways[Down].from = &host;
    ways[Down].to = &guest;
}

SimulatedLink::~SimulatedLink() {
    closePair();
    if (listener >= 0) {
        close(listener);
    }
}

bool SimulatedLink::open(int32_t port) {
    hostPort = port;
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof(address);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return false;
    }
    makeNonBlocking(listener);
    listenPort = ntohs(address.sin_port);
    return true;
}

void SimulatedLink::pump() {
    if (guest < 0) {
        acceptGuest();
    }
    if (guest < 0) {
        return;
    }
    for (Direction& way : ways) {
        takeFromSender(way);
        giveToReceiver(way);
    }
    if (ways[Up].closeReleased && ways[Down].closeReleased && written()) {
        closePair();
    }
}

// The guest's connection, and the link's own to the host on its behalf. A host
// that does not answer closes the guest's connection at once.
void SimulatedLink::acceptGuest() {
    const int taken = accept(listener, nullptr, nullptr);
    if (taken < 0) {
        return;
    }
    const sockaddr_in address = loopback(hostPort);
    const int toHost = socket(AF_INET, SOCK_STREAM, 0);
    if (toHost < 0 || connect(toHost, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        if (toHost >= 0) close(toHost);
        close(taken);
        return;
    }
    makeNonBlocking(taken);
    makeNonBlocking(toHost);
    guest = taken;
    host = toHost;
    for (Direction& way : ways) {
        way.senderClosed = way.closeCut = way.closeReleased = false;
        way.fresh.clear();
        way.outgoing.clear();
        way.inFlight.clear();
    }
}

void SimulatedLink::takeFromSender(Direction& way) {
    char buffer[65536];
    while (!way.senderClosed) {
        const ssize_t got = recv(*way.from, buffer, sizeof buffer, 0);
        if (got > 0) {
            way.fresh.append(buffer, static_cast<size_t>(got));
            way.taken += static_cast<uint64_t>(got);
        } else if (got == 0 || !wouldBlock()) {
            way.senderClosed = true;
        } else {
            return;
        }
    }
}

void SimulatedLink::giveToReceiver(Direction& way) {
    while (!way.outgoing.empty()) {
        const ssize_t sent = send(*way.to, way.outgoing.data(), way.outgoing.size(), MSG_NOSIGNAL);
        if (sent < 0 && wouldBlock()) {
            return;
        }
        const size_t done = sent < 0 ? way.outgoing.size() : static_cast<size_t>(sent);  // a receiver gone takes nothing
        way.outgoing.erase(0, done);
        way.given += sent < 0 ? 0 : done;
    }
    if (way.closeReleased) {
        shutdown(*way.to, SHUT_WR);
    }
}

void SimulatedLink::cut(uint32_t now) {
    for (Direction& way : ways) {
        const bool closes = way.senderClosed && !way.closeCut;
        if (way.fresh.empty() && !closes) {
            continue;
        }
        Segment segment;
        segment.bytes.swap(way.fresh);
        segment.closes = closes;
        segment.due = dueTime(way, now);
        way.closeCut = way.closeCut || closes;
        way.inFlight.push_back(std::move(segment));
    }
}

// When a segment sent `now` arrives: after the delay and its jitter, held up
// now and then, never before one sent earlier, and not during an outage: what
// would cross one is sent again once it is over.
uint32_t SimulatedLink::dueTime(Direction& way, uint32_t now) {
    const int32_t jitter = static_cast<int32_t>(conditions.jitterMs);
    int64_t due = static_cast<int64_t>(now) + conditions.delayMs + way.chance.randomInt(-jitter, jitter);
    if (way.chance.randomInt(0, 9999) < static_cast<int32_t>(conditions.heldUpShare * 10000.0)) {
        due += conditions.holdUpMs;
    }
    for (const Outage& outage : conditions.outages) {
        const int64_t start = static_cast<int64_t>(openedAt) + outage.startMs;
        const int64_t end = start + outage.lengthMs;
        if (now < end && due >= start) {
            due = std::max<int64_t>(due, end + conditions.delayMs);
        }
    }
    way.lastDue = static_cast<uint32_t>(std::max<int64_t>(due, way.lastDue));
    return way.lastDue;
}

void SimulatedLink::release(uint32_t now) {
    for (Direction& way : ways) {
        while (!way.inFlight.empty() && static_cast<int32_t>(now - way.inFlight.front().due) >= 0) {
            way.outgoing += way.inFlight.front().bytes;
            way.closeReleased = way.closeReleased || way.inFlight.front().closes;
            way.inFlight.pop_front();
        }
    }
}

bool SimulatedLink::written() const { return ways[Up].outgoing.empty() && ways[Down].outgoing.empty(); }

void SimulatedLink::closePair() {
    for (int* socket : {&guest, &host}) {
        if (*socket >= 0) {
            close(*socket);
            *socket = -1;
        }
    }
}
