#include "render/frame.h"

#include <algorithm>
#include <cmath>

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

// The turn glRotatef makes: the frame times a rotation about the normalised
// axis. An axis too short to have a direction turns nothing.
void Frame::rotateLocal(float degrees, float ax, float ay, float az) {
    const float length = std::sqrt(ax * ax + ay * ay + az * az);
    if (length <= 1.0e-4f) {
        return;
    }
    const float x = ax / length;
    const float y = ay / length;
    const float z = az / length;
    const double radians = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    const float s = static_cast<float>(std::sin(radians));
    const float c = static_cast<float>(std::cos(radians));
    const float k = 1.0f - c;
    // Rows of the rotation, as written on paper.
    const float r[3][3] = {
        {x * x * k + c, x * y * k - z * s, x * z * k + y * s},
        {y * x * k + z * s, y * y * k + c, y * z * k - x * s},
        {x * z * k - y * s, y * z * k + x * s, z * z * k + c},
    };
    float turned[12];
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) {
            float sum = 0.0f;
            for (int i = 0; i < 3; ++i) {
                sum += matrix[i * 4 + row] * r[i][column];
            }
            turned[column * 4 + row] = sum;
        }
        turned[column * 4 + 3] = matrix[column * 4 + 3];
    }
    std::copy(turned, turned + 12, matrix);
}

void Frame::rotateWorld(float degrees, float ax, float ay, float az) {
    const float axis[3] = {ax, ay, az};
    rotateLocal(degrees, dot3(axis, matrix), dot3(axis, matrix + 4), dot3(axis, matrix + 8));
}
