#include "sound/sound_manager.h"

namespace {

// The smallest header of any format SDL_mixer decodes (a RIFF wave's first chunk).
constexpr int kShortestAudioFile = 12;

// SDL_mixer trusts its first reads: it inspects a format tag it may never have read,
// and leaks its stream when handed a folder. So a stream must first yield a whole
// header; it is left at its start.
bool holdsAudioHeader(SDL_RWops* stream) {
    char header[kShortestAudioFile];
    const bool whole = SDL_RWread(stream, header, 1, kShortestAudioFile) == kShortestAudioFile;
    return whole && SDL_RWseek(stream, 0, RW_SEEK_SET) == 0;
}

bool holdsAudioHeader(const std::string& path) {
    SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
    if (!stream) {
        return false;
    }
    const bool holds = holdsAudioHeader(stream);
    SDL_RWclose(stream);
    return holds;
}

}  // namespace

SoundManager::SoundManager() = default;

SoundManager::~SoundManager() {
    if (!audioOpen) {
        return;
    }
    while (isMusicPlaying()) {
        Mix_HaltMusic();
    }
    Mix_HaltChannel(-1);
    freeAll();

    // Others may have opened the device too; it only closes once every open is matched.
    int openCount = Mix_QuerySpec(nullptr, nullptr, nullptr);
    while (openCount-- > 0) {
        Mix_CloseAudio();
    }
}

void SoundManager::freeAll() {
    for (auto entry = musics.begin(); entry != musics.end();) {
        if (entry->second.music) {
            Mix_FreeMusic(entry->second.music);
        }
        entry = musics.erase(entry);
    }
    for (auto entry = sounds.begin(); entry != sounds.end();) {
        if (entry->second.chunk) {
            Mix_FreeChunk(entry->second.chunk);
        }
        entry = sounds.erase(entry);
    }
}

bool SoundManager::openAudio() {
    audioOpen = Mix_OpenAudio(frequency, format, channels, chunkSize) == 0;
    return audioOpen;
}

bool SoundManager::loadMusic(const std::string& path, const std::string& name) {
    if (!audioOpen || musics.count(name) != 0) {
        return false;
    }
    if (!holdsAudioHeader(path)) {
        return false;
    }
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    if (!music) {
        return false;
    }
    musics[name] = Music{path, music};
    return true;
}

bool SoundManager::loadSound(const std::string& path, const std::string& name) {
    if (!audioOpen || sounds.count(name) != 0) {
        return false;
    }
    SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
    if (!stream) {
        return false;
    }
    if (!holdsAudioHeader(stream)) {
        SDL_RWclose(stream);
        return false;
    }
    Mix_Chunk* chunk = Mix_LoadWAV_RW(stream, 1);  // frees the stream either way
    if (!chunk) {
        return false;
    }
    sounds[name] = Sound{path, chunk};
    return true;
}

bool SoundManager::playMusic(const std::string& name, int loops) {
    if (!audioOpen) {
        return false;
    }
    const auto entry = musics.find(name);
    if (entry != musics.end() && Mix_PlayMusic(entry->second.music, loops) == -1) {
        return false;
    }
    currentMusicName = name;
    return true;
}

bool SoundManager::playSound(const std::string& name, int channel, int loops) {
    if (!audioOpen) {
        return false;
    }
    const auto entry = sounds.find(name);
    if (entry == sounds.end()) {
        return false;
    }
    return Mix_PlayChannelTimed(channel, entry->second.chunk, loops, -1) != -1;
}

void SoundManager::pauseMusic() { Mix_PauseMusic(); }

void SoundManager::resumeMusic() { Mix_ResumeMusic(); }

void SoundManager::haltMusic() { Mix_HaltMusic(); }

bool SoundManager::isMusicPlaying(std::string* name) const {
    const bool playing = Mix_PlayingMusic() != 0;
    if (playing && name) {
        *name = currentMusicName;
    }
    return playing;
}

bool SoundManager::isMusicPaused(std::string* name) const {
    const bool paused = Mix_PausedMusic() != 0;
    if (paused && name) {
        *name = currentMusicName;
    }
    return paused;
}

int SoundManager::setMusicVolume(int volume) { return Mix_VolumeMusic(volume); }

bool SoundManager::setSoundVolume(const std::string& name, int volume) {
    const auto entry = sounds.find(name);
    if (entry == sounds.end()) {
        return false;  // SDL_mixer would dereference a missing chunk
    }
    return Mix_VolumeChunk(entry->second.chunk, volume) >= 0;
}

void SoundManager::setAllSoundVolumes(int volume) {
    for (auto& entry : sounds) {
        Mix_VolumeChunk(entry.second.chunk, volume);
    }
}

int SoundManager::setMusicPosition(double position) { return Mix_SetMusicPosition(position); }

void SoundManager::hookMusicFinished(void (*callback)()) { Mix_HookMusicFinished(callback); }
