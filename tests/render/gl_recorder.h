#pragma once
// A stand-in for OpenGL (and SDL's buffer swap), linked instead of libGL, that
// records each call as text such as "glBegin(GL_POINTS)" or "glVertex3f(10,20,0)".

#include <string>
#include <vector>

void clearCalls();
// The recorded calls starting with one of the prefixes (all when none), joined by spaces.
std::string calls(const std::vector<std::string>& prefixes = {});
int countCalls(const std::string& prefix);
