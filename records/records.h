#pragma once
// The player's records, kept across runs so that there is something to beat:
// the best time of each kind of time trial (an arena size and a star range),
// and the wins and losses against each level of the computer. They live in
// the state folder as "records", a few short lines, replaced whole at each
// change (base/state_file.h).

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <iterator>
#include <string>
#include <vector>

#include "settings/bot_level.h"

// A kind of time trial: the field settings it was played with.
struct TrialKind {
    int32_t mapDimensions = 0;
    int32_t minStars = 0;
    int32_t maxStars = 0;
    bool operator==(const TrialKind& other) const {
        return mapDimensions == other.mapDimensions && minStars == other.minStars && maxStars == other.maxStars;
    }
};

struct WinLoss {
    int32_t wins = 0;
    int32_t losses = 0;
};

class Records {
public:
    // The kinds of time trial kept; past that the one played longest ago goes.
    static constexpr size_t kMaxTrialKinds = 64;
    // The largest file the game writes, with room to spare; a larger one is damaged.
    static constexpr size_t kMaxFileBytes = 4096;

    // The best time of this kind in milliseconds, -1 when none was kept yet.
    int32_t bestTime(const TrialKind& kind) const;
    // Keeps `ms` when it is the first or a better time of its kind; true then.
    bool offerTime(const TrialKind& kind, int32_t ms);

    WinLoss against(BotLevel level) const;
    void addResult(BotLevel level, bool won);
    // The weakest level the player has never beaten; the strongest when every one has been.
    BotLevel lowestUnbeaten() const;

    // The file's text, and reading it back: false with the reason, and nothing
    // changed, when a line is not a record.
    std::string text() const;
    bool readText(const std::string& text, std::string& problem);

private:
    struct Best {
        TrialKind kind;
        int32_t ms = 0;
    };

    bool readLine(const std::string& line);  // false when it is not a record

    std::vector<Best> bests;  // the kind played most recently first
    WinLoss results[std::size(kBotLevels)];
};

// The file's path in the state folder, or "" when there is no such folder.
std::string recordsPath();

// The records in the file at `path`. A missing or unreadable file gives none,
// silently; a damaged one (too large, a line that is not a record) gives none
// and one line on `errors`.
Records readRecords(const std::string& path, std::ostream& errors);

// Replaces the file; false, with one line on `errors`, when it cannot be written.
bool writeRecords(const std::string& path, const Records& records, std::ostream& errors);
