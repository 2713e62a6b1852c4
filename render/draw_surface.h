#pragma once
// Drawing surfaces over the window's one OpenGL context. A surface keeps one
// glBegin/glEnd batch open across consecutive primitives of the same kind, can
// record primitives instead of drawing them (to replay later, optionally sorted
// by depth), and on the 2-D kind renders into textures through target stacks.

#include <GL/gl.h>

#include <cstdint>
#include <functional>
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

// Which glBegin batch a surface has open; at most one flag is set at a time.
struct BatchFlags {
    bool pointBatch = false;
    bool lineBatch = false;
    bool triangleBatch = false;
    bool quadBatch = false;
    bool polygonBatch = false;
    bool texturedPolygonBatch = false;
    bool texturedQuadBatch = false;

    bool anyOpen() const;
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
    void setVideoFlags(uint32_t flags) { videoFlags = flags; }  // SDL_SetVideoMode's, before initialise
    uint32_t getVideoFlags() const { return videoFlags; }
    // SDL's video subsystem alone; false after printing why. Starting it again does nothing.
    static bool startVideoSubsystem();
    // The colour, accumulation and depth sizes every video mode asks for.
    static void setGlAttributes();
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
    void record(int kind, const Quad& quad, float r, float g, float b, float a, bool textured = false);
    void recordPolygon(int kind, const Polygon& polygon, float r = 0, float g = 0, float b = 0, float a = 0);
    // The bodies both kinds share: record while recording, otherwise draw within `batches`.
    void drawPolygonIn(BatchFlags& batches, const Polygon& polygon, bool textured);
    void drawPolygonLinesIn(BatchFlags& batches, const Polygon& polygon);
    // Closes the batch, replays every record (depth-sorted first if asked), clears them if asked.
    void replayRecords(bool clearAfter, bool sortFirst, const std::function<void()>& replayAll);

    int targetDepth = -1;
    std::vector<int> targetX, targetY, targetWidth, targetHeight;
    std::vector<GLuint> targetTextures;
    TextureManager* textures = nullptr;
    std::list<DrawRecord> records;
    std::list<DrawRecord> spare;  // nodes of cleared records, filled again by the next ones
    uint32_t videoFlags = 0;  // set by the constructor: SDL_OPENGL | SDL_ANYFORMAT
    int width = 0;
    int height = 0;
    bool recording = false;
};

// Orthographic, whole-pixel coordinates, origin top-left; render targets.
class DrawSurface2D final : public DrawSurface {
public:
    DrawSurface2D();
    ~DrawSurface2D();

    bool initialise();            // video start-up, then the 2-D GL state
    bool resize(int w, int h);    // stores the size and applies the 2-D GL state

    void flush(bool clearAfter, bool sortFirst) override;
    void drawPolygon(const Polygon& polygon, bool textured) override;
    void drawPolygonLines(const Polygon& polygon) override;
    void drawPolygonPoints(const Polygon& polygon) override;
    void drawPoint(int x, int y, float z, float r, float g, float b, float a) override;
    void beginTarget(int x, int y, int w, int h, GLuint texture, float r, float g, float b, float a) override;
    void endTarget() override;
    bool acceptsPoint(float x, float y, float z) override;
    void clearBatchFlags() override;
    bool isBatchOpen() const override;

    void drawLine(int x1, int y1, int x2, int y2, float z, float r, float g, float b);
    void drawRectRGB(int x1, int y1, int x2, int y2, float z, float r, float g, float b);
    void drawRect(int x1, int y1, int x2, int y2, float z, float r, float g, float b, float a);
    void drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, float z, float r, float g, float b, float a);
    void drawQuad(const Quad& quad, float r, float g, float b, float a, bool textured);
    // r == -1 draws each vertex in its own colour; otherwise all in (r, g, b, a).
    void drawPolygonTriangles(const Polygon& polygon, float r, float g, float b, float a);

private:
    void applyState(int w, int h);  // w == -1: the stored size
    void replay(DrawRecord& record);

    BatchFlags batches;
};

// Perspective, floating-point 3-D coordinates; creates the window.
class DrawSurface3D final : public DrawSurface {
public:
    DrawSurface3D();
    DrawSurface3D(const DrawSurface3D& other);
    ~DrawSurface3D();
    // Takes every setting of `other`: records, target stacks, textures, size, viewport, batch flags.
    DrawSurface3D& operator=(const DrawSurface3D& other);

    bool initialise();  // video start-up, then the 3-D GL state
    // A new video mode for the open window, and the 3-D state for the size SDL
    // gave (a new mode may come with a new GL context). False when SDL refused
    // it, with nothing changed here and the reason in SDL_GetError().
    bool changeVideoMode(int w, int h, uint32_t flags);

    void flush(bool clearAfter, bool sortFirst) override;
    void drawPolygon(const Polygon& polygon, bool textured) override;
    void drawPolygonLines(const Polygon& polygon) override;
    void drawPolygonPoints(const Polygon& polygon) override;
    void drawPoint(int x, int y, float z, float r, float g, float b, float a) override;  // draws nothing
    void beginTarget(int x, int y, int w, int h, GLuint texture, float r, float g, float b, float a) override;  // no-op
    void endTarget() override;  // no-op
    bool acceptsPoint(float x, float y, float z) override;
    void clearBatchFlags() override;
    bool isBatchOpen() const override;

    void drawLine3(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b, float a);
    void drawRect3(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b, float a);
    void drawQuad3(const Quad& quad, float r, float g, float b, float a, bool textured);
    void drawPolygonTriangles3(const Polygon& polygon);  // each vertex in its own colour

private:
    using RecordIterator = std::list<DrawRecord>::iterator;

    void applyState(float vw, float vh);  // vw == -1: the stored viewport size
    void replay(DrawRecord& record);
    void replayInOrder();
    RecordIterator drawArrayRun(RecordIterator first);

    float viewportWidth = -1.0f;
    float viewportHeight = -1.0f;
    BatchFlags batches;
    std::vector<GLfloat> runVertices;  // reused by drawArrayRun, so a frame allocates nothing
    std::vector<GLfloat> runColours;
};
