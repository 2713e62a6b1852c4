// Datagrams, one per line, through the reader into the list of games heard.
// Checks: what is listed is exactly what the writer writes for it, in range, and
// the list holds at most its limit.
#include <algorithm>

#include "discovery/heard_games.h"
#include "harness.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HeardGames heard;
    const std::string input(reinterpret_cast<const char*>(data), size);
    uint32_t now = 0;
    for (size_t start = 0, end; start <= input.size(); start = end + 1) {
        end = std::min(input.find('\n', start), input.size());
        const std::string datagram = input.substr(start, end - start);
        Announcement read{-1, "unread"};
        const AnnouncementCheck check =
            readAnnouncement(reinterpret_cast<const uint8_t*>(datagram.data()), datagram.size(), read);
        now += static_cast<uint32_t>(datagram.size()) * 16;  // a clock the input moves
        if (check != AnnouncementCheck::Listed) {
            require(read.port == -1 && read.name == "unread");
            continue;
        }
        require(writeAnnouncement(read) == datagram && read.port >= 1 && read.port <= 65535 && isPlayerName(read.name));
        heard.hear("10.0.0." + std::to_string(start % 3), read, now);
        require(heard.current(now).size() <= HeardGames::kMaxGames);
    }
    return 0;
}
