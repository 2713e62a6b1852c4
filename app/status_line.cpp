#include "app/status_line.h"

#include "base/text.h"

namespace {

constexpr int kAdvance = 17;  // every character of a text line advances this far
constexpr int kBannerY = 90;     // the banner's title, above the ship
constexpr int kKeyPanelY = 76;   // clear of the status line in the smallest window
constexpr int kKeyRowHeight = 20;

HudText line(const std::string& text, int x, int y, float r, float g, float b) { return hudText(text, x, y, r, g, b); }

HudText centred(const std::string& text, int y, float r, float g, float b, int scale = 1) {
    return hudText(text, kHudCentreX - static_cast<int>(text.size()) * kAdvance * scale / 2, y, r, g, b, scale);
}

// One row, or two when the text is too long for one.
std::vector<HudText> rows(const std::string& text, float r, float g, float b) {
    const auto [first, second] = splitRow(text, kStatusChars);
    if (second.empty()) {
        return {line(first, 0, kStatusY, r, g, b)};
    }
    return {line(first, 0, kStatusY, r, g, b), line(second, 0, kStatusY + kStatusRowHeight, r, g, b)};
}

std::vector<HudText> stateOf(const ConnectionView& view) {
    const std::string port = toText(view.port);
    if (view.peers > 0 && view.silentMs > 0) {
        return rows("no word from " + view.friendName + " for " + toText(view.silentMs / 1000) + " s", 1, 1, 0);
    }
    if (!view.computer.empty()) {
        std::vector<HudText> shown = rows("playing the computer (" + view.computer + ")", 0, 1, 0);
        if (!view.record.empty()) shown.push_back(line(view.record, 0, kStatusY + kStatusRowHeight, 0, 1, 0));
        return shown;
    }
    if (view.peers > 0 && view.server) return rows("connected on port " + port, 0, 1, 0);
    if (view.peers > 0) return rows("connected to " + view.host, 0, 1, 0);
    if (view.connecting) return rows("connecting to " + view.host + ":" + port, 1, 1, 0);
    if (view.server) return rows("listening on " + (view.address.empty() ? "port " + port : view.address), 1, 1, 0);
    return {};
}

// Tenths of a second, cut rather than rounded, as the heads-up line shows the match time.
std::string secondsText(int32_t ms) { return toText(static_cast<float>(ms / 100) / 10.0f); }

}  // namespace

HudText hudText(const std::string& text, int x, int y, float r, float g, float b, int scale) {
    HudText t;
    t.text = text;
    t.x = x;
    t.y = y;
    t.r = r;
    t.g = g;
    t.b = b;
    t.scale = scale;
    return t;
}

std::pair<std::string, std::string> splitRow(const std::string& text, size_t width) {
    const size_t colon = text.find(": ");
    const size_t aside = text.rfind(" (", width);  // "(+1 more)" goes to the second row whole
    const size_t space = aside != std::string::npos ? aside : text.rfind(' ', width);
    if (text.size() <= width) {
        return {text, ""};
    }
    if (colon != std::string::npos && colon < width) {
        return {text.substr(0, colon + 1), text.substr(colon + 2)};
    }
    if (space != std::string::npos && space > 0) {
        return {text.substr(0, space), text.substr(space + 1)};
    }
    return {text, ""};
}

const char* const kSilentPlayText = "no sound device: playing silently";
const char* const kFullScreenRefusedText = "full screen refused by the display";
const char* const kWindowSizeRefusedText = "window size refused by the display";

std::string couldNotListenText(int32_t port) { return "could not listen on port " + toText(port); }

std::string couldNotConnectText(const std::string& host, int32_t port) {
    return "could not connect to " + host + ":" + toText(port);
}

void StatusLine::observe(const ConnectionView& view, uint32_t now) {
    const bool setOut = view.connecting || (view.server && !last.server) || !view.computer.empty();
    if (view.lost) {
        showEvent("connection lost", 1, 0.4f, 0.4f, now);
    } else if (last.peers > 0 && view.peers == 0 && !setOut) {
        showEvent("connection closed", 1, 0.4f, 0.4f, now);
    } else if (last.connecting && !view.connecting && view.peers == 0) {
        showEvent(couldNotConnectText(view.host, view.port), 1, 0.4f, 0.4f, now);
    }
    state = stateOf(view);
    last = view;
}

void StatusLine::showEvent(const std::string& text, float r, float g, float b, uint32_t now) {
    event = rows(text, r, g, b);
    eventStart = now;
    hasEvent = true;
}

std::vector<HudText> StatusLine::current(uint32_t now) const {
    const uint32_t age = now - eventStart;
    if (hasEvent && age < kEventMs) {
        std::vector<HudText> shown = event;
        if (age > kEventMs - kFadeMs) {
            const float left = static_cast<float>(kEventMs - age) / kFadeMs;
            for (HudText& row : shown) {
                row.r *= left;
                row.g *= left;
                row.b *= left;
            }
        }
        return shown;
    }
    return state;
}

std::string recordText(const WinLoss& result) {
    return "won " + toText(result.wins) + ", lost " + toText(result.losses);
}

std::vector<HudText> resultBanner(const MatchResult& result) {
    std::vector<HudText> banner;
    int nextY = kBannerY + 80;
    if (result.versus) {
        const bool won = result.ownEnergy > result.opponentEnergy;
        banner.push_back(centred(won ? "YOU WIN" : "YOU LOSE", kBannerY, won ? 0.f : 1.f, won ? 1.f : 0.f, 0, 2));
        const std::string energies = toText(result.ownEnergy) + " / " + toText(result.opponentEnergy);
        banner.push_back(centred("energy " + energies, kBannerY + 45, 1, 1, 1));
    } else {
        banner.push_back(centred("FIELD CLEARED", kBannerY, 1, 1, 0, 2));
        banner.push_back(centred("in " + secondsText(result.matchMs) + " s", kBannerY + 45, 1, 1, 1));
        if (result.newBest) {
            banner.push_back(centred("a new best", kBannerY + 80, 0, 1, 0));
            nextY = kBannerY + 115;
        } else if (result.bestMs >= 0) {
            banner.push_back(centred("best " + secondsText(result.bestMs) + " s", kBannerY + 80, 1, 1, 1));
            nextY = kBannerY + 115;
        }
    }
    const std::string next = result.hostStartsNext ? "waiting for the host's new match" : result.newMatchKey + ": new match";
    banner.push_back(centred(next, nextY, 0.7f, 0.7f, 0.7f));
    return banner;
}

std::vector<HudText> keyPanel(const KeyBindings& keys) {
    auto named = [&](std::initializer_list<Action> actions) {
        std::string text;
        for (Action action : actions) text += (text.empty() ? "" : " ") + shownKeyName(keys.key(action));
        return text;
    };
    const std::pair<std::string, std::string> rows[] = {
        {named({Action::Forward, Action::Back}), "thrust forward/back"},
        {named({Action::Left, Action::Right}), "thrust left/right"},
        {named({Action::Up, Action::Down}), "thrust up/down"},
        {named({Action::TurnLeft, Action::TurnRight}), "turn left/right"},
        {named({Action::RollLeft, Action::RollRight}), "roll"},
        {named({Action::AxisX, Action::AxisY, Action::AxisZ}), "thrust right, down, back"},
        {named({Action::Reverse}), "held: x y z the other way"},
        {named({Action::Centre}), "ship to the centre"},
        {named({Action::FreeCamera}), "free camera on/off"},
        {named({Action::NewMatch}), "new match"},
        {named({Action::Music}), "music on/off"},
        {named({Action::Listen}), "listen for a friend"},
        {named({Action::Connect}), "connect (connection.txt)"},
        {named({Action::Join}), "join: type the host"},
        {named({Action::Computer}), "play the computer"},
        {named({Action::Disconnect}), "disconnect"},
        {"Escape", "options: settings, keys"},
        {"F11", "full screen (Alt+Enter)"},
        {"F1", "hide these keys"},
    };
    std::vector<HudText> panel;
    int y = kKeyPanelY;
    for (const auto& [key, what] : rows) {
        panel.push_back(line(key, 20, y, 1, 1, 0));
        panel.push_back(line(what, 20 + 11 * kAdvance, y, 1, 1, 1));
        y += kKeyRowHeight;
    }
    return panel;
}

HudText keysHint() { return line("F1: keys  Esc: options", 0, 0, 0.8f, 0.8f, 0.8f); }

const char* const kNoGamesHeardText = "no games heard on the local network";
const char* const kGamesUnlistedText = "local games cannot be listed";

std::vector<HudText> promptRows(const std::string& text, const std::string& refusal, const PromptList& list) {
    constexpr int kRow = 26;
    std::vector<HudText> shown = {line(text, 40, kPromptY, 1, 1, 1)};
    int y = kPromptY + kRow;
    if (!refusal.empty()) {
        shown.push_back(line(refusal, 40, y, 1, 0.4f, 0.4f));
        y += kRow;
    }
    for (size_t i = 0; i < list.games.size(); ++i, y += kRow) {
        const bool chosen = static_cast<int>(i) == list.chosen;
        shown.push_back(line(list.games[i], 40, y, 1, 1, chosen ? 0 : 1));
    }
    if (list.games.empty() && !list.note.empty()) {
        shown.push_back(line(list.note, 40, y, 0.7f, 0.7f, 0.7f));
        y += kRow;
    }
    shown.push_back(line("Enter: join   Esc: close", 40, y + kRow / 2, 0.7f, 0.7f, 0.7f));
    shown.push_back(line("Up, Down: hosts joined, games heard", 40, y + kRow / 2 + kRow, 0.7f, 0.7f, 0.7f));
    return shown;
}
