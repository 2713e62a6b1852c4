#include "join/recent_hosts.h"

#include <algorithm>
#include <ostream>
#include <sstream>

#include "base/replace_file.h"
#include "base/state_file.h"
#include "join/join_address.h"

namespace {

// Eight full lines fit many times over; anything larger was not written by the game.
constexpr size_t kMaxFileBytes = 4096;

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

std::string recentHostsPath() { return statePath("recent-hosts"); }

std::vector<std::string> readRecentHosts(const std::string& path, std::ostream& errors) {
    std::string content;
    const StateRead read = readStateFile(path, kMaxFileBytes, content);
    if (read == StateRead::Missing) return {};
    std::vector<std::string> hosts;
    const std::string problem = read == StateRead::TooLarge
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
