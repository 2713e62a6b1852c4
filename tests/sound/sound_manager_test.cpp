#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sound/sound_manager.h"
#include "tests/sound/ogg_pages.h"

namespace {

const std::string kSource = std::getenv("STARHOLD_SOURCE_DIR") ? std::getenv("STARHOLD_SOURCE_DIR") : ".";

std::string audioFile(const std::string& name) { return kSource + "/data/audio/" + name; }

std::string littleEndian(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
    return out;
}

// pop.ogg's two header pages (its identification header given `rate` and
// `channels`), then pages of `count` copies of its first audio packet.
std::string popWithAudioPackets(size_t count, uint32_t rate = 22050, char channels = 1) {
    std::ifstream in(audioFile("pop.ogg"), std::ios::binary);
    const std::string pop{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const size_t audioPage = oggPageEnd(pop, oggPageEnd(pop, 0));
    const std::string packet = pop.substr(audioPage + 27 + uint8_t(pop[audioPage + 26]), uint8_t(pop[audioPage + 27]));
    std::string file = pop.substr(0, audioPage);
    file.replace(28 + 12, 4, littleEndian(rate, 4));  // the page's header and lacing, then the packet
    file[28 + 11] = channels;
    setOggChecksum(file, 0);
    for (uint32_t sequence = 2, done = 0; done < count; ++sequence) {
        const size_t onPage = std::min<size_t>(200, count - done);
        done += onPage;
        const size_t page = file.size();  // pop's stream, a granule past any sample the packets can hold
        file += "OggS" + std::string(1, '\0') + char(done == count ? 0x04 : 0) + littleEndian(done * 4096, 8) +
                pop.substr(14, 4) + littleEndian(sequence, 4) + std::string(4, '\0') + char(onPage) +
                std::string(onPage, char(packet.size()));
        for (size_t i = 0; i < onPage; ++i) file += packet;
        setOggChecksum(file, page);
    }
    return file;
}

// A manager on an open device, and a scratch folder for the files a test makes.
class Sound : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/starhold-sound.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_TRUE(sound.openAudio());
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string scratch(const std::string& name, const std::string& bytes) const {
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
        return folder + "/" + name;
    }

    std::string folder;
    SoundManager sound;
};

}  // namespace

TEST_F(Sound, LoadsByNameKeepsTheFirstAndRefusesBadFiles) {
    ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1") && sound.loadSound(audioFile("slam.ogg"), "slam") &&
                sound.loadSound(audioFile("pop.ogg"), "pop"));
    EXPECT_FALSE(sound.loadSound(audioFile("slam.ogg"), "pop") || sound.loadMusic(audioFile("pop.ogg"), "1"));
    EXPECT_TRUE(sound.playSound("pop", -1, 0));  // a taken name keeps its sound

    // Files SDL's conversion or SDL_mixer cannot take safely: a 34 Hz Ogg Vorbis, and other containers.
    const std::string corpus = kSource + "/tests/fuzz/corpus/sound/";
    testing::internal::CaptureStderr();
    const std::string bads[] = {audioFile("missing.ogg"), scratch("empty", ""), scratch("short", "OggS"), audioFile(""),
                                corpus + "rate-34.ogg", corpus + "rate-34.wav", corpus + "rate-34.aiff"};
    for (const std::string& bad : bads) EXPECT_FALSE(sound.loadSound(bad, "x") || sound.loadMusic(bad, "x")) << bad;
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string missing = audioFile("missing.ogg") + ": no such file\n";
    EXPECT_EQ(errors.substr(0, errors.find(folder)), missing + missing);  // once for each load
    EXPECT_FALSE(sound.playSound("x", -1, 0));
    EXPECT_TRUE(sound.loadSound(audioFile("pop.ogg"), "x")) << "a refused file leaves its name free";
}

// The README's formats: Ogg Vorbis, mono or stereo, at 8000 to 96000 Hz.
TEST_F(Sound, SoundsLoadAtRatesFrom8000To96000HzInOneOrTwoChannels) {
    const std::pair<uint32_t, char> formats[] = {{8000, 1}, {96000, 1}, {7999, 1}, {96001, 1}, {22050, 3}};
    for (const auto& [rate, channels] : formats) {
        const std::string name = std::to_string(rate) + "-" + std::to_string(channels);
        const std::string file = scratch(name, popWithAudioPackets(10, rate, channels));
        const bool playable = rate >= 8000 && rate <= 96000 && channels <= 2;
        EXPECT_TRUE(sound.loadSound(file, name) == playable && sound.loadMusic(file, name) == playable) << name;
    }
}

// A sound is decoded whole when loaded: up to 64 MiB at the device's format (16-bit
// stereo at 22050 Hz) it loads, a byte more and it is refused. Vorbis decodes each
// audio packet to at most half a long block of samples; music streams, so is not bounded.
TEST_F(Sound, ASoundLoadsUpTo64MiBDecodedAndNoMore) {
    std::ifstream in(audioFile("pop.ogg"), std::ios::binary);
    char id[58];
    ASSERT_TRUE(in.read(id, sizeof id) && std::string(id + 29, 6) == "vorbis");  // after 27 + 1 bytes of page header
    const uint64_t samplesPerPacket = (uint64_t(1) << (uint8_t(id[28 + 28]) >> 4)) / 2, bytesPerSample = 2 * 2;
    const size_t atTheCap = (uint64_t(64) << 20) / (samplesPerPacket * bytesPerSample);
    ASSERT_EQ(atTheCap * samplesPerPacket * bytesPerSample, uint64_t(64) << 20);
    EXPECT_TRUE(sound.loadSound(scratch("at", popWithAudioPackets(atTheCap)), "at"));
    const std::string past = scratch("past", popWithAudioPackets(atTheCap + 1));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(sound.loadSound(past, "past"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), past + ": would take more than 64 MiB decoded; not loaded\n");
    EXPECT_TRUE(sound.loadMusic(past, "1"));
}

TEST_F(Sound, MusicPausesAndResumesAndVolumesReachTheMusicAndTheNamedSounds) {
    ASSERT_TRUE(sound.loadMusic(audioFile("drx.ogg"), "1"));
    ASSERT_TRUE(sound.loadSound(audioFile("pop.ogg"), "pop") && sound.loadSound(audioFile("slam.ogg"), "slam"));
    ASSERT_TRUE(sound.playMusic("1", -1));
    std::string name;
    sound.pauseMusic();
    EXPECT_TRUE(sound.isMusicPaused(&name) && name == "1" && sound.isMusicPlaying());  // paused still plays
    sound.resumeMusic();
    EXPECT_FALSE(sound.isMusicPaused());

    sound.setMusicVolume(40);
    EXPECT_EQ(sound.setMusicVolume(-1), 40);  // -1 only asks
    sound.setAllSoundVolumes(10);
    EXPECT_TRUE(sound.setSoundVolume("slam", 77) && !sound.setSoundVolume("missing", 77));
    ASSERT_TRUE(sound.playSound("pop", 0, -1) && sound.playSound("slam", 1, -1));
    EXPECT_TRUE(Mix_VolumeChunk(Mix_GetChunk(0), -1) == 10 && Mix_VolumeChunk(Mix_GetChunk(1), -1) == 77);
    sound.pauseMusic();  // destroyed while paused and playing: the leak check sees the rest
}

TEST(SoundDevice, AManagerClosesTheDeviceOnlyIfItOpenedIt) {
    ASSERT_EQ(Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096), 0);  // opened by someone else
    {
        SoundManager idle;
        EXPECT_FALSE(idle.loadSound(audioFile("pop.ogg"), "pop1"));  // nothing loads before this one opens it
        EXPECT_FALSE(idle.loadMusic(audioFile("drx.ogg"), "1") || idle.playSound("pop1", -1, 0));
    }
    ASSERT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 1);
    {
        SoundManager sound;
        ASSERT_TRUE(sound.openAudio());
    }
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 0);
}
