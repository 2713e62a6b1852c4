#pragma once
// Bytes waiting to be written to a stream socket, in the pieces they were queued
// in. Short messages are gathered into pieces of about kPieceSize; a longer one
// is a piece of its own. What has been written is given back piece by piece, so
// the memory held is the waiting bytes plus at most the written part of the
// first piece, however long the queue stays non-empty.

#include <cstddef>
#include <deque>
#include <string>

class SendQueue {
public:
    static constexpr size_t kPieceSize = 64 * 1024;

    void push(std::string&& bytes);  // takes the bytes; copies only them
    // Writes what the socket takes without waiting; false when it is broken.
    bool writeTo(int descriptor);
    void clear();

    size_t waiting() const { return unwritten; }
    size_t held() const { return unwritten + written; }

private:
    void consume(size_t count);

    std::deque<std::string> pieces;
    size_t written = 0;  // of the first piece
    size_t unwritten = 0;
};
