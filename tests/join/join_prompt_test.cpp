#include <gtest/gtest.h>

#include <cctype>

#include "join/join_prompt.h"

namespace {

// Presses and releases a key, as SDL delivers it; the press's result.
PromptAction tap(JoinPrompt& prompt, SDLKey key, uint16_t unicode = 0) {
    const PromptAction action = prompt.handleKey(key, unicode, true);
    prompt.handleKey(key, 0, false);
    return action;
}

// Types the text, one key each: a letter's keysym is its lower-case code, and
// '\b' and '\r' are Backspace and Return. The last key's result.
PromptAction type(JoinPrompt& prompt, const std::string& text) {
    PromptAction action = PromptAction::NotTaken;
    for (char c : text) action = tap(prompt, static_cast<SDLKey>(std::tolower(c)), uint16_t(c));
    return action;
}

JoinPrompt opened(const std::vector<std::string>& recent = {}, int32_t port = 1337) {
    JoinPrompt prompt;
    prompt.open(recent, port);
    return prompt;
}

}  // namespace

TEST(JoinPrompt, EnterJoinsWithTheDefaultOrTypedPortOrRefusesWithAReason) {
    struct Case {
        std::string text;
        int32_t port;
        std::string joinedOrReason;
    } const cases[] = {
        {"Box.lanx\b", 4000, "Box.lan:4000"},
        {"192.168.1.20:65535", 1337, "192.168.1.20:65535"},
        {"box", -1, "no port: add :PORT"},
        {"", 1337, "type a host name or address"},
        {"box:99999", 1337, "not a port: 99999"},
        {"box:0", 1337, "not a port: 0"},
        {"box:", 1337, "no port after ':'"},
        {":1337", 1337, "no host before ':'"},
        {"-box", 1337, "not a host name"},
        {std::string(64, 'b'), 1337, "not a host name"},  // a label holds at most 63
        {"1.2.3", 1337, "not an IPv4 address: 1.2.3"},
        {"010.0.0.1", 1337, "not an IPv4 address: 010.0.0.1"},
        {"1::1", 1337, "IPv6 is not supported"},
    };
    for (const Case& c : cases) {
        JoinPrompt prompt = opened({}, c.port);
        const PromptAction action = type(prompt, c.text + "\r");
        if (action == PromptAction::Join) {
            EXPECT_FALSE(prompt.isOpen());
            EXPECT_EQ(prompt.target().host + ":" + std::to_string(prompt.target().port), c.joinedOrReason);
            continue;
        }
        EXPECT_TRUE(action == PromptAction::Taken && prompt.isOpen()) << c.text;
        EXPECT_TRUE(prompt.text() == c.text && prompt.refusal() == c.joinedOrReason) << c.text;
        type(prompt, "\b");
        EXPECT_EQ(prompt.refusal(), "") << "an edit clears the reason";
    }
}

TEST(JoinPrompt, RefusesCharactersNoAddressHoldsAndBoundsTheLength) {
    JoinPrompt prompt = opened();
    type(prompt, "a b/c@d_e");
    tap(prompt, static_cast<SDLKey>(233), 0xe9);  // é
    EXPECT_EQ(prompt.text(), "abcde");
    EXPECT_EQ(prompt.refusal(), "only letters, digits, - . and :");
    tap(prompt, SDLK_LSHIFT);
    tap(prompt, SDLK_F1);
    EXPECT_EQ(prompt.text(), "abcde");
    type(prompt, std::string(80, 'x'));
    EXPECT_EQ(prompt.text().size(), 64u);
    EXPECT_EQ(prompt.refusal(), "too long");
    EXPECT_EQ(prompt.line(20), "join: .." + std::string(11, 'x') + "_");
}

TEST(JoinPrompt, OpensOnTheLastHostJoinedAndUpAndDownStepThroughTheOthers) {
    EXPECT_EQ(opened().line(40), "join: _");
    JoinPrompt prompt = opened({"a.lan", "b.lan", "c.lan"});
    EXPECT_EQ(prompt.line(40), "join: a.lan_");
    const std::pair<SDLKey, const char*> steps[] = {
        {SDLK_UP, "b.lan"},   {SDLK_UP, "c.lan"}, {SDLK_UP, "c.lan"}, {SDLK_DOWN, "b.lan"},
        {SDLK_DOWN, "a.lan"}, {SDLK_DOWN, ""},    {SDLK_DOWN, ""},    {SDLK_UP, "a.lan"},
    };
    for (const auto& [key, text] : steps) {
        EXPECT_EQ(tap(prompt, key), PromptAction::Taken);
        EXPECT_EQ(prompt.text(), text);
    }
    type(prompt, ":4000");  // an edit becomes the player's own line again
    tap(prompt, SDLK_UP);
    EXPECT_EQ(prompt.text(), "a.lan");
    tap(prompt, SDLK_DOWN);
    EXPECT_EQ(prompt.text(), "a.lan:4000");
}

TEST(JoinPrompt, SwallowsEveryKeyWhileOpenAndTheReleasesOfItsKeysAfter) {
    JoinPrompt prompt = opened();
    EXPECT_EQ(prompt.handleKey(SDLK_j, 0, false), PromptAction::Taken);  // the key that opened it
    for (SDLKey key : {SDLK_UP, SDLK_LEFT, SDLK_SPACE, SDLK_RETURN, SDLK_BACKSPACE, SDLK_F1, SDLK_LSHIFT, SDLK_c,
                       SDLK_l, SDLK_o, SDLK_m}) {
        EXPECT_EQ(prompt.handleKey(key, 0, true), PromptAction::Taken) << key;
        EXPECT_EQ(prompt.handleKey(key, 0, false), PromptAction::Taken) << key;
    }
    type(prompt, "box.loca");
    prompt.handleKey(SDLK_l, 'l', true);
    EXPECT_EQ(prompt.handleKey(SDLK_KP_ENTER, '\r', true), PromptAction::Join);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 0, false), PromptAction::Taken) << "typed into the prompt";
    EXPECT_EQ(prompt.handleKey(SDLK_KP_ENTER, 0, false), PromptAction::Taken);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 'l', true), PromptAction::NotTaken);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 0, false), PromptAction::NotTaken);

    prompt.open({}, 1337);
    EXPECT_EQ(prompt.handleKey(SDLK_ESCAPE, 27, true), PromptAction::Close);
    EXPECT_FALSE(prompt.isOpen());
    EXPECT_EQ(prompt.handleKey(SDLK_ESCAPE, 0, false), PromptAction::Taken);
    EXPECT_EQ(prompt.handleKey(SDLK_c, 'c', true), PromptAction::NotTaken);
}
