// The input read as a sound and as music under an Ogg name, then played for a
// moment on SDL's dummy device. What the pre-check lets through must load and
// play without a crash, a hang or an outsized allocation.
#include <SDL.h>

#include "fuzz_file.h"
#include "sound/sound_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = writeInputFile(data, size, ".ogg");
    SoundManager sound;
    if (!sound.openAudio()) {
        return 0;
    }
    if (sound.loadSound(path, "pop1")) {
        sound.playSound("pop1", -1, 0);
    }
    if (sound.loadMusic(path, "1")) {
        sound.playMusic("1", 0);
        SDL_Delay(5);
    }
    return 0;
}
