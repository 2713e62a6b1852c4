#pragma once
// Finding games on the local network over NET2's UDP half. A game waiting for a
// friend announces itself with LanAnnouncer; a join prompt lists what its
// LanListener hears. Both run on the main thread with networking started, and
// read time from the caller (`now`, in milliseconds).

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/announcement.h"
#include "discovery/heard_games.h"

class LanAnnouncer {
public:
    static constexpr uint32_t kPeriodMs = 1000;

    explicit LanAnnouncer(int32_t port = kDiscoveryPort) : udpPort(port) {}
    // Announces this from the next send on, at once when it differs from what
    // was announced before.
    void start(const Announcement& announcement);
    void stop() { active = false; }
    bool announcing() const { return active; }
    const Announcement& announcement() const { return announced; }
    // Whether a send is due: the first at once, then one each period.
    bool due(uint32_t now) const;
    // One datagram to each address (dotted quads), on the announcing port.
    void send(const std::vector<std::string>& addresses, uint32_t now);

private:
    int32_t udpPort;
    bool active = false;
    bool sentOnce = false;
    uint32_t sentAt = 0;
    Announcement announced;
    std::string datagram;
};

class LanListener {
public:
    explicit LanListener(int32_t port = kDiscoveryPort) : udpPort(port) {}
    ~LanListener() { close(); }
    LanListener(const LanListener&) = delete;
    LanListener& operator=(const LanListener&) = delete;

    // Starts listening; false when the port is taken (another copy of the game
    // on this machine listens there) or networking is not running.
    bool open();
    // Stops listening and forgets the games heard.
    void close();
    bool isOpen() const { return socket >= 0; }
    // Reads every datagram waiting. A refused one is ignored, with a line on
    // stderr for the first of its kind and then at most one a minute.
    void receive(uint32_t now);
    std::vector<HeardGame> games(uint32_t now) { return heard.current(now); }

private:
    struct Quiet {  // one kind of refusal on stderr
        bool printed = false;
        uint32_t printedAt = 0;
        int leftOut = 0;
    };
    static constexpr uint32_t kQuietMs = 60000;

    void refuse(AnnouncementCheck check, const std::string& address, uint32_t now);

    int32_t udpPort;
    int32_t socket = -1;
    HeardGames heard;
    Quiet quiet[kAnnouncementChecks];
};
