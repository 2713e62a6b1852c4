#pragma once
// The datagram a game waiting for a friend sends to its local network, so that
// the join prompts of other games there can list it, and its reader.
//
// One line of ASCII text, nothing after it:
//   starhold/1|PORT|waiting|NAME
// "starhold/" names the game and 1 the layout; PORT is the TCP port to join in
// decimal (1 to 65535, no sign or leading zero); "waiting" is the only state, a
// game waiting for a friend; NAME is the host's player name (isPlayerName).
// The address to join is the one the datagram came from. At most 41 bytes are
// written; anything over kMaxAnnouncementBytes is refused unread.

#include <cstddef>
#include <cstdint>
#include <string>

// Games announce to, and listen on, this UDP port whatever their TCP port.
constexpr int32_t kDiscoveryPort = 1337;
constexpr size_t kMaxAnnouncementBytes = 512;

struct Announcement {
    int32_t port = 0;  // the TCP port the game listens on
    std::string name;  // the host's player name
};

// What the reader made of a datagram: listed, or why it was refused.
enum class AnnouncementCheck { Listed, Oversized, Foreign, OtherVersion, Truncated, BadPort, BadState, BadName };
constexpr int kAnnouncementChecks = 8;

std::string writeAnnouncement(const Announcement& announcement);
// Fills `announcement` only when the result is Listed.
AnnouncementCheck readAnnouncement(const uint8_t* bytes, size_t size, Announcement& announcement);
// The refusal in a few words, e.g. "a port out of range"; "" for Listed.
const char* refusalText(AnnouncementCheck check);
