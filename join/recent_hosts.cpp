#include "join/recent_hosts.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "join/join_address.h"
#include "join/read_at_most.h"

namespace fs = std::filesystem;

namespace {

// Eight full lines fit many times over; anything larger was not written by the game.
constexpr size_t kMaxFileBytes = 4096;

enum class FileRead { Missing, TooLarge, Read };

// Reads at most kMaxFileBytes of a regular file; anything else counts as missing.
FileRead readSmallFile(const std::string& path, std::string& content) {
    std::error_code error;
    if (path.empty() || !fs::is_regular_file(path, error)) return FileRead::Missing;
    std::ifstream in(path, std::ios::binary);
    content = readAtMost(in, kMaxFileBytes + 1);
    if (!in.is_open() || in.bad()) return FileRead::Missing;
    return content.size() > kMaxFileBytes ? FileRead::TooLarge : FileRead::Read;
}

bool isControlByte(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Why `line` cannot be a line of the file, or "" when it can (blank lines can).
std::string lineProblem(const std::string& line) {
    if (line.size() > kMaxJoinTextLength) return "is too long";
    if (std::any_of(line.begin(), line.end(), isControlByte)) return "holds a control byte";
    if (!line.empty() && !isJoinText(line)) return "is not a host[:port]";
    return "";
}

// Fills `hosts` from the file's text; the reason the file is damaged, or "".
std::string readHosts(const std::string& content, std::vector<std::string>& hosts) {
    std::istringstream lines(content);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string problem = lineProblem(line);
        if (!problem.empty()) return "line " + std::to_string(number) + " " + problem;
        const bool listed = std::find(hosts.begin(), hosts.end(), line) != hosts.end();
        if (!line.empty() && !listed && hosts.size() < kMaxRecentHosts) hosts.push_back(line);
    }
    return "";
}

std::string listText(const std::vector<std::string>& hosts) {
    std::string text;
    for (const std::string& host : hosts) text += host + "\n";
    return text;
}

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
// No fsync: it would stall a frame, and a file emptied by a crash reads as no hosts.
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

bool cannotSave(std::ostream& errors, const std::string& path, const char* step) {
    errors << "starhold: could not save the recent hosts in " << path << ": " << step << " ("
           << std::strerror(errno) << ")\n";
    return false;
}

}  // namespace

std::string recentHostsPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return (fs::path(state) / "starhold" / "recent-hosts").string();
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return (fs::path(home) / ".local" / "state" / "starhold" / "recent-hosts").string();
    return "";
}

std::vector<std::string> readRecentHosts(const std::string& path, std::ostream& errors) {
    std::string content;
    const FileRead read = readSmallFile(path, content);
    if (read == FileRead::Missing) return {};
    std::vector<std::string> hosts;
    const std::string problem = read == FileRead::TooLarge
                                    ? "larger than " + std::to_string(kMaxFileBytes) + " bytes"
                                    : readHosts(content, hosts);
    if (problem.empty()) return hosts;
    errors << "starhold: ignoring the damaged recent hosts in " << path << ": " << problem << "\n";
    return {};
}

std::vector<std::string> withRecentHost(std::vector<std::string> hosts, const std::string& host) {
    hosts.erase(std::remove(hosts.begin(), hosts.end(), host), hosts.end());
    hosts.insert(hosts.begin(), host);
    if (hosts.size() > kMaxRecentHosts) hosts.resize(kMaxRecentHosts);
    return hosts;
}

bool writeRecentHosts(const std::string& path, const std::vector<std::string>& hosts, std::ostream& errors) {
    if (path.empty()) return false;
    const fs::path file(path);
    if (!makeFolder(file.parent_path())) return cannotSave(errors, path, "cannot create its folder");
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) return cannotSave(errors, path, "cannot create a file beside it");
    if (!writeAndClose(fd, listText(hosts))) {
        discard(temporary);
        return cannotSave(errors, path, "cannot write");
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        discard(temporary);
        return cannotSave(errors, path, "cannot replace it");
    }
    return true;
}

bool rememberJoinedHost(const std::string& path, const std::string& host, std::ostream& errors) {
    if (!isJoinText(host)) return false;
    return writeRecentHosts(path, withRecentHost(readRecentHosts(path, errors), host), errors);
}
