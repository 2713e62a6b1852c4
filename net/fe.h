#pragma once
// Fast event queue: lets any thread post into SDL's event queue, waiting (not
// dropping) while the queue is full. A waiting poster looks again every 10 ms,
// so it makes progress even when the consumer drains the queue with plain
// SDL_PollEvent, which signals nobody. One instance per process.

#include <SDL.h>

int feStart();  // 0 on success, -1 on failure (see feLastError)
void feStop();

int fePush(SDL_Event* event);  // 1 once queued; 0 when SDL's queue is not running
int fePoll(SDL_Event* event);  // result of SDL_PollEvent
int feWait(SDL_Event* event);  // waits for an event; positive result
void fePump();

const char* feLastError();  // null until something failed
