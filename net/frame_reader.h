#pragma once
// Cuts one peer's TCP byte stream back into messages. A frame is the decimal
// length of (text + 1), '~', the text and a zero byte. Bytes of a frame that
// has not fully arrived are kept until the rest comes, so frames may arrive in
// any number of pieces. Malformed input is reported and skipped; memory stays
// bounded by one frame plus the bytes handed in since the last message.

#include <cstddef>
#include <cstdint>
#include <string>

// Largest accepted length (text + terminator): the largest star list the game's
// bounds allow (8192 stars in an arena of 1000) is about 160 KB.
constexpr int32_t kMaxFrameLength = 256 * 1024;

class FrameReader {
public:
    enum Status {
        NoMessage = 0,   // needs more bytes
        Complete = 1,    // a well-formed message
        Partial = 2,     // only part of a message arrived intact (text holds that part)
        LostLength = 3,  // a length that is zero, not a number that fits, or too large
    };

    void addReceived(const char* bytes, size_t count);
    // Takes the next message out of the bytes received so far.
    Status next(std::string& text);
    // The stream has ended: the received part of an unfinished frame, if any.
    Status finish(std::string& text);
    // True when nothing is held, so the reader may be dropped.
    bool idle() const;
    size_t heldBytes() const { return available(); }

private:
    enum class Stage { Length, Body, SkipToTerminator };

    Status scanLength();
    Status takeBody(std::string& text);
    void skipToTerminator();
    void clearLength();
    size_t available() const { return pending.size() - consumed; }

    std::string pending;  // unconsumed bytes start at `consumed`
    size_t consumed = 0;
    Stage stage = Stage::Length;
    std::string digits;  // significant digits of the length, at most 10
    bool sawDigit = false;
    bool lengthTooLong = false;
    int32_t expected = 0;  // body length including the terminator
};
