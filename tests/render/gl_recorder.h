#pragma once
// A stand-in for OpenGL (and SDL's buffer swap), linked instead of libGL, that
// records each call as text such as "glVertex3f(10,20,0)".

#include <string>

void clearCalls();
// The recorded calls, joined by spaces.
std::string calls();
