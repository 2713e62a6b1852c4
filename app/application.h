#pragma once

// Runs the game from start-up to teardown; the process exit status.
// `argv0` locates the data folder when /proc/self/exe cannot be read.
int runStarhold(const char* argv0);
