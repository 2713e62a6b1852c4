#pragma once
// What the game tells the player beyond the heads-up line: the status line under
// it (connection state and short-lived events), the match-result banner, the
// key panel and the "F1: keys" hint. Everything here is text laid out in pixels
// from the origin of its group (app/overlay_layout.h), drawn by the game with
// the bitmap font.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/overlay_layout.h"
#include "settings/bindings.h"
#include "records/records.h"

struct HudText {
    std::string text;
    int x = 0;
    int y = 0;
    float r = 1, g = 1, b = 1;
    int scale = 1;  // 2 draws every glyph twice as large
};

// Texts drawn together over the world, in window pixels, with the dark
// backings that keep them readable drawn first.
struct OverlayGroup {
    std::vector<HudText> texts;
    std::vector<OverlayBox> shades;
};

// The connection as the status line sees it, read afresh each pass.
struct ConnectionView {
    bool server = false;
    bool client = false;
    bool connecting = false;
    int peers = 0;
    std::string host;
    int32_t port = 0;
    std::string address;  // hosting: where a friend joins us, e.g. "192.168.1.20:1337"
    std::string computer;  // playing the computer: its level, e.g. "normal"
    std::string record;    // and the player's record against that level
    std::string friendName;  // who plays with us: the host's name, or our guest's address
    uint32_t silentMs = 0;   // since the friend was last heard from, once that is worth telling
    bool lost = false;       // the friend was just given up for its silence
};

class StatusLine {
public:
    static constexpr uint32_t kEventMs = 4000;  // how long an event shows
    static constexpr uint32_t kFadeMs = 1000;   // the last part of it, fading out

    // Sets the state message from the connection and raises the events its
    // changes imply: a peer lost, a connect attempt that ended without one. A
    // peer let go for a new connect or for hosting is not a lost one.
    void observe(const ConnectionView& view, uint32_t now);
    void showEvent(const std::string& text, float r, float g, float b, uint32_t now);
    // The lines to draw at `now`: a live event (dimmed as it fades) or else the
    // state. A text too long for one row goes on two, broken after its first
    // ": ", or before a part in brackets, or else at its last space that fits.
    std::vector<HudText> current(uint32_t now) const;

private:
    std::vector<HudText> state;
    std::vector<HudText> event;
    uint32_t eventStart = 0;
    bool hasEvent = false;
    ConnectionView last;
};

// A text at (x, y) in a colour.
HudText hudText(const std::string& text, int x, int y, float r, float g, float b, int scale = 1);
// The text on one row of `width` characters, or on two when it is longer: broken
// after its first ": ", or before a part in brackets, or else at its last space
// that fits. The second row is "" when one holds it.
std::pair<std::string, std::string> splitRow(const std::string& text, size_t width);

// Event texts, kept here so every caller words them alike.
std::string couldNotListenText(int32_t port);
std::string couldNotConnectText(const std::string& host, int32_t port);
extern const char* const kSilentPlayText;
extern const char* const kFullScreenRefusedText;
extern const char* const kWindowSizeRefusedText;

// How a match ended, for the banner.
struct MatchResult {
    bool versus = false;  // against a friend: energies decided it
    int32_t ownEnergy = 0;
    int32_t opponentEnergy = 0;
    int32_t matchMs = 0;  // alone: how long the field took
    bool hostStartsNext = false;  // joined to a host: only the host starts the next match
    std::string newMatchKey = "Backspace";  // the key that starts it, as shownKeyName() (settings/bindings.h) names it
    int32_t bestMs = -1;   // alone: the best time of this kind of field, this one included
    bool newBest = false;  // alone: this time is the best
};

std::vector<HudText> resultBanner(const MatchResult& result);
// "won 2, lost 1": the record against a level of the computer.
std::string recordText(const WinLoss& result);
// What each key does, as the player has bound it.
std::vector<HudText> keyPanel(const KeyBindings& keys);
HudText keysHint();
// What the join prompt shows under its line: the games heard on the local
// network (`chosen` indexes the one chosen, -1 for none) or, with none, a note.
struct PromptList {
    std::vector<std::string> games;
    int chosen = -1;
    std::string note;
};
// The join prompt's line, its refusal when there is one, the list, and what its keys do.
std::vector<HudText> promptRows(const std::string& line, const std::string& refusal, const PromptList& list);
extern const char* const kNoGamesHeardText;
extern const char* const kGamesUnlistedText;

// Where things go, in pixels. The status line's rows from the top-left origin;
// the banner, the key panel and the join prompt on the centred panel; the hint
// at the bottom-left origin.
constexpr int kStatusY = 34;
constexpr int kStatusRowHeight = 22;
constexpr size_t kStatusChars = 36;  // what fits across the smallest window
constexpr int kHudCentreX = kPanelWidth / 2;
constexpr int kPromptY = 120;  // above the ship, which sits at the panel's centre
constexpr uint32_t kHintMs = 6000;  // how long the first-start hint shows
