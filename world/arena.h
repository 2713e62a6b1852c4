#pragma once
// The arena's look: the cube from -D to +D drawn as coloured lines.

#include <cstdint>

class DrawSurface3D;

// Replaces the surface's records with the arena: a grid band across the floor,
// the ceiling and the two side walls, a centre cross on the front and back
// faces, and the twelve edges of the cube.
void buildArena(DrawSurface3D& surface, int32_t D);
