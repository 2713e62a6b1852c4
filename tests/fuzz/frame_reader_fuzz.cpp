// Arbitrary bytes through the frame reader in chunkings taken from the input.
// Checks: memory held stays under one largest frame, the same stream gives the
// same messages however it is cut, and a good frame after garbage and a zero
// byte comes out intact.
#include <algorithm>
#include <utility>
#include <vector>

#include "harness.h"
#include "net/frame_reader.h"

namespace {

using Messages = std::vector<std::pair<int, std::string>>;

// The input split as libFuzzer's FuzzedDataProvider splits it, so that the
// corpus means the same with or without libFuzzer: numbers from the back, one
// byte per 8 bits of their range; the rest is the stream.
size_t takeInRange(const uint8_t* data, size_t& size, size_t lowest, size_t highest) {
    const uint64_t range = highest - lowest;
    uint64_t value = 0;
    for (size_t bits = 0; bits < 64 && (range >> bits) > 0 && size > 0; bits += 8) value = (value << 8) | data[--size];
    return lowest + static_cast<size_t>(value % (range + 1));
}

void append(FrameReader& reader, const std::string& bytes, Messages& out) {
    reader.addReceived(bytes.data(), bytes.size());
    std::string text;
    for (int status; (status = reader.next(text)) != FrameReader::NoMessage;) out.emplace_back(status, text);
    require(reader.heldBytes() < static_cast<size_t>(kMaxFrameLength));
}

Messages readInChunks(const std::string& stream, const std::vector<size_t>& sizes) {
    FrameReader reader;
    Messages out;
    for (size_t i = 0, at = 0, count; at < stream.size(); ++i, at += count) {
        count = std::min(sizes.empty() ? stream.size() : sizes[i % sizes.size()], stream.size() - at);
        append(reader, stream.substr(at, count), out);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<size_t> sizes(takeInRange(data, size, 0, 8));
    for (size_t& chunk : sizes) chunk = takeInRange(data, size, 1, 300);
    const std::string stream(reinterpret_cast<const char*>(data), size);
    require(readInChunks(stream, {}) == readInChunks(stream, sizes));

    // A good frame after the garbage and a zero byte; the padding of zero bytes
    // completes any body the garbage left open.
    FrameReader reader;
    Messages out;
    append(reader, stream, out);
    append(reader, std::string(1, '\0') + std::string("8~0|1,2,3", 10) + std::string(kMaxFrameLength, '\0'), out);
    require(!out.empty() && out.back() == std::make_pair(int(FrameReader::Complete), std::string("0|1,2,3")));
    return 0;
}
