#pragma once
// Frames handed to GL's modelview matrix: as the camera, or as an object's placement.

class Frame;

void applyAsView(const Frame& camera);  // loads the camera's inverse as the modelview matrix
void applyAsModel(const Frame& frame);  // multiplies the frame onto the modelview matrix
