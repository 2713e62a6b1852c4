#pragma once
// The loaders under test read files: each input is written to one scratch file
// per process, named with the extension the game's own files carry.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string writeInputFile(const uint8_t* data, size_t size, const std::string& extension) {
    const std::string path = "/tmp/starhold-fuzz-" + std::to_string(getpid()) + extension;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return path;
}
