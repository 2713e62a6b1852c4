#include <gtest/gtest.h>

#include <SDL_mixer.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "sound/sound_manager.h"

namespace {

std::string audioFile(const std::string& name) {
    const char* root = std::getenv("STARHOLD_SOURCE_DIR");
    return std::string(root ? root : ".") + "/data/audio/" + name;
}

int deviceOpenCount() { return Mix_QuerySpec(nullptr, nullptr, nullptr); }

// A file under /tmp holding `bytes`; removed by the caller.
std::string scratchFile(const char* bytes, size_t size) {
    char path[] = "/tmp/starhold-sound.XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_EQ(write(fd, bytes, size), static_cast<ssize_t>(size));
    close(fd);
    return path;
}

}  // namespace

TEST(Sound, LoadsByNameKeepsTheFirstAndRefusesBadFiles) {
    SoundManager sound;
    ASSERT_TRUE(sound.openAudio());
    ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1"));
    for (const char* name : {"slam", "pop"}) EXPECT_TRUE(sound.loadSound(audioFile(std::string(name) + ".ogg"), name));
    EXPECT_FALSE(sound.loadSound(audioFile("slam.ogg"), "pop"));  // a taken name keeps its sound
    EXPECT_FALSE(sound.loadMusic(audioFile("pop.ogg"), "1"));
    EXPECT_TRUE(sound.playSound("pop", -1, 0));

    const std::string empty = scratchFile("", 0), shortTag = scratchFile("OggS", 4);
    // Files SDL's conversion or SDL_mixer cannot take safely: a 34 Hz Ogg Vorbis, and other containers.
    const std::string corpus = std::string(std::getenv("STARHOLD_SOURCE_DIR")) + "/tests/fuzz/corpus/sound/";
    for (const std::string& bad : {audioFile("missing.ogg"), empty, shortTag, audioFile(""), corpus + "rate-34.ogg",
                                   corpus + "rate-34.wav", corpus + "rate-34.aiff"}) {
        EXPECT_FALSE(sound.loadSound(bad, "x")) << bad;
        EXPECT_FALSE(sound.loadMusic(bad, "x")) << bad;
    }
    unlink(empty.c_str());
    unlink(shortTag.c_str());
    EXPECT_FALSE(sound.playSound("x", -1, 0));
    EXPECT_TRUE(sound.loadSound(audioFile("pop.ogg"), "x")) << "a refused file leaves its name free";
}

TEST(Sound, MusicPausesAndResumesAndAManagerClosesTheDeviceOnlyIfItOpenedIt) {
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096), 0);  // opened by someone else
    {
        SoundManager idle;
        EXPECT_FALSE(idle.loadSound(audioFile("pop.ogg"), "pop1"));  // nothing loads before this one opens it
        EXPECT_FALSE(idle.loadMusic(audioFile("drx.ogg"), "1") || idle.playSound("pop1", -1, 0));
    }
    ASSERT_EQ(deviceOpenCount(), 1);
    {
        SoundManager sound;
        ASSERT_TRUE(sound.openAudio());
        ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1"));
        ASSERT_TRUE(sound.loadSound(audioFile("slam.ogg"), "wh1"));
        ASSERT_TRUE(sound.playMusic("1", -1));
        ASSERT_TRUE(sound.playSound("wh1", -1, -1));
        std::string name;
        sound.pauseMusic();
        EXPECT_TRUE(sound.isMusicPaused(&name) && name == "1");
        EXPECT_TRUE(sound.isMusicPlaying()) << "paused music still counts as playing";
        sound.resumeMusic();
        EXPECT_FALSE(sound.isMusicPaused());
        sound.pauseMusic();  // destroyed while paused and playing: the leak check sees the rest
    }
    EXPECT_EQ(deviceOpenCount(), 0);
}

TEST(Sound, VolumesReachTheMusicAndTheNamedSounds) {
    SoundManager sound;
    ASSERT_TRUE(sound.openAudio());
    ASSERT_TRUE(sound.loadSound(audioFile("pop.ogg"), "pop") && sound.loadSound(audioFile("slam.ogg"), "slam"));
    sound.setMusicVolume(40);
    EXPECT_EQ(sound.setMusicVolume(-1), 40);  // -1 only asks
    sound.setAllSoundVolumes(10);
    EXPECT_TRUE(sound.setSoundVolume("slam", 77));
    EXPECT_FALSE(sound.setSoundVolume("missing", 77));
    ASSERT_TRUE(sound.playSound("pop", 0, -1) && sound.playSound("slam", 1, -1));
    EXPECT_EQ(Mix_VolumeChunk(Mix_GetChunk(0), -1), 10);
    EXPECT_EQ(Mix_VolumeChunk(Mix_GetChunk(1), -1), 77);
}
