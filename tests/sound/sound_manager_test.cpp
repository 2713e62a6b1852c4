#include <gtest/gtest.h>

#include <SDL_mixer.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

using Packets = std::vector<std::string>;

// The packets of an Ogg file, in order (one logical stream).
Packets oggPackets(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Packets packets(1);
    for (size_t page = 0; page + 27 <= bytes.size();) {
        const size_t segments = uint8_t(bytes[page + 26]);
        size_t body = page + 27 + segments;
        for (size_t i = 0; i < segments; ++i) {
            const size_t length = uint8_t(bytes[page + 27 + i]);
            packets.back() += bytes.substr(body, length);
            body += length;
            if (length < 255) packets.emplace_back();
        }
        page = body;
    }
    packets.pop_back();
    return packets;
}

std::string littleEndian(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
    return out;
}

// Ogg's page checksum: CRC-32 with polynomial 0x04c11db7, most significant bit first.
uint32_t pageChecksum(const std::string& page) {
    uint32_t crc = 0;
    for (unsigned char byte : page) {
        crc ^= uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    return crc;
}

std::string oggPage(const Packets& packets, uint8_t flags, uint64_t granule, uint32_t sequence) {
    std::string lacing, body;
    for (const std::string& packet : packets) {
        lacing += std::string(packet.size() / 255, '\xff') + char(packet.size() % 255);
        body += packet;
    }
    std::string page = "OggS" + std::string(1, '\0') + char(flags) + littleEndian(granule, 8) +
                       littleEndian(1, 4) + littleEndian(sequence, 4) + std::string(4, '\0') +
                       char(lacing.size()) + lacing + body;
    page.replace(22, 4, littleEndian(pageChecksum(page), 4));
    return page;
}

// An Ogg Vorbis file of the three headers and `count` copies of one audio packet.
std::string repeatedPacketFile(const Packets& headers, const std::string& audio, size_t count,
                               uint64_t samplesPerPacket) {
    std::string file = oggPage({headers[0]}, 0x02, 0, 0) + oggPage({headers[1], headers[2]}, 0, 0, 1);
    uint32_t sequence = 2;
    for (size_t done = 0; done < count;) {
        const size_t onPage = std::min<size_t>(200, count - done);
        done += onPage;
        file += oggPage(Packets(onPage, audio), done == count ? 0x04 : 0, done * samplesPerPacket, sequence++);
    }
    return file;
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

// The README's formats: Ogg Vorbis, mono or stereo, at 8000 to 96000 Hz.
TEST(Sound, SoundsLoadAtRatesFrom8000To96000HzInOneOrTwoChannels) {
    const Packets pop = oggPackets(audioFile("pop.ogg"));
    ASSERT_GT(pop.size(), 3u);
    SoundManager sound;
    ASSERT_TRUE(sound.openAudio());
    const std::pair<uint32_t, uint8_t> formats[] = {{8000, 1}, {96000, 1}, {7999, 1}, {96001, 1}, {22050, 3}};
    for (const auto& [rate, channels] : formats) {
        Packets headers(pop.begin(), pop.begin() + 3);
        headers[0].replace(12, 4, littleEndian(rate, 4));
        headers[0][11] = char(channels);
        const std::string file = scratchFile("", 0);
        std::ofstream(file) << repeatedPacketFile(headers, pop[3], 10, 0);
        const bool playable = rate >= 8000 && rate <= 96000 && channels <= 2;
        EXPECT_EQ(sound.loadSound(file, std::to_string(rate)), playable) << rate << " Hz, " << int(channels);
        EXPECT_EQ(sound.loadMusic(file, std::to_string(rate)), playable) << rate << " Hz, " << int(channels);
        unlink(file.c_str());
    }
}

TEST(Sound, AMissingFileIsNamedAsMissing) {
    SoundManager sound;
    ASSERT_TRUE(sound.openAudio());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(sound.loadMusic(audioFile("gone.ogg"), "1"));
    EXPECT_FALSE(sound.loadSound(audioFile("gone.ogg"), "pop1"));
    const std::string line = audioFile("gone.ogg") + ": no such file\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line);
}

// A sound is decoded whole when loaded: up to 64 MiB at the device's format (16-bit
// stereo at 22050 Hz) it loads, a byte more and it is refused. Vorbis decodes each
// audio packet to at most half a long block of samples; music streams, so is not bounded.
TEST(Sound, ASoundLoadsUpTo64MiBDecodedAndNoMore) {
    const Packets pop = oggPackets(audioFile("pop.ogg"));
    ASSERT_GT(pop.size(), 3u);
    const std::string& id = pop[0];
    ASSERT_EQ(id.substr(1, 6), "vorbis");
    ASSERT_EQ(uint8_t(id[12]) | uint8_t(id[13]) << 8 | uint8_t(id[14]) << 16, 22050) << "the device's own rate";
    const uint64_t samplesPerPacket = (uint64_t(1) << (uint8_t(id[28]) >> 4)) / 2;
    const uint64_t mostBytes = uint64_t(64) << 20, bytesPerSample = 2 * 2;
    const size_t atTheCap = mostBytes / (samplesPerPacket * bytesPerSample);
    ASSERT_EQ(atTheCap * samplesPerPacket * bytesPerSample, mostBytes);

    const Packets headers(pop.begin(), pop.begin() + 3);
    const std::string at = scratchFile("", 0), past = scratchFile("", 0);
    std::ofstream(at) << repeatedPacketFile(headers, pop[3], atTheCap, samplesPerPacket);
    std::ofstream(past) << repeatedPacketFile(headers, pop[3], atTheCap + 1, samplesPerPacket);
    SoundManager sound;
    ASSERT_TRUE(sound.openAudio());
    EXPECT_TRUE(sound.loadSound(at, "at"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(sound.loadSound(past, "past"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), past + ": would take more than 64 MiB decoded; not loaded\n");
    EXPECT_TRUE(sound.loadMusic(past, "1"));
    unlink(at.c_str());
    unlink(past.c_str());
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
