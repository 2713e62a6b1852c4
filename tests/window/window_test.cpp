// The game's window on a real X server. SDL_SetVideoMode is a stand-in here that
// hands every call to SDL's own unless told to refuse the next one, as a display
// may refuse a mode.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>
#include <dlfcn.h>

#include <string>

#include "render/draw_surface.h"
#include "textures/texture_manager.h"
#include "window/game_window.h"

namespace {

bool refuseNext = false;

}  // namespace

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    if (refuseNext) {
        refuseNext = false;
        SDL_SetError("refused here");
        return nullptr;
    }
    using SetVideoMode = SDL_Surface* (*)(int, int, int, Uint32);
    static const auto real = reinterpret_cast<SetVideoMode>(dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    return real(width, height, bpp, flags);
}

namespace {

class Window : public ::testing::Test {
protected:
    static void SetUpTestSuite() { opened = window.open(kFirstWindowSize, false); }
    void SetUp() override { ASSERT_TRUE(opened); }
    // Whether the call refused, and the one line it printed.
    template <typename Call>
    std::string refusal(Call call) {
        refuseNext = true;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(call());
        return testing::internal::GetCapturedStderr();
    }

    static inline DrawSurface3D scene;
    static inline TextureManager textures;
    static inline GameWindow window{scene, textures};
    static inline bool opened = false;
};

WindowSize screenSize() {
    const SDL_Surface* screen = SDL_GetVideoSurface();
    return {screen->w, screen->h};
}

}  // namespace

// Any size the player drags to, from the smallest window up to the desktop; full
// screen at the desktop's size; and back to the size the window had.
TEST_F(Window, ResizesWithinItsBoundsAndReturnsFromFullScreenToItsLastSize) {
    const WindowSize desktop = window.desktopSize();
    ASSERT_TRUE(desktop.width >= 800 && desktop.height >= 600);
    EXPECT_TRUE(window.size() == kFirstWindowSize && screenSize() == kFirstWindowSize && !window.isFullScreen());
    const std::pair<WindowSize, WindowSize> cases[] = {  // asked, given
        {{700, 500}, {700, 500}}, {{300, 200}, {640, 480}}, {{100000, 500}, {desktop.width, 500}},
        {{100000, 100000}, desktop}, {{660, 490}, {660, 490}}};
    for (const auto& [asked, given] : cases) {
        EXPECT_TRUE(window.resize(asked));
        EXPECT_TRUE(window.size() == given && screenSize() == given && window.windowedSize() == given) << asked.width;
    }
    ASSERT_TRUE(window.setFullScreen(true));
    EXPECT_TRUE(window.isFullScreen() && window.size() == desktop && screenSize() == desktop);
    EXPECT_TRUE(window.resize({700, 500}) && window.size() == desktop);  // a full screen keeps its size
    ASSERT_TRUE(window.setFullScreen(false));
    EXPECT_TRUE(!window.isFullScreen() && window.size() == (WindowSize{660, 490}));
}

// A refused mode leaves the window as it was, its textures drawable, with one line saying so.
TEST_F(Window, ARefusedModeLeavesTheWindowAsItWasWithOneLine) {
    ASSERT_TRUE(window.resize(kFirstWindowSize));
    const GLuint texture = textures.createBlankTexture("blank", 4, 4);
    const std::string size = std::to_string(window.desktopSize().width) + "x" +
                             std::to_string(window.desktopSize().height);
    EXPECT_EQ(refusal([] { return window.setFullScreen(true); }),
              "starhold: full screen at " + size + " refused (refused here); the window stays as it was\n");
    EXPECT_EQ(refusal([] { return window.resize({1000, 700}); }),
              "starhold: window size 1000x700 refused (refused here); the window stays as it was\n");
    EXPECT_TRUE(window.size() == kFirstWindowSize && screenSize() == kFirstWindowSize && !window.isFullScreen());
    EXPECT_TRUE(glIsTexture(texture) && textures.getTexture("blank")->glName == texture && !window.lost());
    ASSERT_TRUE(window.setFullScreen(true));
    EXPECT_EQ(refusal([] { return window.setFullScreen(false); }).find("starhold: window size 800x600 refused"), 0u);
    EXPECT_TRUE(window.isFullScreen() && window.size() == window.desktopSize());
    ASSERT_TRUE(window.setFullScreen(false));
}
