#include "base/state_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "base/read_at_most.h"

namespace fs = std::filesystem;

namespace {

// Creates `folder` and its missing parents, private to the player.
bool makeFolder(const fs::path& folder) {
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error)) return true;
    if (folder.has_parent_path() && folder.parent_path() != folder && !makeFolder(folder.parent_path())) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && fs::is_directory(folder, error));
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// Writes and closes; false when either failed, with errno from the first failure.
// No fsync: it would stall a frame, and a file emptied by a crash reads as empty.
bool writeAndClose(int fd, const std::string& text) {
    const bool written = writeAll(fd, text);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) errno = writeError;
    return written && closed;
}

// Removes a temporary file that will not be used, keeping errno for the message.
void discard(const std::string& temporary) {
    const int reason = errno;
    ::unlink(temporary.c_str());
    errno = reason;
}

bool cannotSave(std::ostream& errors, const char* what, const std::string& path, const char* step) {
    errors << "starhold: could not save " << what << " in " << path << ": " << step << " (" << std::strerror(errno)
           << ")\n";
    return false;
}

}  // namespace

std::string statePath(const std::string& name) {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return (fs::path(state) / "starhold" / name).string();
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return (fs::path(home) / ".local" / "state" / "starhold" / name).string();
    return "";
}

StateRead readStateFile(const std::string& path, size_t limit, std::string& content) {
    std::error_code error;
    if (path.empty() || !fs::is_regular_file(path, error)) return StateRead::Missing;
    std::ifstream in(path, std::ios::binary);
    content = readAtMost(in, limit + 1);
    if (!in.is_open() || in.bad()) return StateRead::Missing;
    return content.size() > limit ? StateRead::TooLarge : StateRead::Read;
}

bool replaceStateFile(const std::string& path, const std::string& text, const char* what, std::ostream& errors) {
    if (path.empty()) return false;
    const fs::path file(path);
    if (!makeFolder(file.parent_path())) return cannotSave(errors, what, path, "cannot create its folder");
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) return cannotSave(errors, what, path, "cannot create a file beside it");
    if (!writeAndClose(fd, text)) {
        discard(temporary);
        return cannotSave(errors, what, path, "cannot write");
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        discard(temporary);
        return cannotSave(errors, what, path, "cannot replace it");
    }
    return true;
}
