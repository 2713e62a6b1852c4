#include "window/window_state.h"

#include <ostream>
#include <sstream>

#include "base/replace_file.h"
#include "base/state_file.h"

namespace {

constexpr size_t kMaxFileBytes = 64;  // a line of two sides fits many times over
constexpr int kLargestSide = 16384;

bool fits(int side, int smallest) { return side >= smallest && side <= kLargestSide; }

bool damaged(const std::string& path, const std::string& why, std::ostream& errors) {
    errors << "starhold: ignoring the damaged window size in " << path << ": " << why << "\n";
    return false;
}

}  // namespace

std::string windowStatePath() { return statePath("window"); }

bool readWindowSize(const std::string& path, WindowSize& size, std::ostream& errors) {
    std::string content;
    const StateRead read = readStateFile(path, kMaxFileBytes, content);
    if (read == StateRead::Missing) {
        return false;
    }
    if (read == StateRead::TooLarge) {
        return damaged(path, "larger than " + std::to_string(kMaxFileBytes) + " bytes", errors);
    }
    std::istringstream line(content);
    WindowSize found;
    std::string more;
    if (!(line >> found.width >> found.height) || (line >> more)) {
        return damaged(path, "not a width and a height", errors);
    }
    if (!fits(found.width, kSmallestWindowSize.width) || !fits(found.height, kSmallestWindowSize.height)) {
        return damaged(path, "a side out of range", errors);
    }
    size = found;
    return true;
}

bool writeWindowSize(const std::string& path, WindowSize size, std::ostream& errors) {
    std::string failure;
    if (path.empty()) {
        return false;
    }
    if (replaceFile(path, std::to_string(size.width) + " " + std::to_string(size.height) + "\n", failure)) {
        return true;
    }
    errors << "starhold: could not save the window size in " << path << ": " << failure << "\n";
    return false;
}
