// The input read as a sound and as music under an Ogg name, then played for a
// moment. What the pre-check lets through must load and play without a crash,
// a hang or an outsized allocation. Page checksums are mended first so that
// mutated headers reach SDL_mixer instead of being dropped by libogg.
#include <SDL.h>

#include "harness.h"
#include "sound/sound_manager.h"
#include "tests/sound/ogg_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string file(reinterpret_cast<const char*>(data), size);
    for (size_t page = 0; page + 27 <= file.size() && file.compare(page, 4, "OggS") == 0;) {
        if (page + 27 + uint8_t(file[page + 26]) > file.size()) break;  // the lacing table itself is cut off
        const size_t end = oggPageEnd(file, page);
        if (end > file.size()) break;
        setOggChecksum(file, page);
        page = end;
    }
    const std::string path = writeInputFile(reinterpret_cast<const uint8_t*>(file.data()), file.size(), ".ogg");
    SoundManager sound;
    if (!sound.openAudio()) return 0;
    if (sound.loadSound(path, "pop1")) sound.playSound("pop1", -1, 0);
    if (sound.loadMusic(path, "1")) {
        sound.playMusic("1", 0);
        SDL_Delay(5);
    }
    return 0;
}
