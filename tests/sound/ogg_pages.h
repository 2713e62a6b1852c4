#pragma once
// Ogg pages as bytes, for tests and the fuzz harness that build or mend sound files.
#include <cstdint>
#include <string>

// Where the page starting at `page` ends, from its lacing table.
inline size_t oggPageEnd(const std::string& file, size_t page) {
    const size_t segments = uint8_t(file[page + 26]);
    size_t end = page + 27 + segments;
    for (size_t i = 0; i < segments; ++i) end += uint8_t(file[page + 27 + i]);
    return end;
}

// Writes the page's CRC-32 (polynomial 0x04c11db7, most significant bit first,
// over the page with its checksum field zero), which libogg checks.
inline void setOggChecksum(std::string& file, size_t page) {
    file.replace(page + 22, 4, 4, '\0');
    const size_t end = oggPageEnd(file, page);
    uint32_t crc = 0;
    for (size_t at = page; at < end; ++at) {
        crc ^= uint32_t(uint8_t(file[at])) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i) file[page + 22 + i] = char(crc >> (8 * i));
}
