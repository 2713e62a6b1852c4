#pragma once
// What the harnesses share: a failed check aborts, so that libFuzzer keeps the
// input; and the loaders under test read files, so each input is written to one
// scratch file per process, named with the extension the game's own files carry.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline std::string writeInputFile(const uint8_t* data, size_t size, const std::string& extension) {
    const std::string path = "/tmp/starhold-fuzz-" + std::to_string(getpid()) + extension;
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return path;
}
