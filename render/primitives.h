#pragma once
// The values the drawing primitives take.

#include <GL/gl.h>

#include <vector>

// Four corners with a texture placement. Corners 0-1 are the image's top edge,
// 2-3 its bottom edge; a quad is drawn in the vertex order 0, 2, 3, 1.
struct Quad {
    float x[4] = {0, 0, 0, 0};
    float y[4] = {0, 0, 0, 0};
    float z[4] = {0, 0, 0, 0};
    GLuint texture = 0;  // 0: none
    float texWidth = 1.0f;
    float texHeight = 1.0f;
    float texLeft = 0.0f;
    float texTop = 0.0f;
    float depth = 0.0f;  // z of a 2-D quad; sort key of a recorded quad

    // Corner 0 = (x1, y1, z1), 1 = (x2, y1, z1), 2 = (x1, y2, z2), 3 = (x2, y2, z2).
    void setCorners(float x1, float y1, float z1, float x2, float y2, float z2);
};

struct Vertex {
    float x = -1.0f, y = -1.0f, z = 1.0f;
    float r = 1.0f, g = 1.0f, b = 1.0f, a = 1.0f;
};

struct TexCoord {
    float u = 0.0f, v = 0.0f;
};

struct Polygon {
    std::vector<Vertex> vertices;
    std::vector<TexCoord> texCoords;  // one per vertex, used only when drawn textured
    float averageDepth = -1.0f;
    bool averageValid = false;
    GLuint texture = 0;

    // Mean z of the vertices, computed on first use and cached.
    float depthKey();
};
