#include "render/primitives.h"

#include <limits>

void Quad::setCorners(float x1, float y1, float z1, float x2, float y2, float z2) {
    x[0] = x1; y[0] = y1; z[0] = z1;
    x[1] = x2; y[1] = y1; z[1] = z1;
    x[2] = x1; y[2] = y2; z[2] = z2;
    x[3] = x2; y[3] = y2; z[3] = z2;
    depth = (z1 + z2) / 2.0f;
}

float Polygon::depthKey() {
    if (!averageValid) {
        if (vertices.empty()) {
            averageDepth = std::numeric_limits<float>::quiet_NaN();
        } else {
            float sum = 0.0f;
            for (const Vertex& vertex : vertices) {
                sum += vertex.z;
            }
            averageDepth = sum / static_cast<float>(vertices.size());
        }
        averageValid = true;
    }
    return averageDepth;
}
