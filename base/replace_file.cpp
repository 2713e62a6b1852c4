#include "base/replace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Creates `folder` and its missing parents, private to the player.
bool makeFolder(const fs::path& folder) {
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error)) return true;
    if (folder.has_parent_path() && folder.parent_path() != folder && !makeFolder(folder.parent_path())) return false;
    if (::mkdir(folder.c_str(), 0700) == 0) return true;
    if (errno != EEXIST) return false;
    if (fs::is_directory(folder, error)) return true;  // made meanwhile
    errno = ENOTDIR;  // a file stands where the folder should be
    return false;
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
// No fsync: it would stall a frame, and the files written here are small and
// read as empty or default when a crash leaves them so.
bool writeAndClose(int fd, const std::string& text) {
    const bool written = writeAll(fd, text);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) errno = writeError;
    return written && closed;
}

bool failed(std::string& failure, const char* step) {
    failure = std::string(step) + " (" + std::strerror(errno) + ")";
    return false;
}

// Removes a temporary file that will not be used, keeping errno for the message.
bool discard(const std::string& temporary, std::string& failure, const char* step) {
    const int reason = errno;
    ::unlink(temporary.c_str());
    errno = reason;
    return failed(failure, step);
}

// The file a write to `path` should replace: the target of a symbolic link.
fs::path replacedFile(const fs::path& path) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) return path;
    const fs::path target = fs::read_symlink(path, error);
    return error ? path : (target.is_absolute() ? target : path.parent_path() / target);
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text, std::string& failure) {
    const fs::path file = replacedFile(path);
    if (!makeFolder(file.parent_path())) return failed(failure, "cannot create its folder");
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) return failed(failure, "cannot create a file beside it");
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
    if (!writeAndClose(fd, text)) return discard(temporary, failure, "cannot write");
    if (::rename(temporary.c_str(), file.c_str()) != 0) return discard(temporary, failure, "cannot replace it");
    return true;
}
