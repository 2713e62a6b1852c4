#include "sound/sound_manager.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/unopenable.h"

namespace {

// SDL_mixer and the SDL audio conversion under it trust file headers: odd
// sample rates crash the conversion, other containers can make SDL_mixer free
// twice, hang, or ask for gigabytes. The game's sounds are Ogg Vorbis, so a
// file is handed over only when it is made of whole Ogg pages whose every
// stream starts with a Vorbis header SDL can convert from.
constexpr size_t kPageHeaderSize = 27;
constexpr size_t kIdHeaderSize = 30;
constexpr uint32_t kLowestRate = 8000;
constexpr uint32_t kHighestRate = 96000;
constexpr uint8_t kFirstPage = 0x02;
constexpr uint64_t kHeaderPacketsPerStream = 3;  // identification, comment, setup
// A loaded sound is decoded whole, at the device's format; this bounds it.
constexpr uint64_t kMostSoundBytes = 64ull << 20;

uint32_t readLe32(const uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

struct OggScan {
    uint64_t packets = 0;
    uint64_t streams = 0;
    uint64_t samplesPerPacket = 0;  // the largest half-block of any stream
    uint32_t lowestRate = kHighestRate;
};

// What the device plays: the rate, and bytes per sample frame.
struct DeviceFormat {
    uint64_t rate;
    uint64_t frameBytes;
};

// A Vorbis identification packet: version 0, mono or stereo, a rate SDL converts
// safely, block sizes 64..8192 with the short one first, and its framing bit.
bool usableVorbisHeader(const uint8_t* packet, OggScan& scan) {
    if (std::memcmp(packet, "\x01vorbis", 7) != 0 || readLe32(packet + 7) != 0) {
        return false;
    }
    const uint8_t channels = packet[11];
    const uint32_t rate = readLe32(packet + 12);
    const int shortBlock = packet[28] & 0x0f;
    const int longBlock = packet[28] >> 4;
    if (channels < 1 || channels > 2 || rate < kLowestRate || rate > kHighestRate || shortBlock < 6 ||
        longBlock > 13 || shortBlock > longBlock || (packet[29] & 1) == 0) {
        return false;
    }
    scan.samplesPerPacket = std::max<uint64_t>(scan.samplesPerPacket, 1u << (longBlock - 1));
    scan.lowestRate = std::min(scan.lowestRate, rate);
    ++scan.streams;
    return true;
}

// Reads one whole page; false at a malformed or cut-off one.
bool readPage(std::FILE* file, OggScan& scan, bool first) {
    uint8_t header[kPageHeaderSize];
    if (std::fread(header, 1, sizeof header, file) != sizeof header || std::memcmp(header, "OggS", 4) != 0 ||
        header[4] != 0) {
        return false;
    }
    const bool startsStream = (header[5] & kFirstPage) != 0;
    uint8_t lacing[255];
    const size_t segments = header[26];
    if (std::fread(lacing, 1, segments, file) != segments || (first && !startsStream)) {
        return false;
    }
    long body = 0;
    for (size_t i = 0; i < segments; ++i) {
        body += lacing[i];
        scan.packets += lacing[i] < 255 ? 1 : 0;
    }
    if (startsStream) {
        uint8_t packet[kIdHeaderSize];
        if (body < static_cast<long>(sizeof packet) || std::fread(packet, 1, sizeof packet, file) != sizeof packet ||
            !usableVorbisHeader(packet, scan)) {
            return false;
        }
        body -= static_cast<long>(sizeof packet);
    }
    return std::fseek(file, body, SEEK_CUR) == 0;
}

// A regular file (seekable: a pipe or a device is never read) of whole pages.
bool scanOggVorbis(std::FILE* file, OggScan& scan) {
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    bool usable = size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    for (bool first = true; usable && std::ftell(file) < size; first = false) {
        usable = readPage(file, scan, first);
    }
    return usable && std::ftell(file) == size;
}

// The most the sound can take decoded: every audio packet gives at most half a
// long block of samples, which the device's rate stretches or shrinks.
uint64_t mostDecodedBytes(const OggScan& scan, const DeviceFormat& device) {
    const uint64_t headers = scan.streams * kHeaderPacketsPerStream;
    const uint64_t audioPackets = scan.packets > headers ? scan.packets - headers : 0;
    const uint64_t samples = audioPackets * scan.samplesPerPacket;
    if (samples > kMostSoundBytes) {
        return samples;  // too long whatever the rate, and the sums below stay small
    }
    const uint64_t frames = (samples * device.rate + scan.lowestRate - 1) / scan.lowestRate;
    return frames * device.frameBytes;
}

bool refuse(const std::string& path, const char* why) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), why);
    return false;
}

// `decodedAt`: the device the whole sound is decoded for; null for music, which streams.
bool isPlayableOgg(const std::string& path, const DeviceFormat* decodedAt) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return refuse(path, unopenableReason(errno).c_str());
    }
    OggScan scan;
    const bool vorbis = scanOggVorbis(file, scan);
    std::fclose(file);
    if (!vorbis) {
        return refuse(path, "not an Ogg Vorbis file the game can play");
    }
    if (decodedAt != nullptr && mostDecodedBytes(scan, *decodedAt) > kMostSoundBytes) {
        return refuse(path, "would take more than 64 MiB decoded; not loaded");
    }
    return true;
}

DeviceFormat openDeviceFormat(int requestedRate, Uint16 requestedFormat, int requestedChannels) {
    int rate = requestedRate;
    Uint16 format = requestedFormat;
    int channels = requestedChannels;
    Mix_QuerySpec(&rate, &format, &channels);
    return {static_cast<uint64_t>(std::max(rate, 1)),
            static_cast<uint64_t>(std::max(channels, 1)) * ((format & 0xff) / 8)};
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
    if (!isPlayableOgg(path, nullptr)) {
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
    const DeviceFormat device = openDeviceFormat(frequency, format, channels);
    if (!isPlayableOgg(path, &device)) {
        return false;
    }
    SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
    if (!stream) {
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
