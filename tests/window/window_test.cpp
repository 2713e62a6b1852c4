// The game's window on a real X server. SDL_SetVideoMode is a stand-in here that
// hands every call to SDL's own unless told to refuse the next, as a display may.
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
    using SetVideoMode = SDL_Surface* (*)(int, int, int, Uint32);
    static const auto real = reinterpret_cast<SetVideoMode>(dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    if (!refuseNext) return real(width, height, bpp, flags);
    refuseNext = false;
    SDL_SetError("refused here");
    return nullptr;
}

namespace {

WindowSize screenSize() { return {SDL_GetVideoSurface()->w, SDL_GetVideoSurface()->h}; }

}  // namespace

// Any size the player drags to, from the smallest window up to the desktop;
// full screen at the desktop's size and back to the window's last size; and a
// mode the display refuses leaves all as it was, with one line saying so.
TEST(Window, ResizesWithinItsBoundsSwitchesToFullScreenAndBackAndSurvivesARefusal) {
    DrawSurface3D scene;
    TextureManager textures;
    GameWindow window(scene, textures);
    ASSERT_TRUE(window.open(kFirstWindowSize, false));
    const WindowSize desktop = window.desktopSize();
    ASSERT_TRUE(desktop.width >= 800 && desktop.height >= 600);
    EXPECT_TRUE(window.drawnSize() == kFirstWindowSize && screenSize() == kFirstWindowSize && !window.isFullScreen());
    const std::pair<WindowSize, WindowSize> cases[] = {  // asked, given
        {{700, 500}, {700, 500}}, {{300, 200}, {640, 480}}, {{100000, 500}, {desktop.width, 500}},
        {{100000, 100000}, desktop}, {{660, 490}, {660, 490}}};
    for (const auto& [asked, given] : cases) {
        EXPECT_TRUE(window.resize(asked));
        EXPECT_TRUE(window.drawnSize() == given && screenSize() == given && window.windowedSize() == given) << asked.width;
    }
    ASSERT_TRUE(window.setFullScreen(true));
    EXPECT_TRUE(window.isFullScreen() && window.drawnSize() == desktop && screenSize() == desktop);
    EXPECT_TRUE(window.resize({700, 500}) && window.drawnSize() == desktop);  // a full screen keeps its size
    ASSERT_TRUE(window.setFullScreen(false));
    EXPECT_TRUE(!window.isFullScreen() && window.drawnSize() == (WindowSize{660, 490}));

    const GLuint texture = textures.createBlankTexture("blank", 4, 4);
    for (const bool full : {true, false}) {
        refuseNext = true;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(full ? window.setFullScreen(true) : window.resize({1000, 700}));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("starhold: ") + (full ? "full screen at " : "window size 1000x700") +
                      (full ? std::to_string(desktop.width) + "x" + std::to_string(desktop.height) : "") +
                      " refused (refused here); the window stays as it was\n");
        EXPECT_TRUE(window.drawnSize() == (WindowSize{660, 490}) && screenSize() == window.drawnSize() && !window.isFullScreen());
        EXPECT_TRUE(glIsTexture(texture) && textures.getTexture("blank")->glName == texture && !window.lost());
    }
}
