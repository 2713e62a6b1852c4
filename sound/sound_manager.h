#pragma once
// Music and sound effects over SDL_mixer, loaded and played by short names.

#include <SDL_mixer.h>

#include <map>
#include <string>

class SoundManager {
public:
    SoundManager();
    ~SoundManager();  // halts, frees everything and closes the device as often as it was opened
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    bool openAudio();  // 22050 Hz, signed 16-bit little-endian, stereo, 4096-byte chunks

    // While the device is closed every load and play returns false and does nothing.
    bool loadMusic(const std::string& path, const std::string& name);
    bool loadSound(const std::string& path, const std::string& name);
    bool playMusic(const std::string& name, int loops);
    bool playSound(const std::string& name, int channel, int loops);

    void pauseMusic();
    void resumeMusic();
    void haltMusic();
    bool isMusicPlaying(std::string* name = nullptr) const;
    bool isMusicPaused(std::string* name = nullptr) const;

    int setMusicVolume(int volume);
    bool setSoundVolume(const std::string& name, int volume);
    void setAllSoundVolumes(int volume);
    int setMusicPosition(double position);
    void hookMusicFinished(void (*callback)());

    const std::string& currentMusic() const { return currentMusicName; }

private:
    struct Music {
        std::string path;
        Mix_Music* music = nullptr;
    };
    struct Sound {
        std::string path;
        Mix_Chunk* chunk = nullptr;
    };

    void freeAll();  // frees every loaded music and sound and empties both tables

    std::map<std::string, Music> musics;
    std::map<std::string, Sound> sounds;
    std::string currentMusicName;
    int frequency = 22050;
    Uint16 format = AUDIO_S16LSB;
    int channels = 2;
    int chunkSize = 4096;
    bool audioOpen = false;
};
