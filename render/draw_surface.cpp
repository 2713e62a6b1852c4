#include "render/draw_surface.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "render/surface_detail.h"

float DrawRecord::depthKey() {
    if (kind >= TexturedPolygonRecord) {
        return polygon.depthKey();
    }
    return quad.depth;
}

bool BatchFlags::anyOpen() const {
    return pointBatch || lineBatch || triangleBatch || quadBatch || polygonBatch || texturedPolygonBatch ||
           texturedQuadBatch;
}

void DrawSurface::setResolution(int w, int h) {
    width = w;
    height = h;
}

void DrawSurface::setTextureManager(TextureManager* manager) { textures = manager; }

void DrawSurface::beginFrame() {
    endBatch();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DrawSurface::endFrame() {
    endBatch();
    SDL_GL_SwapBuffers();
}

void DrawSurface::endBatch() {
    if (isBatchOpen()) {
        glEnd();
        clearBatchFlags();
    }
}

void DrawSurface::beginRecording() { recording = true; }

void DrawSurface::endRecording() { recording = false; }

void DrawSurface::clearRecording() { spare.splice(spare.end(), records); }

void DrawSurface::record(int kind, const Quad& quad, float r, float g, float b, float a, bool textured) {
    // A frame records thousands of these: the nodes of records cleared before are
    // filled again in place rather than freed and allocated anew.
    if (spare.empty()) {
        records.emplace_back();
    } else {
        records.splice(records.end(), spare, spare.begin());
    }
    DrawRecord& rec = records.back();
    rec.polygon = Polygon();
    rec.kind = kind;
    rec.quad = quad;
    rec.textured = textured;
    rec.r = r;
    rec.g = g;
    rec.b = b;
    rec.a = a;
}

void DrawSurface::recordPolygon(int kind, const Polygon& polygon, float r, float g, float b, float a) {
    record(kind, Quad(), r, g, b, a);
    records.back().polygon = polygon;
}

void DrawSurface::drawPolygonIn(BatchFlags& batches, const Polygon& polygon, bool textured) {
    if (recording) {
        recordPolygon(textured ? TexturedPolygonRecord : PolygonRecord, polygon);
        return;
    }
    if (!textured) {
        surface_detail::openBatch(*this, batches.polygonBatch, GL_POLYGON, false);
        surface_detail::sendCached(polygon);
        endBatch();
        return;
    }
    endBatch();
    glBindTexture(GL_TEXTURE_2D, polygon.texture);
    surface_detail::openBatch(*this, batches.texturedPolygonBatch, GL_POLYGON, true);
    for (size_t i = 0; i < polygon.vertices.size(); ++i) {
        const Vertex& v = polygon.vertices[i];
        glColor4f(v.r, v.g, v.b, v.a);
        if (i < polygon.texCoords.size()) {
            glTexCoord2f(polygon.texCoords[i].u, polygon.texCoords[i].v);
        } else {
            glTexCoord2f(0.0f, 0.0f);  // a polygon short of coordinates still draws safely
        }
        glVertex3f(v.x, v.y, v.z);
    }
    endBatch();
}

void DrawSurface::drawPolygonLinesIn(BatchFlags& batches, const Polygon& polygon) {
    if (polygon.vertices.size() % 2 != 0) {
        return;
    }
    if (recording) {
        recordPolygon(PolygonLinesRecord, polygon);
        return;
    }
    surface_detail::openBatch(*this, batches.lineBatch, GL_LINES, false);
    surface_detail::sendCached(polygon);
}

void DrawSurface::replayRecords(bool clearAfter, bool sortFirst, const std::function<void()>& replayAll) {
    endBatch();
    if (sortFirst) {
        surface_detail::sortByDepth(records);
    }
    const bool wasRecording = recording;
    recording = false;  // a replay must not append to the list it walks
    replayAll();
    recording = wasRecording;
    if (clearAfter) {
        clearRecording();
    }
    endBatch();
}

bool DrawSurface::startVideoSubsystem() {
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "Video initialization failed: %s\n", SDL_GetError());
        return false;
    }
    return true;
}

void DrawSurface::setGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
}

bool DrawSurface::startVideo() {
    if (!startVideoSubsystem()) {
        return false;
    }
    setGlAttributes();
    if (SDL_SetVideoMode(width, height, 32, videoFlags) == nullptr) {
        std::fprintf(stderr, "Video mode set failed: %s\n", SDL_GetError());
        static bool quitRegistered = false;
        if (!quitRegistered) {
            std::atexit(SDL_Quit);
            quitRegistered = true;
        }
        return false;
    }
    return true;
}

namespace surface_detail {

void openBatch(DrawSurface& surface, bool& flag, GLenum mode, bool texturing) {
    if (flag) {
        return;
    }
    surface.endBatch();
    flag = true;
    if (texturing) {
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glBegin(mode);
}

void ColourCache::vertex(const Vertex& v) {
    const bool same = last[0] != -1.0f && v.r == last[0] && v.g == last[1] && v.b == last[2] && v.a == last[3];
    if (!same) {
        last[0] = v.r;
        last[1] = v.g;
        last[2] = v.b;
        last[3] = v.a;
        glColor4f(v.r, v.g, v.b, v.a);
    }
    glVertex3f(v.x, v.y, v.z);
}

void sendCached(const Polygon& polygon) {
    ColourCache cache;
    for (const Vertex& vertex : polygon.vertices) {
        cache.vertex(vertex);
    }
}

namespace {

// The quad's corners in drawing order, with the texture coordinate of each.
const int kCornerOrder[4] = {0, 2, 3, 1};

void sendCorner(const Quad& quad, int corner, bool cornerZ) {
    glVertex3f(quad.x[corner], quad.y[corner], cornerZ ? quad.z[corner] : quad.depth);
}

void sendTexturedCorners(const Quad& quad, bool cornerZ) {
    for (int corner : kCornerOrder) {
        const bool right = corner == 1 || corner == 3;
        const bool bottom = corner >= 2;
        glTexCoord2f(quad.texLeft + (right ? quad.texWidth : 0.0f), quad.texTop + (bottom ? quad.texHeight : 0.0f));
        sendCorner(quad, corner, cornerZ);
    }
}

// Outline order then crossing order: how a quad without its texture shows.
void sendMissingTextureMarker(const Quad& quad, bool cornerZ) {
    const int order[8] = {0, 2, 3, 1, 0, 1, 2, 3};
    for (int corner : order) {
        sendCorner(quad, corner, cornerZ);
    }
}

float cachedKey(const DrawRecord& record) {
    return record.kind >= TexturedPolygonRecord ? record.polygon.averageDepth : record.quad.depth;
}

}  // namespace

void drawQuadNow(DrawSurface& surface, BatchFlags& batches, const Quad& quad, float r, float g, float b, float a,
                 bool textured, bool cornerZ) {
    if (textured && quad.texture == 0) {
        openBatch(surface, batches.quadBatch, GL_QUADS, false);
        glColor4f(r, g, b, a);
        sendMissingTextureMarker(quad, cornerZ);
        return;
    }
    if (textured) {
        surface.endBatch();  // no bind inside glBegin
        glBindTexture(GL_TEXTURE_2D, quad.texture);
        openBatch(surface, batches.texturedQuadBatch, GL_QUADS, true);
    } else {
        openBatch(surface, batches.quadBatch, GL_QUADS, false);
    }
    glColor4f(r, g, b, a);
    sendTexturedCorners(quad, cornerZ);
}

void sortByDepth(std::list<DrawRecord>& records) {
    for (DrawRecord& record : records) {
        record.depthKey();  // fills each polygon's cached mean depth
    }
    records.sort([](const DrawRecord& left, const DrawRecord& right) {
        const float a = cachedKey(left);
        const float b = cachedKey(right);
        if (std::isnan(a)) {
            return false;
        }
        return std::isnan(b) || a < b;
    });
}

}  // namespace surface_detail
