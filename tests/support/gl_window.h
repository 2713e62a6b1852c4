#pragma once
// One SDL OpenGL window shared by all tests of a program. Opened on first use;
// needs an X display (scripts/with-display.sh provides one).

bool openTestWindow();
