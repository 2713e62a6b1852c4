#pragma once
// A port to listen on that nothing on this machine listens on now.

#include <cstdint>

// A TCP port free on every address of this machine, or -1 when none can be had.
// Nothing is sent: the system picks it for a socket that is closed at once.
int32_t freeTcpPort();
