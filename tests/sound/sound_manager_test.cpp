#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sound/sound_manager.h"

namespace {

std::string audioFile(const std::string& name) {
    const char* root = std::getenv("STARHOLD_SOURCE_DIR");
    return std::string(root ? root : ".") + "/data/audio/" + name;
}

int deviceOpenCount() { return Mix_QuerySpec(nullptr, nullptr, nullptr); }

// What the 'm' key does in the game.
void toggleMusic(SoundManager& sound) {
    if (sound.isMusicPaused()) {
        sound.resumeMusic();
    } else {
        sound.pauseMusic();
    }
}

// Files made during a test, in a folder removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/starhold-sound-test.XXXXXX";
        folder = mkdtemp(pattern) ? pattern : "/nonexistent";
    }
    ~ScratchFolder() {
        for (const std::string& file : files) std::remove(file.c_str());
        std::remove(folder.c_str());
    }
    std::string write(const std::string& name, const std::string& bytes) {
        files.push_back(folder + "/" + name);
        std::ofstream(files.back(), std::ios::binary) << bytes;
        return files.back();
    }

private:
    std::string folder;
    std::vector<std::string> files;
};

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An open manager per test; the device must be fully closed again when it is gone.
class OpenSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(deviceOpenCount(), 0);
        sound = std::make_unique<SoundManager>();
        ASSERT_TRUE(sound->openAudio());
    }
    void TearDown() override {
        sound.reset();
        EXPECT_EQ(deviceOpenCount(), 0);
    }
    void loadGameAudio() {
        ASSERT_TRUE(sound->loadMusic(audioFile("drx.ogg"), "1"));
        ASSERT_TRUE(sound->loadSound(audioFile("slam.ogg"), "wh1"));
        ASSERT_TRUE(sound->loadSound(audioFile("pop.ogg"), "pop1"));
        ASSERT_TRUE(sound->loadSound(audioFile("enemySlam.ogg"), "wh2"));
        ASSERT_TRUE(sound->loadSound(audioFile("enemyPop.ogg"), "pop2"));
    }

    std::unique_ptr<SoundManager> sound;
};

}  // namespace

TEST(SoundClosed, EveryLoadAndPlayFailsUntilTheDeviceIsOpen) {
    // Even with the device opened by someone else, a manager that has not opened it refuses.
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096), 0);
    {
        SoundManager sound;
        EXPECT_FALSE(sound.isAudioOpen());
        EXPECT_FALSE(sound.loadMusic(audioFile("drx.ogg"), "1"));
        EXPECT_FALSE(sound.loadSound(audioFile("pop.ogg"), "pop1"));
        EXPECT_FALSE(sound.playMusic("1", -1));
        EXPECT_FALSE(sound.playSound("pop1", -1, 0));
        EXPECT_EQ(sound.currentMusic(), "");
        EXPECT_FALSE(sound.isMusicPlaying());
    }
    EXPECT_EQ(deviceOpenCount(), 1) << "a manager that never opened the device leaves it alone";
    Mix_CloseAudio();
}

TEST_F(OpenSoundTest, OpensInTheGamesFormatAndLoadsItsAudioByName) {
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    EXPECT_TRUE(sound->isAudioOpen());
    EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 1);
    EXPECT_EQ(frequency, 22050);
    EXPECT_EQ(format, AUDIO_S16LSB);
    EXPECT_EQ(channels, 2);

    loadGameAudio();
    // A second load under a taken name fails, even of a good file, and the first stays usable.
    EXPECT_FALSE(sound->loadSound(audioFile("enemyPop.ogg"), "pop1"));
    EXPECT_FALSE(sound->loadSound(audioFile("no-such-file.ogg"), "pop1"));
    EXPECT_FALSE(sound->loadMusic(audioFile("slam.ogg"), "1"));
    EXPECT_TRUE(sound->playSound("pop1", -1, 0));
    EXPECT_TRUE(sound->playMusic("1", -1));
    // Music and sounds are separate tables: one name may be in both.
    EXPECT_TRUE(sound->loadSound(audioFile("pop.ogg"), "1"));
    EXPECT_TRUE(sound->loadMusic(audioFile("pop.ogg"), "pop1"));

    EXPECT_FALSE(sound->playSound("nothing", -1, 0));
    EXPECT_FALSE(sound->setSoundVolume("nothing", 64));
    // An unknown music name is remembered, but nothing plays.
    sound->haltMusic();
    EXPECT_TRUE(sound->playMusic("nothing", -1));
    EXPECT_EQ(sound->currentMusic(), "nothing");
    EXPECT_FALSE(sound->isMusicPlaying());
}

TEST_F(OpenSoundTest, BadFilesAreRefusedAndLeaveTheirNameFree) {
    ScratchFolder scratch;
    const std::string real = fileBytes(audioFile("pop.ogg"));
    ASSERT_GT(real.size(), 1000u);
    const std::string bad[] = {
        audioFile("no-such-file.ogg"),
        scratch.write("empty.ogg", ""),
        scratch.write("noise.ogg", std::string(5000, '\x7f')),
        scratch.write("tag.ogg", "OggS"),
        scratch.write("header.ogg", "OggS" + std::string(60, '\0')),
        scratch.write("text.ogg", "this is not audio\n"),
        audioFile(""),  // a folder
    };
    for (const std::string& path : bad) {
        EXPECT_FALSE(sound->loadSound(path, "x")) << path;
        EXPECT_FALSE(sound->loadMusic(path, "x")) << path;
        EXPECT_FALSE(sound->playSound("x", -1, 0)) << path;
    }
    // A cut-off file may or may not decode; either way it must not crash, and can be played.
    const std::string cut = scratch.write("cut.ogg", real.substr(0, real.size() / 2));
    if (sound->loadSound(cut, "cut")) {
        sound->playSound("cut", -1, 0);
    }
    if (sound->loadMusic(cut, "cut")) {
        sound->playMusic("cut", 0);
    }
    EXPECT_TRUE(sound->loadSound(audioFile("pop.ogg"), "x"));
    EXPECT_TRUE(sound->loadMusic(audioFile("drx.ogg"), "x"));
}

TEST_F(OpenSoundTest, SoundsPlayOnTheFirstFreeOrAGivenChannel) {
    loadGameAudio();
    const int channelCount = Mix_AllocateChannels(-1);
    ASSERT_GT(channelCount, 3);
    EXPECT_TRUE(sound->playSound("wh1", 3, -1));
    EXPECT_EQ(Mix_Playing(3), 1);
    for (int i = 1; i < channelCount; ++i) {
        EXPECT_TRUE(sound->playSound("pop2", -1, -1)) << "play " << i;
    }
    EXPECT_EQ(Mix_Playing(-1), channelCount);
    EXPECT_FALSE(sound->playSound("pop1", -1, 0)) << "every channel is busy";
    EXPECT_TRUE(sound->setSoundVolume("pop2", 32));
    sound->setAllSoundVolumes(100);
}

TEST_F(OpenSoundTest, MusicPlaysPausesResumesAndHalts) {
    loadGameAudio();
    std::string name = "untouched";
    EXPECT_FALSE(sound->isMusicPlaying(&name));
    EXPECT_EQ(name, "untouched");

    ASSERT_TRUE(sound->playMusic("1", -1));
    EXPECT_EQ(sound->currentMusic(), "1");
    EXPECT_TRUE(sound->isMusicPlaying(&name));
    EXPECT_EQ(name, "1");
    EXPECT_FALSE(sound->isMusicPaused(&name));

    toggleMusic(*sound);
    name.clear();
    EXPECT_TRUE(sound->isMusicPaused(&name));
    EXPECT_EQ(name, "1");
    EXPECT_TRUE(sound->isMusicPlaying()) << "paused music still counts as playing";
    toggleMusic(*sound);
    EXPECT_FALSE(sound->isMusicPaused());
    EXPECT_TRUE(sound->isMusicPlaying());

    EXPECT_EQ(sound->setMusicPosition(10.0), 0);
    EXPECT_EQ(sound->setMusicVolume(40), MIX_MAX_VOLUME);
    EXPECT_EQ(sound->setMusicVolume(-1), 40);
    sound->setMusicVolume(MIX_MAX_VOLUME);

    sound->haltMusic();
    EXPECT_FALSE(sound->isMusicPlaying());
    EXPECT_EQ(sound->currentMusic(), "1");
}

namespace {
std::atomic<int> finishedCount{0};
void countFinished() { ++finishedCount; }
}  // namespace

TEST_F(OpenSoundTest, TheFinishedHookRunsWhenAMusicEnds) {
    ASSERT_TRUE(sound->loadMusic(audioFile("pop.ogg"), "short"));
    finishedCount = 0;
    sound->hookMusicFinished(countFinished);
    ASSERT_TRUE(sound->playMusic("short", 0));
    // The music is 0.3 s long; allow far more for a slow machine.
    for (int waited = 0; waited < 10000 && finishedCount == 0; waited += 10) {
        SDL_Delay(10);
    }
    EXPECT_EQ(finishedCount, 1);
    EXPECT_FALSE(sound->isMusicPlaying());
    sound->hookMusicFinished(nullptr);
}

TEST(SoundLifetime, DestructionStopsEverythingAndClosesEveryOpening) {
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096), 0);
    {
        SoundManager sound;
        ASSERT_TRUE(sound.openAudio());
        EXPECT_EQ(deviceOpenCount(), 2);
        ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1"));
        ASSERT_TRUE(sound.loadSound(audioFile("slam.ogg"), "wh1"));
        ASSERT_TRUE(sound.playMusic("1", -1));
        ASSERT_TRUE(sound.playSound("wh1", -1, -1));
        sound.pauseMusic();
    }
    EXPECT_EQ(deviceOpenCount(), 0);

    // The device opens again afterwards for a new manager.
    SoundManager again;
    EXPECT_TRUE(again.openAudio());
    EXPECT_TRUE(again.loadSound(audioFile("pop.ogg"), "pop1"));
    EXPECT_TRUE(again.playSound("pop1", -1, 0));
}
