// The options screen driven by key and pad events alone: moving between rows,
// values kept within their ranges, and keys bound, swapped, refused and restored.
#include <gtest/gtest.h>

#include <cstdlib>

#include "options/options_screen.h"

namespace {

class OptionsScreenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {  // SDL names the keys once its video has started
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override { screen.open(GameSettings()); }

    OptionsAction tap(SDLKey key, char typed = 0) {
        const OptionsAction action = screen.handleKey(key, static_cast<uint16_t>(typed), true);
        screen.handleKey(key, 0, false);
        return action;
    }
    OptionsAction taps(SDLKey key, int times) {
        OptionsAction last = OptionsAction::Taken;
        for (int i = 0; i < times; ++i) last = tap(key);
        return last;
    }
    // Selects the row whose label is `label`, moving down from where the screen is.
    void go(const std::string& label) {
        for (size_t i = 0; i < screen.rows().size() && row().label != label; ++i) tap(SDLK_DOWN);
        ASSERT_EQ(row().label, label);
    }
    OptionRow row() const { return screen.rows()[screen.selected()]; }
    std::string value(const std::string& label) const {
        for (const OptionRow& r : screen.rows())
            if (r.label == label) return r.value;
        return "(no such row)";
    }

    OptionsScreen screen;
};

}  // namespace

TEST_F(OptionsScreenTest, MovesBetweenRowsRoundTheEndsAndClosesOnEscape) {
    tap(SDLK_UP);  // from the first row to the last
    EXPECT_EQ(row().label, "restore default keys");
    tap(SDLK_DOWN);
    EXPECT_TRUE(row().label == "sensitivity" && tap(SDLK_a) == OptionsAction::Taken);  // no key is the game's
    EXPECT_EQ(screen.handleKey(SDLK_ESCAPE, 0, true), OptionsAction::Close);
    EXPECT_EQ(screen.handleKey(SDLK_ESCAPE, 0, false), OptionsAction::Taken);  // its release was the screen's
    EXPECT_EQ(screen.handleKey(SDLK_a, 'a', true), OptionsAction::NotTaken);
}

// Each value steps within the range config.txt reads it in, and shows as a match will use it.
TEST_F(OptionsScreenTest, ValuesStepWithinTheirRanges) {
    EXPECT_TRUE(tap(SDLK_RIGHT) == OptionsAction::Changed && screen.settings().sensitivity == 5.5f);
    EXPECT_EQ(taps(SDLK_LEFT, 200), OptionsAction::Taken);  // at the end nothing changes
    EXPECT_EQ(screen.settings().sensitivity, 0.5f);

    GameSettings odd;
    odd.sensitivity = 2.2f;
    odd.minStars = 31;  // a match of 31 to 50 holds 32 to 50 stars
    odd.mapDimensions = 23;
    screen.open(odd);
    EXPECT_EQ(value("fewest stars"), "32");
    tap(SDLK_RIGHT);
    EXPECT_EQ(screen.settings().sensitivity, 2.5f);  // to the next step on the grid
    go("arena size");
    tap(SDLK_LEFT);
    EXPECT_EQ(screen.settings().mapDimensions, 20);
    go("most stars");
    taps(SDLK_LEFT, 10);  // below the fewest: the fewest follows
    EXPECT_TRUE(value("most stars") == "30" && value("fewest stars") == "30");
    taps(SDLK_LEFT, 100);
    EXPECT_TRUE(value("fewest stars") == "2" && value("most stars") == "2");
    go("fewest stars");
    taps(SDLK_RIGHT, 5000);
    EXPECT_TRUE(value("fewest stars") == "8192" && value("most stars") == "8192");

    go("computer's level");
    EXPECT_EQ(row().value, "first unbeaten");  // as with no botlevel
    tap(SDLK_LEFT);
    EXPECT_TRUE(row().value == "hard" && screen.settings().botLevelSet);
    tap(SDLK_RIGHT);
    EXPECT_FALSE(screen.settings().botLevelSet);
}

TEST_F(OptionsScreenTest, TheNameIsTypedAndTakenWhenItIsOne) {
    go("your name");
    EXPECT_EQ(row().value, announcedName(GameSettings()));  // the login name until one is set
    tap(SDLK_RETURN);
    for (const char c : std::string("al ice")) tap(static_cast<SDLKey>(c), c);  // a name holds no blanks
    tap(SDLK_BACKSPACE);
    EXPECT_TRUE(row().value == "alic_" && tap(SDLK_RETURN) == OptionsAction::Changed);
    EXPECT_EQ(screen.settings().playerName, "alic");
    tap(SDLK_RETURN);
    taps(SDLK_BACKSPACE, 4);
    EXPECT_EQ(tap(SDLK_RETURN), OptionsAction::Taken);  // no name at all is not taken
    EXPECT_EQ(screen.notice(), "a name is 1 to 16 letters, digits or signs");
    tap(SDLK_ESCAPE);
    EXPECT_TRUE(screen.isOpen() && row().value == "alic");
}

TEST_F(OptionsScreenTest, AKeyIsBoundSwappedRefusedAndRestored) {
    go("thrust forward");
    tap(SDLK_RETURN);
    EXPECT_EQ(screen.notice(), "press the key for thrust forward (Esc: cancel)");
    EXPECT_TRUE(tap(SDLK_i) == OptionsAction::Changed && row().value == "i");  // free: bound at once

    tap(SDLK_RETURN);
    EXPECT_EQ(tap(SDLK_w), OptionsAction::Taken);  // bound elsewhere: named, nothing changed yet
    EXPECT_EQ(screen.notice(), "w is bound to thrust up: Enter swaps, Esc cancels");
    tap(SDLK_ESCAPE);
    EXPECT_TRUE(screen.isOpen() && row().value == "i" && value("thrust up") == "w");
    tap(SDLK_RETURN);
    tap(SDLK_w);
    EXPECT_TRUE(tap(SDLK_RETURN) == OptionsAction::Changed && row().value == "w" && value("thrust up") == "i");

    tap(SDLK_RETURN);
    tap(SDLK_F1);  // the game's own keys stay its own
    EXPECT_EQ(screen.notice(), "f1 always shows the keys");
    tap(SDLK_RETURN);
    tap(SDLK_UP);  // the screen's own keys may be bound: it takes every key while open
    EXPECT_TRUE(row().value == "Up" && value("thrust back") == "Down");
    go("show the keys");
    tap(SDLK_RETURN);
    tap(SDLK_m);  // F1 would go to the music by the swap
    EXPECT_EQ(screen.notice(), "f1 always shows the keys");
    go("restore default keys");
    EXPECT_TRUE(tap(SDLK_RETURN) == OptionsAction::Changed && screen.settings().keys == KeyBindings());
}

TEST_F(OptionsScreenTest, ThePadChoosesAndBindsItsButtonsAndStick) {
    const PadBindings pad;
    EXPECT_EQ(screen.handlePadButton(pad.button(PadAction::Centre)), OptionsAction::Taken);  // chooses: a number row
    go("pad: ship to the centre");
    screen.handlePadButton(pad.button(PadAction::Centre));
    EXPECT_EQ(tap(SDLK_a), OptionsAction::Taken);  // waits for a button, not a key
    EXPECT_EQ(screen.handlePadButton(pad.button(PadAction::Up)), OptionsAction::Changed);
    EXPECT_EQ(screen.notice(), "swapped with thrust up");
    EXPECT_EQ(screen.settings().pad.button(PadAction::Up), pad.button(PadAction::Centre));

    go("pad: up/down stick");
    tap(SDLK_RETURN);
    EXPECT_EQ(screen.handlePadAxis(1, -32000), OptionsAction::Taken);  // the left stick's: not for up/down
    EXPECT_EQ(screen.handlePadAxis(3, 9000), OptionsAction::Taken);     // barely moved
    EXPECT_TRUE(screen.handlePadAxis(3, -30000) == OptionsAction::Changed && row().value == "axis 3");
    EXPECT_EQ(screen.handlePadButton(pad.button(PadAction::Options)), OptionsAction::Close);
}
