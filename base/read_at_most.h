#pragma once
// Capped reading for the files the game reads (the route table, the recent
// hosts, config.txt), which may be any size however small they should be.

#include <algorithm>
#include <cstddef>
#include <istream>
#include <string>

// At most `limit` bytes from the stream: all of it when it holds no more. Only
// what the stream holds is allocated, however large the limit.
inline std::string readAtMost(std::istream& in, size_t limit) {
    std::string text;
    char chunk[4096];
    while (text.size() < limit) {
        in.read(chunk, static_cast<std::streamsize>(std::min(sizeof chunk, limit - text.size())));
        if (in.gcount() <= 0) break;
        text.append(chunk, static_cast<size_t>(in.gcount()));
    }
    return text;
}
