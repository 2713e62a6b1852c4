#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/frame_reader.h"

namespace {

using Messages = std::vector<std::pair<int, std::string>>;
constexpr int kComplete = FrameReader::Complete;
constexpr int kPartial = FrameReader::Partial;
constexpr int kLost = FrameReader::LostLength;

std::string frame(const std::string& text) { return std::to_string(text.size() + 1) + "~" + text + '\0'; }

Messages feed(FrameReader& reader, const std::string& bytes, size_t piece = 0) {
    Messages out;
    const size_t step = piece == 0 ? bytes.size() : piece;
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += step) {
        reader.append(bytes.data() + at, std::min(step, bytes.size() - at));
        for (int status; (status = reader.next(text)) != FrameReader::NoMessage;) {
            out.emplace_back(status, text);
        }
    }
    return out;
}

Messages feedAll(const std::string& bytes, size_t piece = 0) {
    FrameReader reader;
    return feed(reader, bytes, piece);
}

}  // namespace

TEST(FrameReader, ReadsWholeFramesInAnyPieces) {
    const std::string big(20000, 's');
    const std::string stream = frame("abc") + frame("") + frame(big) + std::string("0004~end\0", 9);
    const Messages expected{{kComplete, "abc"}, {kComplete, ""}, {kComplete, big}, {kComplete, "end"}};
    for (size_t piece : {0, 1, 3, 4096, 5000}) {
        EXPECT_EQ(feedAll(stream, piece), expected) << "piece size " << piece;
    }
}

TEST(FrameReader, RecoversFromMalformedInput) {
    const std::string ok = frame("ok");
    const std::vector<std::pair<std::string, Messages>> cases{
        // Noise between frames is skipped; a zero byte ends digits that came before it.
        {std::string(" 4 ~abc\0", 8), {{kComplete, "abc"}}},
        {"xy~~" + std::string("12\0", 3) + ok, {{kComplete, "ok"}}},
        // Lengths that are zero, do not fit 32 bits or exceed the maximum.
        {"0~" + ok, {{kLost, ""}, {kComplete, "ok"}}},
        {std::string("99999999999~body\0", 17) + ok, {{kLost, ""}, {kComplete, "ok"}}},
        {std::string("4294967301~abcd\0", 16) + ok, {{kLost, ""}, {kComplete, "ok"}}},
        {"70000~" + std::string(69999, 'x') + '\0' + ok, {{kLost, ""}, {kComplete, "ok"}}},
        // Too short: the body runs on to a later zero. Too long: what follows its zero is read again.
        {std::string("3~abcdef\0", 9) + ok, {{kPartial, "abc"}, {kComplete, "ok"}}},
        {std::string("6~ab\0", 5) + ok, {{kPartial, "ab"}, {kComplete, "ok"}}},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(feedAll(bytes), expected) << bytes.substr(0, 20);
        EXPECT_EQ(feedAll(bytes, 1), expected) << bytes.substr(0, 20);
    }
}

TEST(FrameReader, HoldsAtMostOneFrame) {
    const std::string chunk(4096, 'x');
    FrameReader stalled;
    feed(stalled, "65536~");
    for (int i = 0; i < 15; ++i) {  // the peer stops short of the announced length
        EXPECT_TRUE(feed(stalled, chunk).empty());
        ASSERT_EQ(stalled.heldBytes(), chunk.size() * (i + 1));
    }
    std::string text;
    EXPECT_EQ(stalled.finish(text), FrameReader::Partial);
    EXPECT_EQ(text, std::string(15 * chunk.size(), 'x'));
    EXPECT_TRUE(stalled.idle());

    FrameReader flooded;  // an oversized body is dropped as it comes, never kept
    EXPECT_EQ(feed(flooded, "999999~"), (Messages{{kLost, ""}}));
    for (int i = 0; i < 300; ++i) {
        feed(flooded, chunk);
        ASSERT_EQ(flooded.heldBytes(), 0u);
    }
    EXPECT_EQ(feed(flooded, '\0' + frame("ok")), (Messages{{kComplete, "ok"}}));
}
