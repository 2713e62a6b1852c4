#include "tests/textures/texture_files.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

ScratchDir::ScratchDir() {
    char pattern[] = "/tmp/starhold-textures.XXXXXX";
    const char* made = mkdtemp(pattern);
    root = made != nullptr ? made : "/tmp";
}

ScratchDir::~ScratchDir() {
    if (root != "/tmp") {
        const std::string command = "rm -rf '" + root + "'";
        if (std::system(command.c_str()) != 0) {
            // Leaving a temporary folder behind is harmless.
        }
    }
}

bool ScratchDir::convert(const std::string& arguments, const std::string& prefix, const std::string& file) const {
    const std::string command = "convert " + arguments + " '" + prefix + path(file) + "'";
    return std::system(command.c_str()) == 0;
}

bool ScratchDir::write(const std::string& file, const std::string& text) const {
    std::ofstream out(path(file), std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string ScratchDir::read(const std::string& file) const {
    std::ifstream in(path(file), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<unsigned char> readTexture(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
