#pragma once
// Scratch files for texture tests: a private temporary directory, images made
// with ImageMagick, and texture read-back.

#include <GL/gl.h>

#include <string>
#include <vector>

// A fresh directory, removed with its files when the object dies.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path(const std::string& file) const { return root + "/" + file; }
    // Runs `convert <arguments> <output>`; output may carry a prefix such as "PNG8:".
    bool convert(const std::string& arguments, const std::string& prefix, const std::string& file) const;
    bool write(const std::string& file, const std::string& text) const;
    std::string read(const std::string& file) const;

private:
    std::string root;
};

// Level 0 of a texture as RGBA bytes, top texture row first.
std::vector<unsigned char> readTexture(GLuint name);
