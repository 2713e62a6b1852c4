#include <GL/glu.h>
#include <SDL.h>

#include <iterator>

#include "render/draw_surface.h"
#include "render/surface_detail.h"

using surface_detail::openBatch;

DrawSurface3D::DrawSurface3D() { videoFlags = SDL_OPENGL | SDL_ANYFORMAT; }

DrawSurface3D::DrawSurface3D(const DrawSurface3D& other) = default;

DrawSurface3D::~DrawSurface3D() { endBatch(); }

DrawSurface3D& DrawSurface3D::operator=(const DrawSurface3D& other) = default;

bool DrawSurface3D::initialise() {
    if (!startVideo()) {
        return false;
    }
    if (viewportWidth == -1.0f) {
        applyState(static_cast<float>(width), static_cast<float>(height));
    } else {
        applyState(viewportWidth, viewportHeight);
    }
    return true;
}

bool DrawSurface3D::changeVideoMode(int w, int h, uint32_t flags) {
    endBatch();
    const SDL_Surface* screen = SDL_SetVideoMode(w, h, 32, flags);
    if (screen == nullptr) {
        return false;
    }
    videoFlags = flags;
    setResolution(screen->w, screen->h);
    applyState(static_cast<float>(screen->w), static_cast<float>(screen->h));
    return true;
}

void DrawSurface3D::applyState(float vw, float vh) {
    if (vw == -1.0f) {
        vw = viewportWidth;
        vh = viewportHeight;
    } else {
        viewportWidth = vw;
        viewportHeight = vh;
    }
    // The window's own shape, so that the arena is not stretched at any size.
    const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glViewport(0, 0, static_cast<GLsizei>(vw), static_cast<GLsizei>(vh));
    gluPerspective(60.0, aspect, 0.01, 1024.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClearDepth(1024.0);
    glEnable(GL_BLEND);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_LIGHTING);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.666f);
}

void DrawSurface3D::flush(bool clearAfter, bool sortFirst) {
    replayRecords(clearAfter, sortFirst, [this] { replayInOrder(); });
}

namespace {

// The kinds whose runs go to GL as one vertex array: lines (the arena) and
// untextured quads (the star markers).
bool drawsAsArray(const DrawRecord& rec) {
    return rec.kind == LineRecord || (rec.kind == QuadRecord && !rec.textured);
}

}  // namespace

void DrawSurface3D::replayInOrder() {
    for (RecordIterator it = records.begin(); it != records.end();) {
        const RecordIterator next = std::next(it);
        if (drawsAsArray(*it) && next != records.end() && next->kind == it->kind && drawsAsArray(*next)) {
            it = drawArrayRun(it);
        } else {
            replay(*it);
            it = next;
        }
    }
}

// One glDrawArrays for a run of records of one kind, each vertex carrying its
// record's colour, instead of several calls per vertex. The picture is the
// same pixel for pixel; the current colour and texture coordinate are left as
// immediate drawing leaves them.
DrawSurface3D::RecordIterator DrawSurface3D::drawArrayRun(RecordIterator first) {
    static const int kQuadCorners[4] = {0, 2, 3, 1};
    static const int kLineEnds[2] = {0, 3};
    const bool quads = first->kind == QuadRecord;
    const int* corners = quads ? kQuadCorners : kLineEnds;
    const int count = quads ? 4 : 2;
    runVertices.clear();
    runColours.clear();
    RecordIterator it = first;
    const DrawRecord* last = &*first;
    for (; it != records.end() && it->kind == first->kind && drawsAsArray(*it); ++it) {
        last = &*it;
        for (int i = 0; i < count; ++i) {
            const int c = corners[i];
            runVertices.push_back(last->quad.x[c]);
            runVertices.push_back(last->quad.y[c]);
            runVertices.push_back(last->quad.z[c]);
            runColours.push_back(last->r);
            runColours.push_back(last->g);
            runColours.push_back(last->b);
            runColours.push_back(last->a);
        }
    }
    endBatch();
    glDisable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, runVertices.data());
    glColorPointer(4, GL_FLOAT, 0, runColours.data());
    glDrawArrays(quads ? GL_QUADS : GL_LINES, 0, static_cast<GLsizei>(runVertices.size() / 3));
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor4f(last->r, last->g, last->b, last->a);
    if (quads) {
        glTexCoord2f(last->quad.texLeft + last->quad.texWidth, last->quad.texTop);
    }
    return it;
}

void DrawSurface3D::replay(DrawRecord& rec) {
    const Quad& q = rec.quad;
    switch (rec.kind) {
    case LineRecord:
        drawLine3(q.x[0], q.y[0], q.z[0], q.x[3], q.y[3], q.z[3], rec.r, rec.g, rec.b, rec.a);
        break;
    case RectRecord:
        drawRect3(q.x[0], q.y[0], q.z[0], q.x[3], q.y[3], q.z[3], rec.r, rec.g, rec.b, rec.a);
        break;
    case QuadRecord:
        drawQuad3(q, rec.r, rec.g, rec.b, rec.a, rec.textured);
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
        drawPolygonTriangles3(rec.polygon);
        break;
    default:  // points draw nothing in 3-D; triangles and RGB rectangles are never recorded here
        break;
    }
}

void DrawSurface3D::drawPoint(int, int, float, float, float, float, float) {}

void DrawSurface3D::drawLine3(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b,
                              float a) {
    if (recording) {
        Quad quad;
        quad.setCorners(x1, y1, z1, x2, y2, z2);
        record(LineRecord, quad, r, g, b, a);
        return;
    }
    openBatch(*this, batches.lineBatch, GL_LINES, false);
    glColor4f(r, g, b, a);
    glVertex3f(x1, y1, z1);
    glVertex3f(x2, y2, z2);
}

void DrawSurface3D::drawRect3(float x1, float y1, float z1, float x2, float y2, float z2, float r, float g, float b,
                              float a) {
    if (recording) {
        Quad quad;
        quad.setCorners(x1, y1, z1, x2, y2, z2);
        record(RectRecord, quad, r, g, b, a);
        return;
    }
    openBatch(*this, batches.quadBatch, GL_QUADS, false);
    glColor4f(r, g, b, a);
    glVertex3f(x1, y1, z1);
    glVertex3f(x1, y2, z2);
    glVertex3f(x2, y2, z2);
    glVertex3f(x2, y1, z1);
}

void DrawSurface3D::drawQuad3(const Quad& quad, float r, float g, float b, float a, bool textured) {
    if (recording) {
        record(QuadRecord, quad, r, g, b, a, textured);
        return;
    }
    surface_detail::drawQuadNow(*this, batches, quad, r, g, b, a, textured, true);
}

void DrawSurface3D::drawPolygon(const Polygon& polygon, bool textured) { drawPolygonIn(batches, polygon, textured); }

void DrawSurface3D::drawPolygonLines(const Polygon& polygon) { drawPolygonLinesIn(batches, polygon); }

void DrawSurface3D::drawPolygonPoints(const Polygon& polygon) {
    if (recording) {
        recordPolygon(PolygonPointsRecord, polygon);
        return;
    }
    openBatch(*this, batches.pointBatch, GL_POINTS, false);
    surface_detail::sendCached(polygon);
}

void DrawSurface3D::drawPolygonTriangles3(const Polygon& polygon) {
    if (recording) {
        recordPolygon(PolygonTrianglesRecord, polygon);
        return;
    }
    openBatch(*this, batches.triangleBatch, GL_TRIANGLES, false);
    surface_detail::sendCached(polygon);
}

void DrawSurface3D::beginTarget(int, int, int, int, GLuint, float, float, float, float) {}

void DrawSurface3D::endTarget() {}

bool DrawSurface3D::acceptsPoint(float, float, float) { return true; }

void DrawSurface3D::clearBatchFlags() { batches = BatchFlags(); }

bool DrawSurface3D::isBatchOpen() const { return batches.anyOpen(); }
