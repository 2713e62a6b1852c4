#pragma once
// Pieces shared by the two surface kinds: opening batches, the colour cache,
// quad emission, and the depth sort of records. Internal to render/.

#include <GL/gl.h>

#include <list>

#include "render/draw_surface.h"

namespace surface_detail {

// Joins the batch whose flag is given, or closes the open one and begins it.
void openBatch(DrawSurface& surface, bool& flag, GLenum mode, bool texturing);

// Sends a vertex's colour only when it differs from the last one sent.
class ColourCache {
public:
    void vertex(const Vertex& v);

private:
    float last[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
};

// cornerZ: each corner at its own z (3-D); otherwise all at quad.depth (2-D).
void drawQuadNow(DrawSurface& surface, BatchFlags& batches, const Quad& quad, float r, float g, float b, float a,
                 bool textured, bool cornerZ);

void sendCached(const Polygon& polygon);

// Stable, ascending; records without a depth (empty polygons) go last.
void sortByDepth(std::list<DrawRecord>& records);

}  // namespace surface_detail
