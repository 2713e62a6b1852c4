// How the stars and ships look, and the chase camera.
#include <GL/gl.h>

#include <string>

#include "render/draw_surface.h"
#include "render/frame_gl.h"
#include "render/primitives.h"
#include "textures/texture_manager.h"
#include "world/player_state.h"
#include "world/world_drawing.h"

namespace {

constexpr float kMarkerHalfWidth = 0.2f;
constexpr float kMarkerRedShift = 0.2f;
constexpr float kCameraDistance = 15.0f;

struct ShipPart {
    const char* suffix;
    float x1, y1, z1, x2, y2, z2;
};

// In the ship's own coordinates: it flies along its -Z, so +Z is the tail.
constexpr ShipPart kShipParts[] = {
    {" Top", -1.0f, 0.0f, -1.0f, 1.0f, 0.2f, 1.0f},
    {" Bot", -1.0f, 0.0f, -1.0f, 1.0f, -0.2f, 1.0f},
    {" Burner", -1.0f, 0.2f, 1.0f, 1.0f, -0.2f, 1.0f},
};

struct ShipImage {
    const char* name;
    const char* path;
};

constexpr ShipImage kShipImages[] = {
    {"Ship Top", "images/shiptop.png"},     {"Ship Bot", "images/shipbottom.png"},
    {"Ship Burner", "images/shipburner.png"}, {"Ship2 Top", "images/ship2top.png"},
    {"Ship2 Bot", "images/ship2bottom.png"},  {"Ship2 Burner", "images/ship2burner.png"},
};

void vertexAt(const Quad& quad, int corner, float u, float v) {
    glTexCoord2f(u, v);
    glVertex3f(quad.x[corner], quad.y[corner], quad.z[corner]);
}

// One white quad; textured only when its texture exists, never bound blindly.
void drawShipQuad(const Quad& quad) {
    if (quad.texture != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, quad.texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    const float left = quad.texLeft;
    const float top = quad.texTop;
    const float right = quad.texLeft + quad.texWidth;
    const float bottom = quad.texTop + quad.texHeight;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    vertexAt(quad, 0, left, top);
    vertexAt(quad, 2, left, bottom);
    vertexAt(quad, 3, right, bottom);
    vertexAt(quad, 1, right, top);
    glEnd();
}

}  // namespace

void loadShipTextures(TextureManager& textures) {
    for (const ShipImage& image : kShipImages) {
        textures.loadTexture(image.name, image.path, false);
    }
}

void drawStars(const PlayerState& player, DrawSurface3D& surface) {
    for (const Star& star : player.stars()) {
        surface.beginRecording();
        Quad across;
        across.setCorners(star.x - kMarkerHalfWidth, star.y - kMarkerHalfWidth, star.z, star.x + kMarkerHalfWidth,
                          star.y + kMarkerHalfWidth, star.z);
        surface.drawQuad3(across, star.r, star.g, star.b, 1.0f, false);
        Quad flat;
        flat.setCorners(star.x - kMarkerHalfWidth, star.y, star.z + kMarkerHalfWidth, star.x + kMarkerHalfWidth,
                        star.y, star.z - kMarkerHalfWidth);
        surface.drawQuad3(flat, star.r + kMarkerRedShift, star.g, star.b, 1.0f, false);
        surface.endRecording();
    }
}

void drawShip(const PlayerState& player, const Frame& camera, TextureManager& textures) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    applyAsView(camera);
    applyAsModel(player.ship().frame);
    const std::string prefix = player.alternateSkin() ? "Ship2" : "Ship";
    glEnable(GL_TEXTURE_2D);
    for (const ShipPart& part : kShipParts) {
        Quad quad;
        quad.setCorners(part.x1, part.y1, part.z1, part.x2, part.y2, part.z2);
        const TextureInfo* info = textures.getTexture(prefix + part.suffix);
        quad.texture = info != nullptr ? info->glName : 0;
        drawShipQuad(quad);
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

void followCamera(const PlayerState& player, Frame& camera) {
    const float* p = player.ship().frame.position;
    const float x = p[0];
    const float y = p[1];
    const float z = p[2];
    camera.reset(0.0f, 0.0f, 0.0f);
    camera.moveLocal(x, y, -z - kCameraDistance, 1.0f);
}
