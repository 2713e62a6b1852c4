#pragma once
// The game's registry of OpenGL textures by name, each with named sub-rectangles,
// and the plain-text texture-definition file that can save and rebuild it.

#include <GL/gl.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

// A GL texture name with its pixel size.
struct TextureInfo {
    GLuint glName = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A named rectangle of a texture, in pixels (origin top-left) and in
// normalised texture coordinates.
struct SubTexture {
    std::string name;
    TextureInfo* texture = nullptr;  // the owning entry's info; not owned
    int32_t leftX = 0;
    int32_t topY = 0;
    int32_t width = 0;
    int32_t height = 0;
    float texLeft = 0.0f;
    float texTop = 0.0f;
    float texWidth = 0.0f;
    float texHeight = 0.0f;
    int32_t sheetHeight = 0;
    int32_t sheetWidth = 0;
};

struct TextureEntry {
    std::string name;
    TextureInfo info;
    std::string file;  // image path, "none" for blank textures
    std::map<std::string, SubTexture> subTextures;
    bool generated = false;  // made by createBlankTexture; never saved
    bool repeat = false;     // wraps (GL_REPEAT) rather than clamps
};

class TextureManager {
public:
    // A new zero-filled RGBA texture; 0 when a side is 0 or not a power of two.
    GLuint createBlankTexture(const std::string& name, uint32_t width, uint32_t height);
    // Loads an image file into a texture stored under `name`; false leaves the map
    // unchanged. A file that cannot be opened is named on stderr ("path: no such
    // file"), once per path however often it is asked for.
    bool loadTexture(const std::string& name, const std::string& path, bool repeat);

    TextureEntry* getEntry(const std::string& name);
    TextureEntry* getEntryAt(int position);
    TextureInfo* getTexture(const std::string& name);  // null when absent

    bool addSubTexture(const std::string& texture, const std::string& sub, int32_t leftX, int32_t topY,
                       int32_t width, int32_t height);
    SubTexture* getSubTexture(const std::string& texture, const std::string& sub);
    SubTexture* getSubTexture(TextureEntry* entry, const std::string& sub);
    SubTexture* getSubTexture(TextureEntry* entry, int subPosition);
    SubTexture* getSubTexture(const std::string& texture, int subPosition);
    SubTexture* getSubTexture(int texturePosition, int subPosition);
    TextureInfo* getSubTextureInfo(const std::string& texture, const std::string& sub);
    bool hasSubTexture(const std::string& texture, const std::string& sub);
    bool hasSubTexture(int texturePosition, const std::string& sub);
    bool removeSubTexture(const std::string& texture, int subPosition);
    bool removeSubTexture(int texturePosition, int subPosition);
    bool removeTexture(const std::string& name);
    bool removeTexture(int position);
    int subTextureCount(const std::string& texture);
    int subTextureCount(int texturePosition);

    // After a new video mode, which may come with a new GL context: when the
    // textures are not all textures of the current context, they went with the
    // old one, and each is made again under its entry with a new GL name, from
    // its image file or blank (sub-textures stay). Nothing is made when the
    // context kept them. Returns how many were made again.
    int remakeAfterNewContext();

    bool saveDefinitions(const std::string& path) const;
    bool loadDefinitions(const std::string& path);

private:
    void reportIfUnopenable(const std::string& path);
    bool texturesLive() const;

    std::map<std::string, TextureEntry> entries;
    std::set<std::string> reportedPaths;  // files already named as unopenable
};
