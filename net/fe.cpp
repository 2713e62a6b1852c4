#include "net/fe.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<const char*> lastError{nullptr};
SDL_mutex* queueLock = nullptr;
SDL_cond* roomChanged = nullptr;
SDL_TimerID tickTimer = nullptr;

// The tick runs on SDL's timer thread and may still be running after the timer
// is removed, so the condition it broadcasts is handed over under this guard.
std::mutex tickGuard;
SDL_cond* tickTarget = nullptr;

Uint32 tick(Uint32 interval, void*) {
    std::lock_guard<std::mutex> hold(tickGuard);
    if (tickTarget) {
        SDL_CondBroadcast(tickTarget);
    }
    return interval;
}

// SDL_PeepEvents tells a full queue (0) from one that is not running (-1);
// SDL_PushEvent reports both as -1.
int addEvent(SDL_Event* event) { return SDL_PeepEvents(event, 1, SDL_ADDEVENT, 0); }

}  // namespace

int feStart() {
    if (SDL_WasInit(SDL_INIT_TIMER) == 0) {
        SDL_InitSubSystem(SDL_INIT_TIMER);
    }
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
    {
        std::lock_guard<std::mutex> hold(tickGuard);
        tickTarget = roomChanged;
    }
    tickTimer = SDL_AddTimer(10, tick, nullptr);
    if (!tickTimer) {
        lastError = "FE: can't add a timer";
        return -1;
    }
    return 0;
}

void feStop() {
    if (tickTimer) {
        SDL_RemoveTimer(tickTimer);
        tickTimer = nullptr;
    }
    {
        std::lock_guard<std::mutex> hold(tickGuard);
        tickTarget = nullptr;
    }
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
        SDL_CondWait(roomChanged, queueLock);
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
        SDL_CondWait(roomChanged, queueLock);
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
