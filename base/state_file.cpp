#include "base/state_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/read_at_most.h"

namespace fs = std::filesystem;

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
