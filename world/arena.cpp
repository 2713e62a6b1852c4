#include "world/arena.h"

#include "render/draw_surface.h"

namespace {

struct LineColour {
    float r, g, b, a;
};

constexpr LineColour kGridColour = {0.5f, 0.5f, 0.6f, 1.0f};
constexpr LineColour kCrossColour = {0.6f, 0.6f, 0.8f, 1.0f};
constexpr LineColour kEdgeColour = {1.0f, 1.0f, 0.0f, 1.0f};

void line(DrawSurface3D& surface, float x1, float y1, float z1, float x2, float y2, float z2,
          const LineColour& colour) {
    surface.drawLine3(x1, y1, z1, x2, y2, z2, colour.r, colour.g, colour.b, colour.a);
}

// Floor, ceiling and the walls at x = -D and x = D each carry lines one unit
// apart, spanning only the middle half (-H to H) of the face across them.
void drawGrid(DrawSurface3D& surface, float d, float h) {
    const LineColour& c = kGridColour;
    for (float u = -d; u < d; u += 1.0f) {
        line(surface, u, -d, h, u, -d, -h, c);
        line(surface, h, -d, u, -h, -d, u, c);
        line(surface, u, d, h, u, d, -h, c);
        line(surface, h, d, u, -h, d, u, c);
        line(surface, -d, u, -h, -d, u, h, c);
        line(surface, -d, -h, u, -d, h, u, c);
        line(surface, d, u, -h, d, u, h, c);
        line(surface, d, -h, u, d, h, u, c);
    }
}

void drawCentreCrosses(DrawSurface3D& surface, float d) {
    const LineColour& c = kCrossColour;
    line(surface, 0, -d, -d, 0, d, -d, c);
    line(surface, -d, 0, -d, d, 0, -d, c);
    line(surface, 0, -d, d, 0, d, d, c);
    line(surface, -d, 0, d, d, 0, d, c);
}

void drawEdges(DrawSurface3D& surface, float d) {
    const LineColour& c = kEdgeColour;
    // Parallel to Y.
    line(surface, -d, -d, -d, -d, d, -d, c);
    line(surface, d, -d, -d, d, d, -d, c);
    line(surface, -d, -d, d, -d, d, d, c);
    line(surface, d, -d, d, d, d, d, c);
    // Back face along X, right face along Z, front face along X, left face along Z; top first.
    line(surface, -d, d, -d, d, d, -d, c);
    line(surface, -d, -d, -d, d, -d, -d, c);
    line(surface, d, d, -d, d, d, d, c);
    line(surface, d, -d, -d, d, -d, d, c);
    line(surface, -d, d, d, d, d, d, c);
    line(surface, -d, -d, d, d, -d, d, c);
    line(surface, -d, d, -d, -d, d, d, c);
    line(surface, -d, -d, -d, -d, -d, d, c);
}

}  // namespace

void buildArena(DrawSurface3D& surface, int32_t D) {
    const float d = static_cast<float>(D);
    const float h = static_cast<float>(D / 2);
    surface.clearRecording();
    surface.beginRecording();
    drawGrid(surface, d, h);
    drawCentreCrosses(surface, d);
    drawEdges(surface, d);
    surface.endRecording();
}
