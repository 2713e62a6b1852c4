#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/frame_reader.h"

namespace {

using Message = std::pair<int, std::string>;

std::string frame(const std::string& text) {
    return std::to_string(text.size() + 1) + "~" + text + std::string(1, '\0');
}

std::vector<Message> feed(FrameReader& reader, const std::string& bytes, size_t piece = 0) {
    std::vector<Message> out;
    const size_t step = piece == 0 ? bytes.size() : piece;
    for (size_t at = 0; at < bytes.size(); at += step) {
        reader.append(bytes.data() + at, std::min(step, bytes.size() - at));
        std::string text;
        for (int status = reader.next(text); status != FrameReader::NoMessage; status = reader.next(text)) {
            out.emplace_back(status, text);
        }
    }
    return out;
}

std::vector<Message> feedAll(const std::string& bytes, size_t piece = 0) {
    FrameReader reader;
    return feed(reader, bytes, piece);
}

const Message complete(const std::string& text) { return {FrameReader::Complete, text}; }
const Message partial(const std::string& text) { return {FrameReader::Partial, text}; }
const Message lost() { return {FrameReader::LostLength, ""}; }

}  // namespace

TEST(FrameReader, ReadsWholeFramesInAnyPieces) {
    const std::string big(20000, 's');
    const std::string stream = frame("abc") + frame("") + frame("2|1,2,3") + frame(big) + frame("end");
    const std::vector<Message> expected{complete("abc"), complete(""), complete("2|1,2,3"), complete(big),
                                        complete("end")};
    for (size_t piece : {0, 1, 2, 3, 7, 4096, 5000}) {
        EXPECT_EQ(feedAll(stream, piece), expected) << "piece size " << piece;
    }
    EXPECT_EQ(feedAll(std::string("0004~abc\0", 9)), std::vector<Message>{complete("abc")});
}

TEST(FrameReader, SkipsNoiseBetweenFrames) {
    // Blanks and other bytes around a length are ignored; a lone '~' too; a zero
    // byte ends whatever digits came before it, so they cannot join the next length.
    EXPECT_EQ(feedAll(std::string(" 4 ~abc\0", 8)), std::vector<Message>{complete("abc")});
    EXPECT_EQ(feedAll("xy~~" + frame("abc")), std::vector<Message>{complete("abc")});
    EXPECT_EQ(feedAll(std::string("12\0", 3) + frame("abc")), std::vector<Message>{complete("abc")});
}

TEST(FrameReader, ReportsUnusableLengthsAndRecovers) {
    const std::string next = frame("ok");
    EXPECT_EQ(feedAll("0~" + next), (std::vector<Message>{lost(), complete("ok")}));
    EXPECT_EQ(feedAll("99999999999~body" + std::string(1, '\0') + next),
              (std::vector<Message>{lost(), complete("ok")}));
    EXPECT_EQ(feedAll("4294967301~abcd" + std::string(1, '\0') + next),
              (std::vector<Message>{lost(), complete("ok")}));
    const std::string tooBig = "70000~" + std::string(69999, 'x') + std::string(1, '\0');
    EXPECT_EQ(feedAll(tooBig + next, 4096), (std::vector<Message>{lost(), complete("ok")}));
}

TEST(FrameReader, MarksFramesWithAMisplacedTerminatorAsPartial) {
    const std::string next = frame("ok");
    // Length too short: the body runs on to a later zero, which is skipped to.
    EXPECT_EQ(feedAll(std::string("3~abcdef\0", 9) + next), (std::vector<Message>{partial("abc"), complete("ok")}));
    // Length too long: the bytes after the early zero are read again as frames.
    EXPECT_EQ(feedAll(std::string("6~ab\0", 5) + next), (std::vector<Message>{partial("ab"), complete("ok")}));
}

TEST(FrameReader, HoldsAtMostOneFrame) {
    FrameReader reader;
    EXPECT_TRUE(reader.idle());
    const std::string chunk(4096, 'x');
    EXPECT_TRUE(feed(reader, "65536~").empty());
    for (int i = 0; i < 20; ++i) {
        feed(reader, chunk);
        ASSERT_LE(reader.heldBytes(), static_cast<size_t>(kMaxFrameLength) + chunk.size());
    }
    EXPECT_FALSE(reader.idle());

    // A length over the maximum is dropped at once; its body is never kept.
    FrameReader flooded;
    EXPECT_EQ(feed(flooded, "999999~"), std::vector<Message>{lost()});
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(feed(flooded, chunk).empty());
        ASSERT_EQ(flooded.heldBytes(), 0u);
    }
    EXPECT_EQ(feed(flooded, std::string(1, '\0') + frame("ok")), std::vector<Message>{complete("ok")});
}

TEST(FrameReader, FinishHandsOverTheUnfinishedFrame) {
    FrameReader reader;
    EXPECT_TRUE(feed(reader, "4~ab").empty());
    std::string text;
    EXPECT_EQ(reader.finish(text), FrameReader::Partial);
    EXPECT_EQ(text, "ab");
    EXPECT_TRUE(reader.idle());
    EXPECT_EQ(reader.finish(text), FrameReader::NoMessage);
    EXPECT_EQ(feed(reader, frame("new")), std::vector<Message>{complete("new")});
}
