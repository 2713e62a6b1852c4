#include "net/frame_reader.h"

#include <cstring>

#include "base/text.h"

namespace {

// Ten digits already exceed what fits 32 bits, so more are never needed.
constexpr size_t kMaxLengthDigits = 10;

}  // namespace

void FrameReader::addReceived(const char* bytes, size_t count) {
    if (consumed > 0) {
        pending.erase(0, consumed);
        consumed = 0;
    }
    pending.append(bytes, count);
}

void FrameReader::clearLength() {
    digits.clear();
    sawDigit = false;
    lengthTooLong = false;
}

FrameReader::Status FrameReader::scanLength() {
    while (consumed < pending.size()) {
        const char byte = pending[consumed++];
        if (byte >= '0' && byte <= '9') {
            if (byte != '0' || !digits.empty()) {
                if (digits.size() < kMaxLengthDigits) {
                    digits.push_back(byte);
                } else {
                    lengthTooLong = true;
                }
            }
            sawDigit = true;
        } else if (byte == '\0') {
            clearLength();  // the end of some earlier frame: digits before it were body bytes
        } else if (byte == '~' && sawDigit) {
            int32_t length = 0;
            const bool fits = !lengthTooLong && (digits.empty() || parseInt(digits, length));
            clearLength();
            if (!fits || length > kMaxFrameLength) {
                stage = Stage::SkipToTerminator;
                return LostLength;
            }
            if (length == 0) {
                return LostLength;
            }
            expected = length;
            stage = Stage::Body;
            return NoMessage;
        }
        // Any other byte between frames is noise and skipped.
    }
    return NoMessage;
}

FrameReader::Status FrameReader::takeBody(std::string& text) {
    const size_t length = static_cast<size_t>(expected);
    if (available() < length) {
        return NoMessage;
    }
    const char* body = pending.data() + consumed;
    const void* zero = std::memchr(body, '\0', length);
    stage = Stage::Length;
    if (!zero) {
        // No terminator: the length was short; the rest of the body is noise.
        text.assign(body, length);
        consumed += length;
        stage = Stage::SkipToTerminator;
        return Partial;
    }
    const size_t textLength = static_cast<size_t>(static_cast<const char*>(zero) - body);
    text.assign(body, textLength);
    consumed += textLength + 1;
    // A zero before the end means the length was too long: what follows it is
    // read again as the next frames.
    return textLength + 1 == length ? Complete : Partial;
}

void FrameReader::skipToTerminator() {
    const void* zero = std::memchr(pending.data() + consumed, '\0', available());
    if (!zero) {
        consumed = pending.size();
        return;
    }
    consumed = static_cast<size_t>(static_cast<const char*>(zero) - pending.data()) + 1;
    stage = Stage::Length;
}

FrameReader::Status FrameReader::next(std::string& text) {
    text.clear();
    for (;;) {
        if (stage == Stage::SkipToTerminator) {
            skipToTerminator();
            if (stage == Stage::SkipToTerminator) {
                break;
            }
        }
        if (stage == Stage::Length) {
            const Status status = scanLength();
            if (status != NoMessage) {
                return status;
            }
            if (stage == Stage::Length) {
                break;
            }
        }
        const Status status = takeBody(text);
        if (status != NoMessage) {
            return status;
        }
        break;
    }
    pending.erase(0, consumed);
    consumed = 0;
    return NoMessage;
}

FrameReader::Status FrameReader::finish(std::string& text) {
    text.clear();
    const bool unfinished = stage == Stage::Body;
    if (unfinished) {
        const char* body = pending.data() + consumed;
        const void* zero = std::memchr(body, '\0', available());
        const size_t length = zero ? static_cast<size_t>(static_cast<const char*>(zero) - body) : available();
        text.assign(body, length);
    }
    pending.clear();
    consumed = 0;
    stage = Stage::Length;
    clearLength();
    return unfinished ? Partial : NoMessage;
}

bool FrameReader::idle() const {
    return stage == Stage::Length && !sawDigit && available() == 0;
}
