// The network benchmark: the computer's pilots (hard hosting, normal joining)
// play whole matches over the simulated link at several delays and through
// outages, and each step is measured from outside, through what each side
// shows: the owners on the two screens, the host's count against its field,
// where each side draws the other ship against where it is, how long a capture
// takes to reach the other screen, and when a silent link is noticed and given
// up. One row per scenario; bench/netbench.py makes the tables and the plot.

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "bot/pilot.h"
#include "match/local_match.h"

namespace {

constexpr uint32_t kLongestMatchMs = 10 * 60 * 1000;
constexpr uint32_t kSettleMs = 1000;        // after a match starts or an outage ends, before ships count
constexpr uint32_t kOutageStartMs = 30000;  // after the link opens: inside the first match
constexpr uint32_t kLostWatchMs = 30000;    // after an outage starts, how long to wait for the link to be given up
constexpr uint32_t kCaptureSlackMs = 100;   // beyond one round trip, what a capture may take to show on both screens
constexpr float kJumpSlack = 0.2f;          // units a drawn ship may move beyond its speed in one frame
constexpr uint32_t kTimelinePeriodMs = 100;
constexpr uint32_t kTimelineBeforeMs = 2000;
constexpr uint32_t kTimelineAfterMs = 3000;
constexpr uint32_t kFieldSeed = 7;

struct Scenario {
    std::string name;
    LinkConditions link;
};

LinkConditions linkOf(uint32_t delayMs, uint32_t outageMs) {
    LinkConditions link;
    link.delayMs = delayMs;
    link.jitterMs = delayMs / 5;
    link.heldUpShare = 0.02;
    if (outageMs > 0) {
        link.outages.push_back({kOutageStartMs, outageMs});
    }
    return link;
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> all;
    for (uint32_t delay : {0u, 50u, 100u, 250u}) {
        all.push_back({toText(delay) + " ms", linkOf(delay, 0)});
    }
    all.push_back({"50 ms + 10 s outage", linkOf(50, 10000)});
    all.push_back({"50 ms + 20 s outage", linkOf(50, 20000)});
    return all;
}

// The longest a round trip takes on this link outside an outage: both ways at
// their slowest, one segment held up.
uint32_t longestRoundTripMs(const LinkConditions& link) {
    return 2 * (link.delayMs + link.jitterMs) + (link.heldUpShare > 0.0 ? link.holdUpMs : 0);
}

// The distance between two points of the arena the shortest way, across the
// faces where that is shorter: the arena wraps every 2D on each axis.
float wrappedDistance(const float* a, const float* b, int32_t mapSize) {
    const float period = 2.0f * static_cast<float>(mapSize);
    float sum = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        float d = std::fmod(std::fabs(a[axis] - b[axis]), period);
        d = std::min(d, period - d);
        sum += d * d;
    }
    return std::sqrt(sum);
}

float speedOf(const Ship& ship) { return std::sqrt(ship.vx * ship.vx + ship.vy * ship.vy + ship.vz * ship.vz); }

bool sameField(const PlayerState& host, const PlayerState& guest) {
    const std::vector<Star>& a = host.stars();
    const std::vector<Star>& b = guest.stars();
    if (a.size() != b.size() || host.mapSize() != guest.mapSize()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) {
            return false;
        }
    }
    return true;
}

bool ownersAgree(const Star& host, const Star& guest) {
    return (host.owner == 1.0f && guest.owner == 2.0f) || (host.owner == 2.0f && guest.owner == 1.0f) ||
           (host.owner == guest.owner && host.owner != 1.0f && host.owner != 2.0f);
}

int32_t heldOnField(const PlayerState& player) {
    return static_cast<int32_t>(
        std::count_if(player.stars().begin(), player.stars().end(), [](const Star& s) { return s.owner == 1.0f; }));
}

bool hasEvent(const std::vector<MatchEvent>& events, MatchEvent::Kind kind) {
    return std::any_of(events.begin(), events.end(), [kind](const MatchEvent& e) { return e.kind == kind; });
}

// Nearest-rank percentile of sorted values; -1 for none.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) {
        return -1.0;
    }
    const size_t rank = static_cast<size_t>(std::lround(p / 100.0 * static_cast<double>(sorted.size() - 1)));
    return sorted[std::min(rank, sorted.size() - 1)];
}

// Where one side draws the other ship, against where that ship is.
struct ShipView {
    std::vector<double> errors;
    int jumps = 0;
    double largestExcess = 0.0;  // the largest move between two frames beyond what the speed allows
    bool hasLast = false;
    float last[3] = {0.0f, 0.0f, 0.0f};
    float lastSpeed = 0.0f;

    void forget() { hasLast = false; }

    void observe(const PlayerState& drawnBy, const PlayerState& truth, int32_t mapSize) {
        const float* drawn = drawnBy.ship().frame.position;
        errors.push_back(wrappedDistance(drawn, truth.ship().frame.position, mapSize));
        const float speed = speedOf(truth.ship());
        if (hasLast) {
            const float allowed = std::max(speed, lastSpeed) * LocalMatch::kStepMs / 1000.0f;
            const double excess = wrappedDistance(drawn, last, mapSize) - allowed;
            jumps += excess > kJumpSlack ? 1 : 0;
            largestExcess = std::max(largestExcess, excess);
        }
        std::copy(drawn, drawn + 3, last);
        lastSpeed = speed;
        hasLast = true;
    }
};

// Captures on one side on their way to the other side's screen.
struct CaptureWay {
    std::vector<int64_t> since;  // per star: when it was taken, -1 when nothing is on its way
    std::vector<double> delays;
    int captures = 0;
    int unseen = 0;  // taken back, or the field changed, before the other screen showed it

    void reset(size_t stars) {
        unseen += static_cast<int>(std::count_if(since.begin(), since.end(), [](int64_t t) { return t >= 0; }));
        since.assign(stars, -1);
    }
    void taken(int32_t star, uint32_t now) {
        if (star >= 0 && static_cast<size_t>(star) < since.size()) {
            unseen += since[static_cast<size_t>(star)] >= 0 ? 1 : 0;
            since[static_cast<size_t>(star)] = now;
            ++captures;
        }
    }
    void takenBack(int32_t star) {
        if (star >= 0 && static_cast<size_t>(star) < since.size() && since[static_cast<size_t>(star)] >= 0) {
            since[static_cast<size_t>(star)] = -1;
            ++unseen;
        }
    }
    // `other` shows each star it has taken as the opponent's once it knows.
    void observe(const PlayerState& other, uint32_t now) {
        for (size_t i = 0; i < since.size() && i < other.stars().size(); ++i) {
            if (since[i] >= 0 && other.stars()[i].owner == 2.0f) {
                delays.push_back(static_cast<double>(now - since[i]));
                since[i] = -1;
            }
        }
    }
};

// When one side showed that its friend had gone silent (the status line tells
// from MatchCore::kSilenceShownMs of silence on), and when it gave the link up,
// in ms after bytes from the friend last reached it.
struct Silence {
    uint64_t bytes = 0;
    int64_t lastHeard = -1;
    bool wasConnected = false;
    bool showing = false;
    int64_t shownAfter = -1;
    int64_t lostAfter = -1;
    int silentNotices = 0;

    void observe(const MatchCore& side, uint32_t now) {
        const bool shows = side.connected() && side.silentMs() >= MatchCore::kSilenceShownMs;
        if (shows && !showing && lastHeard >= 0) {
            ++silentNotices;
            shownAfter = std::max<int64_t>(shownAfter, now - lastHeard);
        }
        showing = shows;
        if (wasConnected && !side.connected() && lostAfter < 0 && lastHeard >= 0) {
            lostAfter = now - lastHeard;
        }
        wasConnected = side.connected();
        if (side.network().receivedBytes() != bytes) {
            bytes = side.network().receivedBytes();
            lastHeard = now;
        }
    }
    int64_t silentFor(const MatchCore& side, uint32_t now) const {
        return side.connected() && lastHeard >= 0 ? now - lastHeard : -1;
    }
};

struct Figures {
    uint32_t playMs = 0;
    double disagreeMs = 0.0;  // star-milliseconds
    double beyondMs = 0.0;    // star-milliseconds beyond the allowance after the last capture
    uint32_t longestAfterCaptureMs = 0;
    uint32_t hostCountOffMs = 0;
    uint32_t hostCountLongestOffMs = 0;
    int32_t hostCountWorst = 0;
    uint32_t guestCountOffMs = 0;
    int64_t recoveredMs = -1;  // after the outage, until both screens agree again
};

class Watch {
public:
    Watch(const LocalMatch& match, const LinkConditions& link) : match(match), link(link) {
        allowanceMs = longestRoundTripMs(link) + kCaptureSlackMs;
        if (!link.outages.empty()) {
            outageStart = match.now() + link.outages.front().startMs;  // the link opened with the match
            outageEnd = outageStart + link.outages.front().lengthMs;
        }
    }

    void observe() {
        const uint32_t now = match.now();
        const MatchCore& host = match.host();
        const MatchCore& guest = match.guest();
        const PlayerState& h = host.localPlayer();
        const PlayerState& g = guest.localPlayer();
        noticeNewMatches(h, g, now);
        noteCaptures(now);
        hostSilence.observe(host, now);
        guestSilence.observe(guest, now);
        checkCounts(h, g);
        matchesEnded += hasEvent(match.hostEvents(), MatchEvent::MatchOver) ? 1 : 0;
        const bool inPlay = host.connected() && guest.connected() && sameField(h, g) && !h.isMatchOver() &&
                            !g.isMatchOver();
        if (inPlay) {
            figures.playMs += LocalMatch::kStepMs;
            compareOwners(h, g, now);
            hostToGuest.observe(g, now);
            guestToHost.observe(h, now);
        }
        if (inPlay && now >= shipsFrom && !nearOutage(now)) {
            hostView.observe(host.remotePlayer(), g, h.mapSize());
            guestView.observe(guest.remotePlayer(), h, h.mapSize());
        } else {
            hostView.forget();
            guestView.forget();
        }
        recordTimeline(host, guest, now);
    }

    bool lost() const { return hostSilence.lostAfter >= 0 && guestSilence.lostAfter >= 0; }
    bool outageOver() const { return outageEnd == 0 || match.now() > outageStart + kLostWatchMs; }

    // Puts what was gathered in order, once the scenario is over.
    void finish() {
        captureDelays = hostToGuest.delays;
        captureDelays.insert(captureDelays.end(), guestToHost.delays.begin(), guestToHost.delays.end());
        for (std::vector<double>* values : {&captureDelays, &hostView.errors, &guestView.errors}) {
            std::sort(values->begin(), values->end());
        }
    }

    void writeRow(std::FILE* out, const std::string& name) const {
        const double minutes = figures.playMs / 60000.0;
        const bool wentOn = outageEnd != 0 && hostSilence.lostAfter < 0 && guestSilence.lostAfter < 0 &&
                            matchesEnded > 0;
        std::fprintf(out, "%s,%u,%u,%.1f,%u,%u,%d,%.1f,%.3f,%.3f,%u,%u,%u,%d,%u,", name.c_str(), link.delayMs,
                     link.jitterMs, link.heldUpShare * 100.0, outageEnd - outageStart, allowanceMs, matchesEnded,
                     figures.playMs / 1000.0, figures.disagreeMs / 1000.0 / minutes,
                     figures.beyondMs / 1000.0 / minutes, figures.longestAfterCaptureMs, figures.hostCountOffMs,
                     figures.hostCountLongestOffMs, figures.hostCountWorst, figures.guestCountOffMs);
        std::fprintf(out, "%.3f,%.3f,%d,%.3f,%.3f,%d,%.3f,", percentile(hostView.errors, 50),
                     percentile(hostView.errors, 99), hostView.jumps, percentile(guestView.errors, 50),
                     percentile(guestView.errors, 99), guestView.jumps,
                     std::max(hostView.largestExcess, guestView.largestExcess));
        std::fprintf(out, "%d,%d,%.0f,%.0f,%.0f,", hostToGuest.captures + guestToHost.captures,
                     hostToGuest.unseen + guestToHost.unseen, percentile(captureDelays, 50),
                     percentile(captureDelays, 99), percentile(captureDelays, 100));
        std::fprintf(out, "%d,%d,%lld,%lld,%lld,%lld,%d,%lld\n", hostSilence.silentNotices,
                     guestSilence.silentNotices, static_cast<long long>(hostSilence.shownAfter),
                     static_cast<long long>(guestSilence.shownAfter), static_cast<long long>(hostSilence.lostAfter),
                     static_cast<long long>(guestSilence.lostAfter), wentOn ? 1 : 0,
                     static_cast<long long>(figures.recoveredMs));
    }

    void writeDistributions(std::FILE* out, const std::string& name) const {
        const std::pair<const char*, const std::vector<double>*> measures[] = {
            {"host_view", &hostView.errors}, {"guest_view", &guestView.errors}, {"capture_delay", &captureDelays}};
        for (const auto& [measure, values] : measures) {
            for (int p = 0; p <= 100 && !values->empty(); ++p) {
                std::fprintf(out, "%s,%s,%d,%.4f\n", name.c_str(), measure, p, percentile(*values, p));
            }
        }
    }

    void writeTimeline(std::FILE* out, const std::string& name) const {
        for (const std::string& row : timeline) {
            std::fprintf(out, "%s,%s\n", name.c_str(), row.c_str());
        }
    }

private:
    // A match starts on each side when its clock goes back to 0: whatever was
    // on its way belongs to the old field.
    void noticeNewMatches(const PlayerState& h, const PlayerState& g, uint32_t now) {
        const int32_t hostTime = h.matchTime();
        const int32_t guestTime = g.matchTime();
        if (hostTime < lastHostTime || guestTime < lastGuestTime || lastCaptured.size() != h.stars().size()) {
            lastCaptured.assign(h.stars().size(), now);
            hostToGuest.reset(h.stars().size());
            guestToHost.reset(h.stars().size());
            shipsFrom = now + kSettleMs;
        }
        lastHostTime = hostTime;
        lastGuestTime = guestTime;
    }

    void noteCaptures(uint32_t now) {
        for (const MatchEvent& e : match.hostEvents()) {
            if (e.kind == MatchEvent::OwnCapture) {
                markCaptured(e.star, now);
                hostToGuest.taken(e.star, now);
                guestToHost.takenBack(e.star);
            }
        }
        for (const MatchEvent& e : match.guestEvents()) {
            if (e.kind == MatchEvent::OwnCapture) {
                markCaptured(e.star, now);
                guestToHost.taken(e.star, now);
                hostToGuest.takenBack(e.star);
            }
        }
    }

    void markCaptured(int32_t star, uint32_t now) {
        if (star >= 0 && static_cast<size_t>(star) < lastCaptured.size()) {
            lastCaptured[static_cast<size_t>(star)] = now;
        }
    }

    void checkCounts(const PlayerState& h, const PlayerState& g) {
        const int32_t off = h.ownStars() - heldOnField(h);
        if (off != 0) {
            figures.hostCountOffMs += LocalMatch::kStepMs;
            hostOffRun += LocalMatch::kStepMs;
            figures.hostCountLongestOffMs = std::max(figures.hostCountLongestOffMs, hostOffRun);
            figures.hostCountWorst = std::abs(off) > std::abs(figures.hostCountWorst) ? off : figures.hostCountWorst;
        } else {
            hostOffRun = 0;
        }
        if (!g.stars().empty() && g.ownStars() != heldOnField(g)) {
            figures.guestCountOffMs += LocalMatch::kStepMs;
        }
    }

    void compareOwners(const PlayerState& h, const PlayerState& g, uint32_t now) {
        bool allAgree = true;
        for (size_t i = 0; i < h.stars().size(); ++i) {
            if (ownersAgree(h.stars()[i], g.stars()[i])) {
                continue;
            }
            allAgree = false;
            figures.disagreeMs += LocalMatch::kStepMs;
            if (inOutage(now)) {
                continue;  // nothing can travel: unavoidable
            }
            uint32_t since = lastCaptured[i];
            if (outageEnd != 0 && since < outageEnd && now >= outageEnd) {
                since = outageEnd;  // what was taken during the outage could only travel after it
            }
            const uint32_t age = now - since;
            figures.longestAfterCaptureMs = std::max(figures.longestAfterCaptureMs, age);
            if (age > allowanceMs) {
                figures.beyondMs += LocalMatch::kStepMs;
            }
        }
        if (allAgree && outageEnd != 0 && now >= outageEnd && figures.recoveredMs < 0) {
            figures.recoveredMs = now - outageEnd;
        }
    }

    bool inOutage(uint32_t now) const { return outageEnd != 0 && now >= outageStart && now < outageEnd; }
    bool nearOutage(uint32_t now) const {
        return outageEnd != 0 && now >= outageStart && now < outageEnd + kSettleMs;
    }

    void recordTimeline(const MatchCore& host, const MatchCore& guest, uint32_t now) {
        if (outageEnd == 0 || now + kTimelineBeforeMs < outageStart || now > outageEnd + kTimelineAfterMs ||
            now < nextSample) {
            return;
        }
        nextSample = now + kTimelinePeriodMs;
        timeline.push_back(toText(static_cast<int32_t>(now - outageStart)) + "," +
                           std::to_string(hostSilence.silentFor(host, now)) + "," +
                           std::to_string(guestSilence.silentFor(guest, now)));
    }

    const LocalMatch& match;
    LinkConditions link;
    uint32_t allowanceMs = 0;
    uint32_t outageStart = 0;
    uint32_t outageEnd = 0;  // 0: no outage
    Figures figures;
    int matchesEnded = 0;
    int32_t lastHostTime = 0;
    int32_t lastGuestTime = 0;
    uint32_t hostOffRun = 0;
    uint32_t shipsFrom = 0;
    uint32_t nextSample = 0;
    std::vector<uint32_t> lastCaptured;
    ShipView hostView;   // the guest's ship as the host draws it
    ShipView guestView;  // the host's ship as the guest draws it
    CaptureWay hostToGuest;
    CaptureWay guestToHost;
    Silence hostSilence;
    Silence guestSilence;
    std::vector<std::string> timeline;
    std::vector<double> captureDelays;
};

// Plays `matches` whole matches on one link (an outage scenario: the match the
// outage falls in, or until the link is given up) and writes its figures.
bool run(const Scenario& scenario, int matches, std::FILE* rows, std::FILE* spread, std::FILE* outages) {
    Pilot hostPilot(BotLevel::Hard, kFieldSeed);
    Pilot guestPilot(BotLevel::Normal, kFieldSeed + 1);
    LocalMatch match(GameSettings(), hostPilot, guestPilot, kFieldSeed, scenario.link);
    Watch watch(match, scenario.link);
    if (!match.connect()) {
        std::fprintf(stderr, "netbench: %s: the guest could not join\n", scenario.name.c_str());
        return false;
    }
    const bool outage = !scenario.link.outages.empty();
    const int toPlay = outage ? 1 : matches;
    for (int i = 0; i < toPlay; ++i) {
        if (i > 0 && !match.host().startNewMatch()) {
            return false;
        }
        const PlayerState& h = match.host().localPlayer();
        const PlayerState& g = match.guest().localPlayer();
        match.stepUntil(kLongestMatchMs, [&] {
            watch.observe();
            const bool over = h.isMatchOver() && g.isMatchOver() && sameField(h, g);
            return (over && watch.outageOver()) || watch.lost();
        });
    }
    watch.finish();
    watch.writeRow(rows, scenario.name);
    watch.writeDistributions(spread, scenario.name);
    watch.writeTimeline(outages, scenario.name);
    std::fflush(rows);
    return true;
}

int readCount(const char* text, int fallback) {
    int32_t value = 0;
    return text != nullptr && parseInt(text, value) && value > 0 ? value : fallback;
}

const char* const kRowHeader =
    "scenario,delay_ms,jitter_ms,held_up_pct,outage_ms,allowance_ms,matches,play_s,"
    "disagree_star_s_per_min,beyond_star_s_per_min,longest_after_capture_ms,"
    "host_count_off_ms,host_count_longest_off_ms,host_count_worst,guest_count_off_ms,"
    "host_view_p50,host_view_p99,host_view_jumps,guest_view_p50,guest_view_p99,guest_view_jumps,largest_jump_excess,"
    "captures,captures_unseen,capture_p50_ms,capture_p99_ms,capture_max_ms,"
    "host_silent_notices,guest_silent_notices,host_silent_shown_ms,guest_silent_shown_ms,"
    "host_lost_ms,guest_lost_ms,went_on,recovered_ms\n";

}  // namespace

// netbench MATCHES RESULTS_CSV DISTRIBUTIONS_CSV OUTAGES_CSV
int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: starhold-netbench MATCHES RESULTS_CSV DISTRIBUTIONS_CSV OUTAGES_CSV\n");
        return 2;
    }
    const int matches = readCount(argv[1], 3);
    std::FILE* rows = std::fopen(argv[2], "w");
    std::FILE* spread = std::fopen(argv[3], "w");
    std::FILE* outages = std::fopen(argv[4], "w");
    if (rows == nullptr || spread == nullptr || outages == nullptr || !startHeadlessSdl()) {
        std::fprintf(stderr, "netbench: cannot start: %s\n", rows && spread && outages ? SDL_GetError() : "an output file");
        return 1;
    }
    std::fputs(kRowHeader, rows);
    std::fputs("scenario,measure,percentile,value\n", spread);
    std::fputs("scenario,ms_after_outage_start,host_silent_ms,guest_silent_ms\n", outages);
    bool ran = true;
    for (const Scenario& scenario : scenarios()) {
        ran = run(scenario, matches, rows, spread, outages) && ran;
    }
    std::fclose(rows);
    std::fclose(spread);
    std::fclose(outages);
    SDL_Quit();
    return ran ? 0 : 1;
}
