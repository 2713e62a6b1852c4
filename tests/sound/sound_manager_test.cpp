#include <gtest/gtest.h>

#include <SDL_mixer.h>
#include <fcntl.h>
#include <sys/stat.h>
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

TEST(Sound, NothingLoadsOrPlaysUntilThisManagerOpensTheDevice) {
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096), 0);  // opened by someone else
    {
        SoundManager sound;
        EXPECT_FALSE(sound.loadMusic(audioFile("drx.ogg"), "1"));
        EXPECT_FALSE(sound.loadSound(audioFile("pop.ogg"), "pop1"));
        EXPECT_FALSE(sound.playMusic("1", -1));
        EXPECT_FALSE(sound.playSound("pop1", -1, 0));
        EXPECT_EQ(sound.currentMusic(), "");
    }
    EXPECT_EQ(deviceOpenCount(), 1) << "a manager that never opened the device leaves it open";
    Mix_CloseAudio();
}

TEST(Sound, LoadsByNameKeepsTheFirstAndRefusesBadFiles) {
    SoundManager sound;
    ASSERT_TRUE(sound.openAudio());
    ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1"));
    for (const char* name : {"slam", "pop", "enemySlam", "enemyPop"}) {
        EXPECT_TRUE(sound.loadSound(audioFile(std::string(name) + ".ogg"), name)) << name;
    }
    // A taken name is refused without even opening the new file: a pipe keeps its bytes.
    const std::string pipe = "/tmp/starhold-sound-pipe-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int fd = open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    char bytes[64] = "OggS";
    ASSERT_EQ(write(fd, bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
    EXPECT_FALSE(sound.loadSound(pipe, "pop"));
    EXPECT_FALSE(sound.loadMusic(pipe, "1"));
    char back[128];
    EXPECT_EQ(read(fd, back, sizeof back), static_cast<ssize_t>(sizeof bytes));
    close(fd);
    unlink(pipe.c_str());
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
    // An unknown music is remembered but nothing plays.
    EXPECT_TRUE(sound.playMusic("nothing", -1));
    EXPECT_EQ(sound.currentMusic(), "nothing");
    EXPECT_FALSE(sound.isMusicPlaying());
}

TEST(Sound, MusicPausesAndResumesAndDestructionClosesEveryOpening) {
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096), 0);
    {
        SoundManager sound;
        ASSERT_TRUE(sound.openAudio());
        ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1"));
        ASSERT_TRUE(sound.loadSound(audioFile("slam.ogg"), "wh1"));
        ASSERT_TRUE(sound.playMusic("1", -1));
        ASSERT_TRUE(sound.playSound("wh1", -1, -1));
        std::string name;
        sound.pauseMusic();
        EXPECT_TRUE(sound.isMusicPaused(&name));
        EXPECT_EQ(name, "1");
        EXPECT_TRUE(sound.isMusicPlaying()) << "paused music still counts as playing";
        sound.resumeMusic();
        EXPECT_FALSE(sound.isMusicPaused());
        sound.pauseMusic();  // destroyed while paused and playing: the leak check sees the rest
    }
    EXPECT_EQ(deviceOpenCount(), 0);
}
