#include <gtest/gtest.h>

#include "join/join_prompt.h"

namespace {

// Presses and releases a key, as SDL delivers it; the press's result.
PromptAction tap(JoinPrompt& prompt, SDLKey key, uint16_t unicode = 0) {
    const PromptAction action = prompt.handleKey(key, unicode, true);
    prompt.handleKey(key, 0, false);
    return action;
}

// Types the text, one character key each (the keysym of a letter is its lower-case code).
void type(JoinPrompt& prompt, const std::string& text) {
    for (char c : text) tap(prompt, static_cast<SDLKey>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c), c);
}

JoinPrompt opened(const std::vector<std::string>& recent = {}, int32_t port = 1337) {
    JoinPrompt prompt;
    prompt.open(recent, port);
    return prompt;
}

}  // namespace

TEST(JoinPrompt, OpensWithTheLastHostJoined) {
    EXPECT_EQ(opened({"192.168.1.20", "box.lan"}).line(40), "join: 192.168.1.20_");
    EXPECT_EQ(opened().line(40), "join: _");
    EXPECT_FALSE(JoinPrompt().isOpen());
}

TEST(JoinPrompt, TypesAndErasesAndJoinsWithTheDefaultOrTypedPort) {
    JoinPrompt prompt = opened({}, 4000);
    type(prompt, "Box.lanx");
    tap(prompt, SDLK_BACKSPACE, '\b');
    EXPECT_EQ(prompt.text(), "Box.lan");
    EXPECT_EQ(tap(prompt, SDLK_RETURN, '\r'), PromptAction::Join);
    EXPECT_FALSE(prompt.isOpen());
    EXPECT_EQ(prompt.target().host, "Box.lan");
    EXPECT_EQ(prompt.target().port, 4000);

    prompt.open({}, 1337);
    type(prompt, "192.168.1.20:65535");
    EXPECT_EQ(tap(prompt, SDLK_KP_ENTER, '\r'), PromptAction::Join);
    EXPECT_EQ(prompt.target().host, "192.168.1.20");
    EXPECT_EQ(prompt.target().port, 65535);
}

TEST(JoinPrompt, EnterOnWhatCannotBeAnAddressRefusesWithAReason) {
    struct Case { std::string text, reason; };
    const Case cases[] = {
        {"", "type a host name or address"},
        {"box:99999", "not a port: 99999"},
        {"box:0", "not a port: 0"},
        {"box:", "no port after ':'"},
        {":1337", "no host before ':'"},
        {"-box", "not a host name"},
        {std::string(64, 'b'), "not a host name"},  // a label holds at most 63
        {"1.2.3", "not an IPv4 address: 1.2.3"},
        {"010.0.0.1", "not an IPv4 address: 010.0.0.1"},
        {"1::1", "IPv6 is not supported"},
    };
    for (const Case& c : cases) {
        JoinPrompt prompt = opened();
        type(prompt, c.text);
        EXPECT_EQ(tap(prompt, SDLK_RETURN, '\r'), PromptAction::Taken) << c.text;
        EXPECT_TRUE(prompt.isOpen());
        EXPECT_EQ(prompt.text(), c.text);
        EXPECT_EQ(prompt.refusal(), c.reason);
        tap(prompt, SDLK_BACKSPACE, '\b');
        EXPECT_EQ(prompt.refusal(), "") << "an edit clears the reason";
    }
    JoinPrompt noDefault = opened({}, -1);
    type(noDefault, "box");
    EXPECT_EQ(tap(noDefault, SDLK_RETURN, '\r'), PromptAction::Taken);
    EXPECT_EQ(noDefault.refusal(), "no port: add :PORT");
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

TEST(JoinPrompt, UpAndDownStepThroughTheRecentHosts) {
    JoinPrompt prompt = opened({"a.lan", "b.lan", "c.lan"});
    const std::pair<SDLKey, const char*> steps[] = {
        {SDLK_UP, "b.lan"},   {SDLK_UP, "c.lan"},   {SDLK_UP, "c.lan"}, {SDLK_DOWN, "b.lan"},
        {SDLK_DOWN, "a.lan"}, {SDLK_DOWN, ""},      {SDLK_DOWN, ""},    {SDLK_UP, "a.lan"},
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
    EXPECT_EQ(prompt.handleKey(SDLK_RETURN, '\r', true), PromptAction::Join);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 0, false), PromptAction::Taken) << "typed into the prompt";
    EXPECT_EQ(prompt.handleKey(SDLK_RETURN, 0, false), PromptAction::Taken);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 'l', true), PromptAction::NotTaken);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 0, false), PromptAction::NotTaken);

    prompt.open({}, 1337);
    EXPECT_EQ(prompt.handleKey(SDLK_ESCAPE, 27, true), PromptAction::Close);
    EXPECT_FALSE(prompt.isOpen());
    EXPECT_EQ(prompt.handleKey(SDLK_ESCAPE, 0, false), PromptAction::Taken);
    EXPECT_EQ(prompt.handleKey(SDLK_c, 'c', true), PromptAction::NotTaken);
}
