#pragma once
// A position and orientation held as one column-major 4x4 matrix, the order
// glLoadMatrixf takes. Plain arithmetic: a frame needs no GL context, so the
// match runs without a display. render/frame_gl.h hands frames to GL as a
// camera or as an object's placement.

class Frame {
public:
    explicit Frame(float x = 0.0f, float y = 0.0f, float z = 0.0f);
    Frame(const Frame& other);
    Frame& operator=(const Frame& other);

    // Default orientation (X right, Y up, Z along world -Z) at (x, y, z).
    void reset(float x, float y, float z);

    void moveLocal(float dx, float dy, float dz, float amount);  // along the frame's own axes
    void moveWorld(float dx, float dy, float dz, float amount);  // along the world axes
    void setPosition(float x, float y, float z, float unused = 0.0f);

    void rotateLocal(float degrees, float ax, float ay, float az);  // axis in frame coordinates
    void rotateWorld(float degrees, float ax, float ay, float az);  // axis in world coordinates

    // Columns of `matrix`: the X, Y and Z axes in world coordinates, then the position.
    float* xAxis;
    float* yAxis;
    float* zAxis;
    float* position;
    float matrix[16];

private:
    void pointColumns();
};
