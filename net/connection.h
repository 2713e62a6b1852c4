#pragma once
// The game's single network endpoint: hosts (listens and keeps every peer that
// connects) or joins (connects to one host), sends framed text messages and
// queues the whole messages it receives in an inbox for the main loop.
//
// Frame on the wire: decimal length of (text + 1), '~', the text, a zero byte.
// Received frames may arrive in any number of pieces; a frame longer than
// kMaxFrameLength (64 KiB, net/frame_reader.h) is reported and skipped.

#include <SDL.h>

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "net/frame_reader.h"

struct ReceivedMessage {
    int32_t socket = -1;  // NET2 socket index of the sender
    std::string text;
    bool damaged = false;  // only part of the message arrived intact
};

class Connection {
public:
    explicit Connection(int32_t port = 1337, const std::string& host = "localhost");

    bool startNetworking();  // SDL_net, then the fast event queue, then NET2
    void stopNetworking();   // NET2, then the fast event queue, then SDL_net

    bool startServer(int32_t port);                        // -1 keeps the stored port
    bool connectTo(const std::string& host, int32_t port); // "NULL" / -1 keep the stored values
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

    bool nextMessage(ReceivedMessage& message) const;  // copies the oldest, keeps it
    void dropMessage();                                // removes the oldest
    const std::list<ReceivedMessage>& inbox() const { return messages; }

    bool isServer() const { return server; }
    bool isClient() const { return client; }
    bool isConnecting() const { return false; }  // a connect under way
    int peerCount() const { return static_cast<int>(sockets.size()); }
    int32_t port() const { return currentPort; }
    const std::string& host() const { return currentHost; }

private:
    int32_t currentPort;
    std::string currentHost;
    bool server = false;
    bool client = false;
    std::vector<int32_t> sockets;
    std::list<ReceivedMessage> messages;
    std::map<int32_t, FrameReader> readers;  // peers with part of a frame held
    bool sdlNetStarted = false;

    void receiveAll(int32_t socket);
    void closePeer(int32_t socket);
    void queue(int32_t socket, const std::string& text, bool damaged);
};
