#include "join/recent_hosts.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/replace_file.h"
#include "join/join_address.h"
#include "base/read_at_most.h"

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

bool cannotSave(std::ostream& errors, const std::string& path, const std::string& failure) {
    errors << "starhold: could not save the recent hosts in " << path << ": " << failure << "\n";
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
    std::string failure;
    return replaceFile(path, listText(hosts), failure) || cannotSave(errors, path, failure);
}

bool rememberJoinedHost(const std::string& path, const std::string& host, std::ostream& errors) {
    if (!isJoinText(host)) return false;
    return writeRecentHosts(path, withRecentHost(readRecentHosts(path, errors), host), errors);
}
