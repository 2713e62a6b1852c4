#pragma once
// A stand-in for OpenGL (and SDL's buffer swap) that records each call as text,
// e.g. "glBegin(GL_POINTS)" or "glVertex3f(10,20,0)", so tests can check the
// exact call sequence the drawing code makes. Linked instead of libGL.

#include <string>
#include <vector>

const std::vector<std::string>& recordedCalls();
void clearRecordedCalls();

// The recorded calls whose text starts with one of the prefixes, in order.
std::vector<std::string> recordedCallsStartingWith(const std::vector<std::string>& prefixes);
int countRecordedCalls(const std::string& prefix);
