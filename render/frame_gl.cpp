#include "render/frame_gl.h"

#include <GL/gl.h>

#include "render/frame.h"

namespace {

float dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

void applyAsView(const Frame& camera) {
    const float* c0 = camera.matrix;
    const float* c1 = camera.matrix + 4;
    const float* c2 = camera.matrix + 8;
    const float* p = camera.matrix + 12;
    // The inverse transform with its third row negated, so the frame's +Z maps
    // to the eye's -Z, the direction GL looks.
    const float view[16] = {
        c0[0], c1[0], -c2[0], 0.0f,
        c0[1], c1[1], -c2[1], 0.0f,
        c0[2], c1[2], -c2[2], 0.0f,
        -dot3(c0, p), -dot3(c1, p), dot3(c2, p), 1.0f,
    };
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLoadMatrixf(view);
}

void applyAsModel(const Frame& frame) {
    glMatrixMode(GL_MODELVIEW);
    glMultMatrixf(frame.matrix);
}
