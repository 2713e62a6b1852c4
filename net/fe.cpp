#include "net/fe.h"

#include <atomic>

namespace {

// A poster waiting for room looks again at least this often, so it makes progress
// even when the consumer drains the queue with plain SDL_PollEvent. A timed wait
// needs no timer thread of SDL's, whose start-up races with its own lock.
constexpr Uint32 kRetryMs = 10;

std::atomic<const char*> lastError{nullptr};
SDL_mutex* queueLock = nullptr;
SDL_cond* roomChanged = nullptr;

// SDL_PeepEvents tells a full queue (0) from one that is not running (-1);
// SDL_PushEvent reports both as -1.
int addEvent(SDL_Event* event) { return SDL_PeepEvents(event, 1, SDL_ADDEVENT, 0); }

}  // namespace

int feStart() {
    queueLock = SDL_CreateMutex();
    if (!queueLock) {
        lastError = "FE: can't create a mutex";
        return -1;
    }
    roomChanged = SDL_CreateCond();
    if (!roomChanged) {
        lastError = "FE: can't create a condition variable";
        return -1;
    }
    return 0;
}

void feStop() {
    if (queueLock) {
        SDL_DestroyMutex(queueLock);
        queueLock = nullptr;
    }
    if (roomChanged) {
        SDL_DestroyCond(roomChanged);
        roomChanged = nullptr;
    }
}

int fePush(SDL_Event* event) {
    SDL_mutexP(queueLock);
    int added = addEvent(event);
    while (added == 0) {
        SDL_CondWaitTimeout(roomChanged, queueLock, kRetryMs);
        added = addEvent(event);
    }
    SDL_mutexV(queueLock);
    SDL_CondSignal(roomChanged);
    return added > 0 ? 1 : 0;
}

int fePoll(SDL_Event* event) {
    SDL_mutexP(queueLock);
    const int result = SDL_PollEvent(event);
    SDL_mutexV(queueLock);
    if (result > 0) {
        SDL_CondSignal(roomChanged);
    }
    return result;
}

int feWait(SDL_Event* event) {
    SDL_mutexP(queueLock);
    int result = SDL_PollEvent(event);
    while (result <= 0) {
        SDL_CondWaitTimeout(roomChanged, queueLock, kRetryMs);
        result = SDL_PollEvent(event);
    }
    SDL_mutexV(queueLock);
    SDL_CondSignal(roomChanged);
    return result;
}

void fePump() {
    SDL_mutexP(queueLock);
    SDL_PumpEvents();
    SDL_mutexV(queueLock);
}

const char* feLastError() { return lastError; }
