#pragma once
// Drawing surfaces over the window's one OpenGL context. A surface keeps one
// glBegin/glEnd batch open across consecutive primitives of the same kind, can
// record primitives instead of drawing them (to replay later, optionally sorted
// by depth), and on the 2-D kind renders into textures through target stacks.

#include <GL/gl.h>

#include <cstdint>
#include <list>
#include <vector>

#include "render/primitives.h"

class TextureManager;

enum RecordKind {
    PointRecord = 0,
    LineRecord = 1,
    TriangleRecord = 2,
    RectRGBRecord = 3,
    RectRecord = 4,
    QuadRecord = 5,
    TexturedPolygonRecord = 6,
    PolygonRecord = 7,
    PolygonLinesRecord = 8,
    PolygonPointsRecord = 9,
    PolygonTrianglesRecord = 10,
};

// One recorded primitive.
struct DrawRecord {
    int kind = PointRecord;
    bool textured = false;
    Quad quad;
    Polygon polygon;
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;

    float depthKey();
};

class DrawSurface {
public:
    virtual void flush(bool clearAfter, bool sortFirst) = 0;
    virtual void drawPolygon(const Polygon& polygon, bool textured) = 0;
    virtual void drawPolygonLines(const Polygon& polygon) = 0;
    virtual void drawPolygonPoints(const Polygon& polygon) = 0;
    virtual void drawPoint(int x, int y, float z, float r, float g, float b, float a) = 0;
    virtual void beginTarget(int x, int y, int w, int h, GLuint texture, float r, float g, float b, float a) = 0;
    virtual void endTarget() = 0;
    virtual bool acceptsPoint(float x, float y, float z) = 0;
    virtual void clearBatchFlags() = 0;
    virtual bool isBatchOpen() const = 0;

    void setResolution(int w, int h);
    void setTextureManager(TextureManager* manager);
    void beginFrame();  // closes the batch, clears colour and depth
    void endFrame();    // closes the batch, swaps the buffers
    void endBatch();
    void beginRecording();
    void endRecording();
    void clearRecording();
    bool isRecording() const { return recording; }
    const std::list<DrawRecord>& recordList() const { return records; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    TextureManager* textureManager() const { return textures; }

protected:
    DrawSurface() = default;
    ~DrawSurface() = default;  // destroyed through the concrete type only
    DrawSurface(const DrawSurface&) = default;
    DrawSurface& operator=(const DrawSurface&) = default;

    bool startVideo();  // SDL video, GL attributes, the window

    int targetDepth = -1;
    std::vector<int> targetX, targetY, targetWidth, targetHeight;
    std::vector<GLuint> targetTextures;
    TextureManager* textures = nullptr;
    std::list<DrawRecord> records;
    uint32_t videoFlags = 0;  // set by the constructor: SDL_OPENGL | SDL_ANYFORMAT
    int width = 0;
    int height = 0;
    bool recording = false;
};

// Orthographic, whole-pixel coordinates, origin top-left; render targets.
// Public primitives (the render module completes the class):
//   bool initialise(); bool resize(int w, int h);
//   void drawLine(int x1, int y1, int x2, int y2, float z, float r, float g, float b);
//   void drawRectRGB(int x1, int y1, int x2, int y2, float z, float r, float g, float b);
//   void drawRect(int x1, int y1, int x2, int y2, float z, float r, float g, float b, float a);
//   void drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, float z, float r, float g, float b, float a);
//   void drawQuad(const Quad& quad, float r, float g, float b, float a, bool textured);
//   void drawPolygonTriangles(const Polygon& polygon, float r, float g, float b, float a);
class DrawSurface2D;

// Perspective, floating-point 3-D coordinates; creates the window.
// Public primitives (the render module completes the class):
//   bool initialise();
//   void drawLine3(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b, float a);
//   void drawRect3(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b, float a);
//   void drawQuad3(const Quad& quad, float r, float g, float b, float a, bool textured);
//   void drawPolygonTriangles3(const Polygon& polygon);
//   DrawSurface3D& operator=(const DrawSurface3D& other);
class DrawSurface3D;
