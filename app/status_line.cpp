#include "app/status_line.h"

#include "app/text.h"

namespace {

constexpr int kAdvance = 17;  // every character of a text line advances this far

HudText line(const std::string& text, int x, int y, float r, float g, float b) {
    HudText t;
    t.text = text;
    t.x = x;
    t.y = y;
    t.r = r;
    t.g = g;
    t.b = b;
    return t;
}

HudText centred(const std::string& text, int y, float r, float g, float b, int scale = 1) {
    HudText t = line(text, kHudCentreX - static_cast<int>(text.size()) * kAdvance * scale / 2, y, r, g, b);
    t.scale = scale;
    return t;
}

HudText stateOf(const ConnectionView& view) {
    const std::string port = toText(view.port);
    if (view.peers > 0 && view.server) return line("connected on port " + port, 0, kStatusY, 0, 1, 0);
    if (view.peers > 0) return line("connected to " + view.host, 0, kStatusY, 0, 1, 0);
    if (view.connecting) return line("connecting to " + view.host + ":" + port, 0, kStatusY, 1, 1, 0);
    if (view.server) return line("listening on port " + port, 0, kStatusY, 1, 1, 0);
    return HudText();
}

}  // namespace

const char* const kSilentPlayText = "no sound device: playing silently";

std::string couldNotListenText(int32_t port) { return "could not listen on port " + toText(port); }

std::string couldNotConnectText(const std::string& host, int32_t port) {
    return "could not connect to " + host + ":" + toText(port);
}

void StatusLine::observe(const ConnectionView& view, uint32_t now) {
    const bool setOut = view.connecting || (view.server && !last.server);
    if (last.peers > 0 && view.peers == 0 && !setOut) {
        showEvent("connection closed", 1, 0.4f, 0.4f, now);
    } else if (last.connecting && !view.connecting && view.peers == 0) {
        showEvent(couldNotConnectText(view.host, view.port), 1, 0.4f, 0.4f, now);
    }
    state = stateOf(view);
    last = view;
}

void StatusLine::showEvent(const std::string& text, float r, float g, float b, uint32_t now) {
    event.clear();
    const size_t cut = text.find(": ");
    if (text.size() > kStatusChars && cut != std::string::npos) {
        event.push_back(line(text.substr(0, cut + 1), 0, kStatusY, r, g, b));
        event.push_back(line(text.substr(cut + 2), 0, kStatusY + kStatusRowHeight, r, g, b));
    } else {
        event.push_back(line(text, 0, kStatusY, r, g, b));
    }
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
    if (state.text.empty()) {
        return {};
    }
    return {state};
}

std::vector<HudText> resultBanner(const MatchResult& result) {
    std::vector<HudText> banner;
    if (result.versus) {
        const bool won = result.ownEnergy > result.opponentEnergy;
        banner.push_back(centred(won ? "YOU WIN" : "YOU LOSE", 170, won ? 0.f : 1.f, won ? 1.f : 0.f, 0, 2));
        banner.push_back(centred("energy " + toText(result.ownEnergy) + " / " + toText(result.opponentEnergy), 215,
                                 1, 1, 1));
    } else {
        const float seconds = static_cast<float>(result.matchMs / 100) / 10.0f;
        banner.push_back(centred("FIELD CLEARED", 170, 1, 1, 0, 2));
        banner.push_back(centred("in " + toText(seconds) + " s", 215, 1, 1, 1));
    }
    const char* next = result.hostStartsNext ? "waiting for the host's new match" : "Backspace: new match";
    banner.push_back(centred(next, 250, 0.7f, 0.7f, 0.7f));
    return banner;
}

std::vector<HudText> keyPanel() {
    static const char* const rows[][2] = {
        {"Up Down", "thrust forward/back"}, {"Left Right", "thrust left/right"},
        {"w s", "thrust up/down"},         {"a d", "turn left/right"},
        {"q e", "roll"},                   {"x y z", "thrust; Shift: reverse"},
        {"Return", "ship to the centre"},  {"Space", "free camera on/off"},
        {"Backspace", "new match"},        {"m", "music on/off"},
        {"l", "listen for a friend"},      {"c", "connect to a friend"},
        {"o", "disconnect"},               {"F1", "hide these keys"},
    };
    std::vector<HudText> panel;
    int y = 130;
    for (const auto& row : rows) {
        panel.push_back(line(row[0], 20, y, 1, 1, 0));
        panel.push_back(line(row[1], 20 + 11 * kAdvance, y, 1, 1, 1));
        y += 26;
    }
    return panel;
}

HudText keysHint() { return line("F1: keys", 0, 650, 0.8f, 0.8f, 0.8f); }
