#pragma once
// The game's single network endpoint: hosts (listens and keeps every peer that
// connects) or joins (connects to one host), sends framed text messages and
// queues the whole messages it receives in an inbox for the main loop.
//
// Frame on the wire: decimal length of (text + 1), '~', the text, a zero byte.
// Received frames may arrive in any number of pieces; a frame longer than
// kMaxFrameLength (net/frame_reader.h) is reported and skipped.
//
// No peer can hold up the caller: sends are queued (a peer that lets more than
// kNet2SendQueueLimit bytes pile up is dropped), a connect runs in the
// background, and each receive event and each round of work reads a bounded
// number of bytes. Only the current game's sockets count: anything else that
// connects or arrives is closed or ignored.
//
// Several Connections may live in one process (a game hosting another in the
// same process): each starts and stops networking for itself, NET2 runs while
// any of them has it started, and each acts only on the events of its own
// sockets, so every event may be handed to all of them. pumpNetEvents takes the
// events out of SDL's queue: with several Connections, poll the events and hand
// each to every one instead.

#include <SDL.h>

#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/clock.h"
#include "net/diagnostic_lines.h"
#include "net/frame_reader.h"

struct ReceivedMessage {
    int32_t socket = -1;  // NET2 socket id of the sender
    std::string text;
    bool damaged = false;  // only part of the message arrived intact
};

class Connection {
public:
    // Messages one peer may have waiting in the inbox, and their bytes; a peer
    // past either is dropped together with what it had waiting.
    static constexpr size_t kMaxQueuedPerPeer = 1000;
    static constexpr size_t kMaxQueuedBytesPerPeer = 1024 * 1024;
    // Bytes read from all peers in one round (see receivePending).
    static constexpr int kReceiveBytesPerRound = 64 * 1024;

    // `clock` times connects and diagnostic lines; it must outlive the Connection.
    explicit Connection(const Clock& clock, int32_t port = 1337, const std::string& host = "localhost");
    ~Connection();  // stops networking for this Connection when it still has it started
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // SDL_net, then the fast event queue, then NET2, unless another Connection
    // started them already. True when they are running.
    bool startNetworking();
    // Closes this side's sockets; the last Connection to stop stops NET2, the fast
    // event queue and SDL_net.
    void stopNetworking();

    // Who may join while hosting, for peers that arrive from now on: at most
    // maxPeers at a time (negative: any number), and with loopbackOnly only from
    // 127.0.0.1. Anyone else is closed as it arrives, with a line on stderr.
    void limitPeers(int maxPeers, bool loopbackOnly);

    // Listens on the port (-1 keeps the stored one). Whatever else this side had
    // open is closed once the listener is up; a failure leaves it as it was.
    bool startServer(int32_t port);
    // Closes whatever this side had open and starts connecting in the background
    // ("NULL" / -1 keep the stored values). The outcome arrives as an event: a
    // connect that fails or takes longer than kNet2ConnectTimeoutMs prints
    // "Connect To (host, port) failed". Messages sent meanwhile wait for it.
    bool connectTo(const std::string& host, int32_t port);
    // Closes the listener, the peers and a connect in progress.
    void disconnect();

    // target -1 sends to every peer; with exceptTarget, to every peer but target.
    // True when the last send attempted succeeded; false with no peers.
    bool send(const std::string& text, int32_t target, bool exceptTarget);

    // The next message buffered for a peer socket, reading more of its bytes as
    // needed: FrameReader::NoMessage once they are all used up, else Complete,
    // Partial or LostLength (the last two are reported on stderr).
    int receiveFrame(std::string& text, int32_t socket);

    // Turns NET2 events into inbox messages and peer changes; other events are
    // ignored. False only for a NET2 error event.
    bool handleEvent(const SDL_Event& event);
    bool pumpNetEvents();
    // Starts a new round of reading: what earlier rounds had no room for is read
    // now. Called once per pass of the main loop (pumpNetEvents calls it too).
    void receivePending();

    bool nextMessage(ReceivedMessage& message) const;  // copies the oldest, keeps it
    void dropMessage();                                // removes the oldest
    const std::list<ReceivedMessage>& inbox() const { return messages; }

    bool isServer() const { return server; }
    bool isClient() const { return client; }
    bool isConnecting() const { return connecting >= 0; }
    int peerCount() const { return static_cast<int>(sockets.size()); }
    bool isPeer(int32_t socket) const;
    const std::vector<int32_t>& peers() const { return sockets; }  // in the order they came
    // Milliseconds since the peer's last bytes arrived (since it came, before
    // any); 0 for a socket that is not a peer.
    uint32_t silentMs(int32_t socket) const;
    // Lets a peer go with one line on stderr naming it and the reason.
    void giveUp(int32_t socket, const std::string& reason);
    std::string peerAddress(int32_t socket) const;  // "192.168.1.20"; "" when unknown
    int32_t port() const { return currentPort; }
    const std::string& host() const { return currentHost; }
    // Every byte handed to NET2 for a peer, and every byte read from one, since
    // this Connection was made: two sides in one process are even when each
    // has read all that the other sent.
    uint64_t sentBytes() const { return bytesSent; }
    uint64_t receivedBytes() const { return bytesReceived; }

private:
    struct Waiting {  // one peer's share of the inbox
        size_t messages = 0;
        size_t bytes = 0;
    };

    const Clock& clock;
    int32_t currentPort;
    std::string currentHost;
    bool server = false;
    bool client = false;
    int32_t listener = -1;
    int32_t listeningPort = -1;
    int32_t connecting = -1;
    std::vector<int32_t> sockets;
    std::list<ReceivedMessage> messages;
    std::map<int32_t, FrameReader> readers;  // peers with part of a frame held
    std::map<int32_t, Waiting> waiting;
    std::set<int32_t> unread;  // peers with bytes left for a later round
    std::map<int32_t, uint32_t> heardAt;  // when each peer's bytes last arrived
    int roundBytes = 0;
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    bool networking = false;  // this Connection has networking started
    int peerLimit = -1;
    bool loopbackOnly = false;
    bool layoutReported = false;
    DiagnosticLines diagnostics;

    // Closes one peer, printing why; its messages still waiting are dropped.
    void dropPeer(int32_t socket, const std::string& reason);
    void closeAll();
    void accept(int32_t socket);
    std::string refusalOf(int32_t socket) const;
    bool concerns(int32_t socket) const;
    bool reportError(int32_t socket, const char* text);
    void receiveSome(int32_t socket);
    void takeMessages(int32_t socket);
    void connected(int32_t socket);
    void closed(int32_t socket);
    void closePeer(int32_t socket);
    void forget(int32_t socket);
    void queue(int32_t socket, const std::string& text, bool damaged);
    std::string peerName(int32_t socket) const;
};
