#include <SDL.h>

#include "render/draw_surface.h"
#include "render/surface_detail.h"

using surface_detail::openBatch;

DrawSurface2D::DrawSurface2D() { videoFlags = SDL_OPENGL | SDL_ANYFORMAT; }

DrawSurface2D::~DrawSurface2D() { endBatch(); }

bool DrawSurface2D::initialise() {
    if (!startVideo()) {
        return false;
    }
    applyState(width, height);
    return true;
}

bool DrawSurface2D::resize(int w, int h) {
    setResolution(w, h);
    applyState(w, h);
    return true;
}

void DrawSurface2D::applyState(int w, int h) {
    if (w == -1) {
        w = width;
        h = height;
    }
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, w, h);
    glOrtho(0, w, h, 0, -128, 128);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClearDepth(15.0);
    glEnable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_LIGHTING);
    glLoadIdentity();
}

void DrawSurface2D::flush(bool clearAfter, bool sortFirst) {
    replayRecords(clearAfter, sortFirst, [this] {
        for (DrawRecord& rec : records) {
            replay(rec);
        }
    });
}

void DrawSurface2D::replay(DrawRecord& rec) {
    const Quad& q = rec.quad;
    const auto ix = [&q](int corner) { return static_cast<int>(q.x[corner]); };
    const auto iy = [&q](int corner) { return static_cast<int>(q.y[corner]); };
    switch (rec.kind) {
    case PointRecord:
        drawPoint(ix(0), iy(0), q.depth, rec.r, rec.g, rec.b, rec.a);
        break;
    case LineRecord:
        drawLine(ix(0), iy(0), ix(3), iy(3), q.depth, rec.r, rec.g, rec.b);
        break;
    case TriangleRecord:
        drawTriangle(ix(0), iy(0), ix(2), iy(2), ix(3), iy(3), q.depth, rec.r, rec.g, rec.b, rec.a);
        break;
    case RectRGBRecord:
        drawRectRGB(ix(0), iy(0), ix(3), iy(3), q.depth, rec.r, rec.g, rec.b);
        break;
    case RectRecord:
        drawRect(ix(0), iy(0), ix(3), iy(3), q.depth, rec.r, rec.g, rec.b, rec.a);
        break;
    case QuadRecord:
        drawQuad(q, rec.r, rec.g, rec.b, rec.a, rec.textured);
        break;
    case TexturedPolygonRecord:
        drawPolygon(rec.polygon, true);
        break;
    case PolygonRecord:
        drawPolygon(rec.polygon, false);
        break;
    case PolygonLinesRecord:
        drawPolygonLines(rec.polygon);
        break;
    case PolygonPointsRecord:
        drawPolygonPoints(rec.polygon);
        break;
    case PolygonTrianglesRecord:
        drawPolygonTriangles(rec.polygon, rec.r, rec.g, rec.b, rec.a);
        break;
    default:
        break;
    }
}

namespace {

Quad cornersAt(float z, int x0, int y0, int x2 = 0, int y2 = 0, int x3 = 0, int y3 = 0) {
    Quad quad;
    quad.x[0] = static_cast<float>(x0);
    quad.y[0] = static_cast<float>(y0);
    quad.x[2] = static_cast<float>(x2);
    quad.y[2] = static_cast<float>(y2);
    quad.x[3] = static_cast<float>(x3);
    quad.y[3] = static_cast<float>(y3);
    quad.z[0] = quad.z[2] = quad.z[3] = z;
    quad.depth = z;
    return quad;
}

void sendRect(int x1, int y1, int x2, int y2, float z) {
    glVertex3f(static_cast<float>(x1), static_cast<float>(y1), z);
    glVertex3f(static_cast<float>(x1), static_cast<float>(y2), z);
    glVertex3f(static_cast<float>(x2), static_cast<float>(y2), z);
    glVertex3f(static_cast<float>(x2), static_cast<float>(y1), z);
}

Quad rectQuad(int x1, int y1, int x2, int y2, float z) {
    Quad quad;
    quad.setCorners(static_cast<float>(x1), static_cast<float>(y1), z, static_cast<float>(x2), static_cast<float>(y2), z);
    return quad;
}

}  // namespace

void DrawSurface2D::drawPoint(int x, int y, float z, float r, float g, float b, float a) {
    if (recording) {
        record(PointRecord, cornersAt(z, x, y), r, g, b, a);
        return;
    }
    openBatch(*this, batches.pointBatch, GL_POINTS, false);
    glColor4f(r, g, b, a);
    glVertex3f(static_cast<float>(x), static_cast<float>(y), z);
}

void DrawSurface2D::drawLine(int x1, int y1, int x2, int y2, float z, float r, float g, float b) {
    if (recording) {
        record(LineRecord, cornersAt(z, x1, y1, 0, 0, x2, y2), r, g, b, 1.0f);
        return;
    }
    openBatch(*this, batches.lineBatch, GL_LINES, false);
    glColor3f(r, g, b);
    glVertex3f(static_cast<float>(x1), static_cast<float>(y1), z);
    glVertex3f(static_cast<float>(x2), static_cast<float>(y2), z);
}

void DrawSurface2D::drawRectRGB(int x1, int y1, int x2, int y2, float z, float r, float g, float b) {
    if (recording) {
        record(RectRGBRecord, rectQuad(x1, y1, x2, y2, z), r, g, b, 1.0f);
        return;
    }
    openBatch(*this, batches.quadBatch, GL_QUADS, false);
    glColor3f(r, g, b);
    sendRect(x1, y1, x2, y2, z);
}

void DrawSurface2D::drawRect(int x1, int y1, int x2, int y2, float z, float r, float g, float b, float a) {
    if (recording) {
        record(RectRecord, rectQuad(x1, y1, x2, y2, z), r, g, b, a);
        return;
    }
    openBatch(*this, batches.quadBatch, GL_QUADS, false);
    glColor4f(r, g, b, a);
    sendRect(x1, y1, x2, y2, z);
}

void DrawSurface2D::drawTriangle(int x1, int y1, int x2, int y2, int x3, int y3, float z, float r, float g, float b,
                                 float a) {
    if (recording) {
        record(TriangleRecord, cornersAt(z, x1, y1, x2, y2, x3, y3), r, g, b, a);
        return;
    }
    openBatch(*this, batches.triangleBatch, GL_TRIANGLES, false);
    glColor4f(r, g, b, a);
    glVertex3f(static_cast<float>(x1), static_cast<float>(y1), z);
    glVertex3f(static_cast<float>(x2), static_cast<float>(y2), z);
    glVertex3f(static_cast<float>(x3), static_cast<float>(y3), z);
}

void DrawSurface2D::drawQuad(const Quad& quad, float r, float g, float b, float a, bool textured) {
    if (recording) {
        record(QuadRecord, quad, r, g, b, a, textured);
        return;
    }
    surface_detail::drawQuadNow(*this, batches, quad, r, g, b, a, textured, false);
}

void DrawSurface2D::drawPolygon(const Polygon& polygon, bool textured) { drawPolygonIn(batches, polygon, textured); }

void DrawSurface2D::drawPolygonLines(const Polygon& polygon) { drawPolygonLinesIn(batches, polygon); }

void DrawSurface2D::drawPolygonPoints(const Polygon& polygon) {
    if (recording) {
        recordPolygon(PolygonPointsRecord, polygon);
        return;
    }
    openBatch(*this, batches.pointBatch, GL_POINTS, false);
    for (const Vertex& v : polygon.vertices) {
        glColor4f(v.r, v.g, v.b, v.a);
        glVertex3f(v.x, v.y, v.z);
    }
}

void DrawSurface2D::drawPolygonTriangles(const Polygon& polygon, float r, float g, float b, float a) {
    if (recording) {
        recordPolygon(PolygonTrianglesRecord, polygon, r, g, b, a);
        return;
    }
    openBatch(*this, batches.triangleBatch, GL_TRIANGLES, false);
    if (r == -1.0f) {
        surface_detail::sendCached(polygon);
        return;
    }
    glColor4f(r, g, b, a);
    for (const Vertex& v : polygon.vertices) {
        glVertex3f(v.x, v.y, v.z);
    }
}

void DrawSurface2D::beginTarget(int x, int y, int w, int h, GLuint texture, float r, float g, float b, float a) {
    endBatch();
    if (w < 1 || h < 1) {
        return;
    }
    glDrawBuffer(GL_BACK);
    glViewport(x, y, w, h);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ++targetDepth;
    targetX.push_back(x);
    targetY.push_back(y);
    targetWidth.push_back(w);
    targetHeight.push_back(h);
    targetTextures.push_back(texture);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(x, x + w, y, y + h, -15, 15);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void DrawSurface2D::endTarget() {
    endBatch();
    if (targetDepth == -1) {
        return;
    }
    glBindTexture(GL_TEXTURE_2D, targetTextures.back());
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, targetX.back(), targetY.back(), targetWidth.back(),
                     targetHeight.back(), 0);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    targetX.pop_back();
    targetY.pop_back();
    targetWidth.pop_back();
    targetHeight.pop_back();
    targetTextures.pop_back();
    --targetDepth;
}

bool DrawSurface2D::acceptsPoint(float, float, float) { return true; }

void DrawSurface2D::clearBatchFlags() { batches = BatchFlags(); }

bool DrawSurface2D::isBatchOpen() const { return batches.anyOpen(); }
