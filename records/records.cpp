#include "records/records.h"

#include <algorithm>
#include <limits>
#include <ostream>
#include <sstream>

#include "base/replace_file.h"
#include "base/state_file.h"
#include "base/text.h"

namespace {

constexpr int32_t kMostCounted = std::numeric_limits<int32_t>::max();

size_t levelIndex(BotLevel level) { return static_cast<size_t>(level); }

// The next token as a whole number of at least `least`; false for anything else.
bool readCount(std::istream& words, int32_t least, int32_t& value) {
    std::string word;
    return static_cast<bool>(words >> word) && parseWholeInt(word, value) && value >= least;
}

}  // namespace

int32_t Records::bestTime(const TrialKind& kind) const {
    for (const Best& best : bests) {
        if (best.kind == kind) return best.ms;
    }
    return -1;
}

bool Records::offerTime(const TrialKind& kind, int32_t ms) {
    const auto same = std::find_if(bests.begin(), bests.end(), [&](const Best& b) { return b.kind == kind; });
    Best best{kind, ms};
    bool better = true;
    if (same != bests.end()) {
        better = ms < same->ms;
        best.ms = std::min(ms, same->ms);
        bests.erase(same);
    }
    bests.insert(bests.begin(), best);
    if (bests.size() > kMaxTrialKinds) bests.resize(kMaxTrialKinds);
    return better;
}

WinLoss Records::against(BotLevel level) const { return results[levelIndex(level)]; }

void Records::addResult(BotLevel level, bool won) {
    int32_t& count = won ? results[levelIndex(level)].wins : results[levelIndex(level)].losses;
    if (count < kMostCounted) ++count;
}

BotLevel Records::lowestUnbeaten() const {
    for (BotLevel level : kBotLevels) {
        if (against(level).wins == 0) return level;
    }
    return kBotLevels[std::size(kBotLevels) - 1];
}

std::string Records::text() const {
    std::ostringstream out;
    for (const Best& best : bests) {
        out << "best " << best.kind.mapDimensions << " " << best.kind.minStars << " " << best.kind.maxStars << " "
            << best.ms << "\n";
    }
    for (BotLevel level : kBotLevels) {
        const WinLoss result = against(level);
        if (result.wins > 0 || result.losses > 0) {
            out << "computer " << botLevelName(level) << " " << result.wins << " " << result.losses << "\n";
        }
    }
    return out.str();
}

bool Records::readText(const std::string& text, std::string& problem) {
    Records read;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!read.readLine(line)) {
            problem = "line " + std::to_string(number) + " is not a record";
            return false;
        }
    }
    *this = read;
    return true;
}

// A line is "best SIZE MINSTARS MAXSTARS MS" or "computer LEVEL WINS LOSSES",
// or blank. A kind or level listed twice keeps its first line.
bool Records::readLine(const std::string& line) {
    std::istringstream words(line);
    std::string what, rest;
    if (!(words >> what)) return true;
    if (what == "best") {
        Best best;
        if (!readCount(words, 0, best.kind.mapDimensions) || !readCount(words, 0, best.kind.minStars) ||
            !readCount(words, 0, best.kind.maxStars) || !readCount(words, 1, best.ms)) {
            return false;
        }
        if (bestTime(best.kind) < 0 && bests.size() < kMaxTrialKinds) bests.push_back(best);
    } else if (what == "computer") {
        std::string name;
        BotLevel level = BotLevel::Normal;
        WinLoss result;
        if (!(words >> name) || !parseBotLevel(name, level) || !readCount(words, 0, result.wins) ||
            !readCount(words, 0, result.losses)) {
            return false;
        }
        results[levelIndex(level)] = result;
    } else {
        return false;
    }
    return !(words >> rest);
}

std::string recordsPath() { return statePath("records"); }

Records readRecords(const std::string& path, std::ostream& errors) {
    std::string content;
    Records records;
    const StateRead read = readStateFile(path, Records::kMaxFileBytes, content);
    if (read == StateRead::Missing) return records;
    std::string problem = "larger than " + std::to_string(Records::kMaxFileBytes) + " bytes";
    if (read == StateRead::Read && records.readText(content, problem)) return records;
    errors << "starhold: ignoring the damaged records in " << path << ": " << problem << "\n";
    return records;
}

bool writeRecords(const std::string& path, const Records& records, std::ostream& errors) {
    if (path.empty()) return false;
    std::string failure;
    if (replaceFile(path, records.text(), failure)) return true;
    errors << "starhold: could not save the records in " << path << ": " << failure << "\n";
    return false;
}
