#include "discovery/announcement.h"

#include <algorithm>

#include "settings/settings.h"

namespace {

constexpr const char* kGame = "starhold/";
constexpr const char* kVersion = "1";
constexpr const char* kWaiting = "waiting";
constexpr char kSeparator = '|';

// Cuts the next field off the front of `rest`; false when no separator follows it.
bool takeField(std::string& rest, std::string& field) {
    const size_t end = rest.find(kSeparator);
    if (end == std::string::npos) return false;
    field = rest.substr(0, end);
    rest.erase(0, end + 1);
    return true;
}

bool readPort(const std::string& text, int32_t& port) {
    const bool digits = !text.empty() && text.size() <= 5 && text[0] != '0' &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) return false;
    port = std::stoi(text);
    return port <= 65535;
}

}  // namespace

std::string writeAnnouncement(const Announcement& announcement) {
    return std::string(kGame) + kVersion + kSeparator + std::to_string(announcement.port) + kSeparator + kWaiting +
           kSeparator + announcement.name;
}

AnnouncementCheck readAnnouncement(const uint8_t* bytes, size_t size, Announcement& announcement) {
    if (size > kMaxAnnouncementBytes) return AnnouncementCheck::Oversized;
    std::string rest(reinterpret_cast<const char*>(bytes), size);
    const std::string game(kGame);
    if (rest.compare(0, game.size(), game) != 0) return AnnouncementCheck::Foreign;
    rest.erase(0, game.size());
    std::string version, port, state;
    const bool versionRead = takeField(rest, version);
    if (versionRead && version != kVersion) return AnnouncementCheck::OtherVersion;
    if (!versionRead || !takeField(rest, port) || !takeField(rest, state)) return AnnouncementCheck::Truncated;
    Announcement read;
    if (!readPort(port, read.port)) return AnnouncementCheck::BadPort;
    if (state != kWaiting) return AnnouncementCheck::BadState;
    if (!isPlayerName(rest)) return AnnouncementCheck::BadName;
    read.name = rest;
    announcement = read;
    return AnnouncementCheck::Listed;
}

const char* refusalText(AnnouncementCheck check) {
    switch (check) {
        case AnnouncementCheck::Listed: return "";
        case AnnouncementCheck::Oversized: return "longer than 512 bytes";
        case AnnouncementCheck::Foreign: return "not from this game";
        case AnnouncementCheck::OtherVersion: return "another version of the game";
        case AnnouncementCheck::Truncated: return "cut short";
        case AnnouncementCheck::BadPort: return "a port out of range";
        case AnnouncementCheck::BadState: return "an unknown state";
        case AnnouncementCheck::BadName: return "a name that is not a player name";
    }
    return "";
}
