#include "render/frame.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

float dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

Frame::Frame(float x, float y, float z) {
    reset(x, y, z);
    pointColumns();
}

Frame::Frame(const Frame& other) {
    std::copy(other.matrix, other.matrix + 16, matrix);
    pointColumns();
}

Frame& Frame::operator=(const Frame& other) {
    std::copy(other.matrix, other.matrix + 16, matrix);
    pointColumns();
    return *this;
}

void Frame::pointColumns() {
    xAxis = matrix;
    yAxis = matrix + 4;
    zAxis = matrix + 8;
    position = matrix + 12;
}

void Frame::reset(float x, float y, float z) {
    std::fill(matrix, matrix + 16, 0.0f);
    matrix[0] = 1.0f;
    matrix[5] = 1.0f;
    matrix[10] = -1.0f;
    matrix[15] = 1.0f;
    matrix[12] = x;
    matrix[13] = y;
    matrix[14] = z;
}

void Frame::applyAsView() const {
    const float* c0 = matrix;
    const float* c1 = matrix + 4;
    const float* c2 = matrix + 8;
    const float* p = matrix + 12;
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

void Frame::applyAsModel() const {
    glMatrixMode(GL_MODELVIEW);
    glMultMatrixf(matrix);
}

void Frame::moveLocal(float dx, float dy, float dz, float amount) {
    for (int i = 0; i < 3; ++i) {
        matrix[12 + i] += amount * (dx * matrix[i] + dy * matrix[4 + i] + dz * matrix[8 + i]);
    }
}

void Frame::moveWorld(float dx, float dy, float dz, float amount) {
    matrix[12] += amount * dx;
    matrix[13] += amount * dy;
    matrix[14] += amount * dz;
}

void Frame::setPosition(float x, float y, float z, float /*unused*/) {
    matrix[12] = x;
    matrix[13] = y;
    matrix[14] = z;
}

void Frame::rotateLocal(float degrees, float ax, float ay, float az) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(matrix);
    glRotatef(degrees, ax, ay, az);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    glPopMatrix();
}

void Frame::rotateWorld(float degrees, float ax, float ay, float az) {
    const float axis[3] = {ax, ay, az};
    rotateLocal(degrees, dot3(axis, matrix), dot3(axis, matrix + 4), dot3(axis, matrix + 8));
}
