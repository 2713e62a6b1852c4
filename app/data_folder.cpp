#include "app/data_folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

// The installed data relative to the installed binary, from the install layout.
#ifndef STARHOLD_INSTALLED_DATA
#error "STARHOLD_INSTALLED_DATA is set by the build (CMakeLists.txt)"
#endif

bool holdsGameData(const std::string& folder) {
    std::error_code error;
    const fs::path root(folder);
    return fs::is_regular_file(root / "characters.fnt", error) && fs::is_directory(root / "images", error) &&
           fs::is_directory(root / "audio", error);
}

std::vector<std::string> dataFolderCandidates(const std::string& executable) {
    std::vector<std::string> folders{"."};
    const fs::path beside = fs::path(executable).parent_path();
    for (const char* relative : {"../data", STARHOLD_INSTALLED_DATA}) {
        const fs::path candidate = (beside / relative).lexically_normal();
        if (std::find(folders.begin(), folders.end(), candidate.string()) == folders.end()) {
            folders.push_back(candidate.string());
        }
    }
    return folders;
}

std::string executablePath(const char* fallback) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        return self.string();
    }
    return fs::absolute(fallback ? fallback : "", error).string();
}

bool enterDataFolder(const std::string& executable) {
    const std::vector<std::string> folders = dataFolderCandidates(executable);
    std::string tried;
    std::error_code error;
    for (const std::string& folder : folders) {
        if (holdsGameData(folder)) {
            fs::current_path(folder, error);
            if (!error) {
                return true;
            }
        }
        tried += std::string(tried.empty() ? "" : ", ") + (folder == "." ? fs::current_path(error).string() : folder);
    }
    std::fprintf(stderr, "starhold: no game data (characters.fnt, images/, audio/) in %s\n", tried.c_str());
    return false;
}

std::string settingsFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        return (fs::path(xdg) / "starhold").string();
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') {
        return (fs::path(home) / ".config" / "starhold").string();
    }
    return "";
}

std::string ownSettingsPath(const std::string& name) {
    const std::string folder = settingsFolder();
    return folder.empty() ? "" : (fs::path(folder) / name).string();
}

std::string settingsPath(const std::string& name) {
    const std::string own = ownSettingsPath(name);
    std::error_code error;
    return !own.empty() && fs::is_regular_file(own, error) ? own : name;
}

std::string shownPath(const std::string& path) {
    const char* home = std::getenv("HOME");
    const std::string folder = home ? std::string(home) : "";
    if (folder.size() > 1 && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
        path[folder.size()] == '/') {
        return "~" + path.substr(folder.size());
    }
    return path;
}
