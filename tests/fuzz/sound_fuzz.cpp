// The input read as a sound and as music under an Ogg name, then played for a
// moment. What the pre-check lets through must load and play without a crash,
// a hang or an outsized allocation. Page checksums are mended first so that
// mutated headers reach SDL_mixer instead of being dropped by libogg.
#include <SDL.h>

#include <cstring>
#include <vector>

#include "fuzz_file.h"
#include "sound/sound_manager.h"

namespace {

uint32_t oggChecksum(const uint8_t* bytes, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint32_t>(bytes[i]) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
        }
    }
    return crc;
}

void mendChecksums(std::vector<uint8_t>& file) {
    size_t page = 0;
    while (page + 27 <= file.size() && std::memcmp(&file[page], "OggS", 4) == 0) {
        const size_t segments = file[page + 26];
        size_t size = 27 + segments;
        for (size_t i = 0; i < segments && page + 27 + i < file.size(); ++i) {
            size += file[page + 27 + i];
        }
        if (page + size > file.size()) {
            return;
        }
        std::memset(&file[page + 22], 0, 4);
        const uint32_t crc = oggChecksum(&file[page], size);
        for (int i = 0; i < 4; ++i) {
            file[page + 22 + i] = static_cast<uint8_t>(crc >> (8 * i));
        }
        page += size;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(data, data + size);
    mendChecksums(file);
    const std::string path = writeInputFile(file.data(), file.size(), ".ogg");
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
