#include "join/join_prompt.h"

#include <algorithm>

namespace {

constexpr const char* kLead = "join: ";
constexpr const char* kCursor = "_";
constexpr const char* kCut = "..";

bool isPrintable(uint16_t unicode) { return unicode >= 0x20 && unicode != 0x7f; }

}  // namespace

void JoinPrompt::open(const std::vector<std::string>& recentHosts, int32_t port) {
    opened = true;
    listed.clear();
    history = recentHosts;
    defaultPort = port;
    draft.clear();
    reason.clear();
    position = history.empty() ? -1 : 0;
    edited = history.empty() ? "" : history.front();
}

PromptAction JoinPrompt::handleKey(SDLKey key, uint16_t unicode, bool pressed) {
    const bool known = static_cast<size_t>(key) < down.size();
    const bool wasDown = known && down[key];
    if (known) down[key] = pressed && opened;  // a press the game takes makes its release the game's too
    if (!pressed) return opened || wasDown ? PromptAction::Taken : PromptAction::NotTaken;
    return opened ? press(key, unicode) : PromptAction::NotTaken;
}

PromptAction JoinPrompt::press(SDLKey key, uint16_t unicode) {
    switch (key) {
        case SDLK_ESCAPE:
            opened = false;
            return PromptAction::Close;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return enter();
        case SDLK_BACKSPACE:
            erase();
            return PromptAction::Taken;
        case SDLK_UP:
        case SDLK_DOWN:
            step(key == SDLK_UP ? 1 : -1);
            return PromptAction::Taken;
        default:
            type(unicode);
            return PromptAction::Taken;
    }
}

void JoinPrompt::type(uint16_t unicode) {
    if (!isPrintable(unicode)) return;  // Shift, F-keys and the like type nothing
    const char c = static_cast<char>(unicode);
    if (unicode > 0x7f || !isJoinTextCharacter(c)) {
        reason = "only letters, digits, - . and :";
    } else if (edited.size() >= kMaxJoinTextLength) {
        reason = "too long";
    } else {
        edit(edited + c);
    }
}

void JoinPrompt::erase() {
    reason.clear();
    if (!edited.empty()) edit(edited.substr(0, edited.size() - 1));
}

// An edit turns the text into the player's own draft again.
void JoinPrompt::edit(const std::string& text) {
    edited = text;
    draft = text;
    position = -1;
    reason.clear();
}

// Up (+1) goes to older hosts, Down (-1) back to newer ones, to the draft and down the games heard.
void JoinPrompt::step(int direction) {
    const int next = position + direction;
    if (next < -1 - static_cast<int>(listed.size()) || next >= static_cast<int>(history.size())) return;
    moveTo(next);
}

void JoinPrompt::moveTo(int next) {
    position = next;
    if (position >= 0) {
        edited = history[static_cast<size_t>(position)];
    } else if (position == -1) {
        edited = draft;
    } else {
        edited = listed[static_cast<size_t>(chosenGame())].target();
    }
    reason.clear();
}

// A chosen game that is no longer heard leaves its address in the line as the player's own text.
void JoinPrompt::showGames(const std::vector<HeardGame>& heard) {
    const int chosen = chosenGame();
    const std::string target = chosen >= 0 ? listed[static_cast<size_t>(chosen)].target() : "";
    listed = heard;
    if (chosen < 0) return;
    const auto found = std::find_if(listed.begin(), listed.end(), [&](const HeardGame& g) { return g.target() == target; });
    if (found != listed.end()) {
        position = -2 - static_cast<int>(found - listed.begin());
    } else {
        draft = edited;
        position = -1;
    }
}

std::string JoinPrompt::gameLine(size_t index, size_t width) const {
    const HeardGame& game = listed.at(index);
    const std::string gap = "  ", cut = kCut, where = game.target();
    const size_t room = width > where.size() + gap.size() ? width - where.size() - gap.size() : 0;  // for the name
    std::string name = game.name;
    if (name.size() > room && room > cut.size()) name = name.substr(0, room - cut.size()) + cut;
    return name + gap + where;
}

PromptAction JoinPrompt::enter() {
    if (!parseJoinText(edited, defaultPort, joined, reason)) return PromptAction::Taken;
    opened = false;
    return PromptAction::Join;
}

std::string JoinPrompt::line(size_t width) const {
    const std::string lead(kLead), cut(kCut), cursor(kCursor);
    const std::string whole = lead + edited + cursor;
    const size_t frame = lead.size() + cut.size() + cursor.size();
    if (whole.size() <= width || width <= frame) return whole;
    return lead + cut + edited.substr(edited.size() - (width - frame)) + cursor;
}
