#pragma once

// Runs the game from start-up to teardown; the process exit status.
int runStarhold();
