#include "net/send_queue.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>
#include <utility>

namespace {

constexpr int kPiecesPerWrite = 16;

}  // namespace

// The piece being written is never grown, so that it can be given back when done.
void SendQueue::push(std::string&& bytes) {
    unwritten += bytes.size();
    const bool firstBeingWritten = pieces.size() == 1 && written > 0;
    if (!pieces.empty() && !firstBeingWritten && pieces.back().size() + bytes.size() <= kPieceSize) {
        pieces.back() += bytes;
    } else {
        pieces.push_back(std::move(bytes));
    }
}

void SendQueue::consume(size_t count) {
    unwritten -= count;
    while (count > 0) {
        const size_t left = pieces.front().size() - written;
        if (count < left) {
            written += count;
            return;
        }
        count -= left;
        pieces.pop_front();
        written = 0;
    }
}

bool SendQueue::writeTo(int descriptor) {
    while (unwritten > 0) {
        iovec parts[kPiecesPerWrite];
        int count = 0;
        for (auto piece = pieces.begin(); piece != pieces.end() && count < kPiecesPerWrite; ++piece, ++count) {
            const size_t skip = count == 0 ? written : 0;
            parts[count].iov_base = const_cast<char*>(piece->data() + skip);
            parts[count].iov_len = piece->size() - skip;
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<size_t>(count);
        const ssize_t sent = sendmsg(descriptor, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            consume(static_cast<size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
    return true;
}

void SendQueue::clear() {
    std::deque<std::string>().swap(pieces);
    written = 0;
    unwritten = 0;
}
