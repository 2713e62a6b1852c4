#pragma once
// Capped reading for files that may be any size however small they should be:
// the route table, the state files.

#include <cstddef>
#include <istream>
#include <string>

// At most `limit` bytes from the stream: all of it when it holds no more.
inline std::string readAtMost(std::istream& in, size_t limit) {
    std::string text(limit, '\0');
    in.read(&text[0], static_cast<std::streamsize>(limit));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}
