#include "textures/texture_manager.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iomanip>

#include "textures/image_loader.h"
#include "base/unopenable.h"

namespace {

// First field of a definition file's header line; readers skip the whole line.
const char* const kHeaderSite = "starhold";
const char* const kHeaderTitle = "Vyrn Texture Manager File";

// Longest word a definition file may hold; a longer one ends the read.
constexpr std::streamsize kMaxWordLength = 4096;

bool isPowerOfTwo(uint32_t side) {
    return side != 0 && (side & (side - 1)) == 0;
}

template <typename Map>
typename Map::iterator nthElement(Map& map, int position) {
    if (position < 0 || static_cast<size_t>(position) >= map.size()) {
        return map.end();
    }
    auto it = map.begin();
    for (int i = 0; i < position; ++i) {
        ++it;
    }
    return it;
}

bool readWord(std::istream& in, std::string& word) {
    in >> std::setw(kMaxWordLength + 1) >> word;
    return !in.fail() && static_cast<std::streamsize>(word.size()) <= kMaxWordLength;
}

}  // namespace

GLuint TextureManager::createBlankTexture(const std::string& name, uint32_t width, uint32_t height) {
    if (!isPowerOfTwo(width) || !isPowerOfTwo(height) || width > maxTextureSide() || height > maxTextureSide()) {
        return 0;
    }
    const GLuint glName = uploadBlankTexture(width, height);
    if (glName == 0) {
        return 0;
    }
    TextureEntry entry;
    entry.name = name;
    entry.info.glName = glName;
    entry.info.width = static_cast<int32_t>(width);
    entry.info.height = static_cast<int32_t>(height);
    entry.file = "none";
    entry.generated = true;
    entries[name] = entry;  // reuses an existing node, so sub-texture pointers elsewhere stay valid
    return glName;
}

bool TextureManager::loadTexture(const std::string& name, const std::string& path, bool repeat) {
    TextureEntry entry;
    if (!loadImageIntoTexture(path, entry.info, repeat)) {
        reportIfUnopenable(path);
        return false;
    }
    entry.name = name;
    entry.file = path;
    entry.generated = false;
    entry.repeat = repeat;
    entries[name] = entry;
    return true;
}

// A texture that could not be made again has no name, and proves nothing.
bool TextureManager::texturesLive() const {
    for (const auto& entry : entries) {
        const GLuint name = entry.second.info.glName;
        if (name != 0 && glIsTexture(name) != GL_TRUE) {
            return false;
        }
    }
    return true;
}

// Every entry is made again once it is known that any is lost: in a new context
// a name may already stand for one of the textures just made.
int TextureManager::remakeAfterNewContext() {
    if (texturesLive()) {
        return 0;
    }
    int made = 0;
    for (auto& [name, entry] : entries) {
        TextureInfo& info = entry.info;
        if (entry.generated) {
            info.glName = uploadBlankTexture(static_cast<uint32_t>(info.width), static_cast<uint32_t>(info.height));
        } else {
            TextureInfo loaded;  // the size stays the one the sub-textures were cut for
            info.glName = loadImageIntoTexture(entry.file, loaded, entry.repeat) ? loaded.glName : 0;
            if (info.glName == 0) {
                reportIfUnopenable(entry.file);
            }
        }
        made += info.glName != 0 ? 1 : 0;
    }
    return made;
}

void TextureManager::reportIfUnopenable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        std::fclose(file);
        return;
    }
    const int error = errno;
    if (reportedPaths.insert(path).second) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), unopenableReason(error).c_str());
    }
}

TextureEntry* TextureManager::getEntry(const std::string& name) {
    const auto it = entries.find(name);
    return it == entries.end() ? nullptr : &it->second;
}

TextureEntry* TextureManager::getEntryAt(int position) {
    const auto it = nthElement(entries, position);
    return it == entries.end() ? nullptr : &it->second;
}

TextureInfo* TextureManager::getTexture(const std::string& name) {
    TextureEntry* entry = getEntry(name);
    return entry == nullptr ? nullptr : &entry->info;
}

bool TextureManager::addSubTexture(const std::string& texture, const std::string& sub, int32_t leftX, int32_t topY,
                                   int32_t width, int32_t height) {
    TextureEntry* entry = getEntry(texture);
    if (entry == nullptr) {
        return false;
    }
    const float sheetWidth = static_cast<float>(entry->info.width);
    const float sheetHeight = static_cast<float>(entry->info.height);
    SubTexture& subTexture = entry->subTextures[sub];
    subTexture.name = sub;
    subTexture.texture = &entry->info;
    subTexture.leftX = leftX;
    subTexture.topY = topY;
    subTexture.width = width;
    subTexture.height = height;
    subTexture.texLeft = static_cast<float>(leftX) / sheetWidth;
    subTexture.texTop = static_cast<float>(topY) / sheetHeight;
    subTexture.texWidth = static_cast<float>(width) / sheetWidth;
    subTexture.texHeight = static_cast<float>(height) / sheetHeight;
    subTexture.sheetHeight = entry->info.height;
    subTexture.sheetWidth = entry->info.width;
    return true;
}

SubTexture* TextureManager::getSubTexture(const std::string& texture, const std::string& sub) {
    return getSubTexture(getEntry(texture), sub);
}

SubTexture* TextureManager::getSubTexture(TextureEntry* entry, const std::string& sub) {
    if (entry == nullptr) {
        return nullptr;
    }
    const auto it = entry->subTextures.find(sub);
    return it == entry->subTextures.end() ? nullptr : &it->second;
}

SubTexture* TextureManager::getSubTexture(TextureEntry* entry, int subPosition) {
    if (entry == nullptr) {
        return nullptr;
    }
    const auto it = nthElement(entry->subTextures, subPosition);
    return it == entry->subTextures.end() ? nullptr : &it->second;
}

SubTexture* TextureManager::getSubTexture(const std::string& texture, int subPosition) {
    return getSubTexture(getEntry(texture), subPosition);
}

SubTexture* TextureManager::getSubTexture(int texturePosition, int subPosition) {
    const TextureEntry* entry = getEntryAt(texturePosition);
    return entry == nullptr ? nullptr : getSubTexture(entry->name, subPosition);
}

TextureInfo* TextureManager::getSubTextureInfo(const std::string& texture, const std::string& sub) {
    SubTexture* subTexture = getSubTexture(texture, sub);
    return subTexture == nullptr ? nullptr : subTexture->texture;
}

bool TextureManager::hasSubTexture(const std::string& texture, const std::string& sub) {
    return getSubTexture(texture, sub) != nullptr;
}

bool TextureManager::hasSubTexture(int texturePosition, const std::string& sub) {
    return getSubTexture(getEntryAt(texturePosition), sub) != nullptr;
}

bool TextureManager::removeSubTexture(const std::string& texture, int subPosition) {
    TextureEntry* entry = getEntry(texture);
    if (entry == nullptr) {
        return false;
    }
    const auto it = nthElement(entry->subTextures, subPosition);
    if (it == entry->subTextures.end()) {
        return false;
    }
    entry->subTextures.erase(it);
    return true;
}

bool TextureManager::removeSubTexture(int texturePosition, int subPosition) {
    const TextureEntry* entry = getEntryAt(texturePosition);
    return entry != nullptr && removeSubTexture(entry->name, subPosition);
}

bool TextureManager::removeTexture(const std::string& name) {
    return entries.erase(name) > 0;
}

bool TextureManager::removeTexture(int position) {
    const auto it = nthElement(entries, position);
    if (it == entries.end()) {
        return false;
    }
    entries.erase(it);
    return true;
}

int TextureManager::subTextureCount(const std::string& texture) {
    const TextureEntry* entry = getEntry(texture);
    return entry == nullptr ? 0 : static_cast<int>(entry->subTextures.size());
}

int TextureManager::subTextureCount(int texturePosition) {
    const TextureEntry* entry = getEntryAt(texturePosition);
    return entry == nullptr ? 0 : static_cast<int>(entry->subTextures.size());
}

// The result tells whether any entry existed, not whether the file was written.
bool TextureManager::saveDefinitions(const std::string& path) const {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    out << kHeaderSite << ' ' << kHeaderTitle << '\n';
    if (entries.empty()) {
        return false;
    }
    for (const auto& [name, entry] : entries) {
        if (entry.generated) {
            continue;
        }
        out << "Name: " << name << '\n';
        out << "File: " << entry.file << '\n';
        out << "_\n";
        for (const auto& [subName, sub] : entry.subTextures) {
            out << "SubName: " << subName << '\n';
            out << "SubLeftX: " << sub.leftX << '\n';
            out << "SubTopY: " << sub.topY << '\n';
            out << "SubWidth: " << sub.width << '\n';
            out << "SubHeight: " << sub.height << '\n';
            out << "__\n";
        }
        out << "___\n";
    }
    out << "____\n";
    return true;
}

// True only when the closing "____" was reached. A missing file, a missing or
// unreadable value, an overlong word or the end of the input stops the read
// with false; whatever was loaded before then stays.
bool TextureManager::loadDefinitions(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    in.ignore(1024, '\n');

    std::string textureName;
    std::string subName;
    std::string file;
    int32_t leftX = 0;
    int32_t topY = 0;
    int32_t width = 0;
    int32_t height = 0;

    std::string word;
    while (readWord(in, word)) {
        if (word == "____") {
            return true;
        }
        bool ok = true;
        if (word == "Name:") {
            ok = readWord(in, textureName);
        } else if (word == "File:") {
            ok = readWord(in, file);
        } else if (word == "_") {
            if (!textureName.empty()) {  // a block before any "Name:" names nothing
                loadTexture(textureName, file, false);
            }
        } else if (word == "SubName:") {
            ok = readWord(in, subName);
        } else if (word == "SubLeftX:") {
            ok = static_cast<bool>(in >> leftX);
        } else if (word == "SubTopY:") {
            ok = static_cast<bool>(in >> topY);
        } else if (word == "SubWidth:") {
            ok = static_cast<bool>(in >> width);
        } else if (word == "SubHeight:") {
            ok = static_cast<bool>(in >> height);
        } else if (word == "__") {
            if (!textureName.empty() && !subName.empty()) {
                addSubTexture(textureName, subName, leftX, topY, width, height);
            }
            subName.clear();
        }
        if (!ok) {
            return false;
        }
    }
    return false;
}
