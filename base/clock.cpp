#include "base/clock.h"

#include <SDL.h>

namespace {

class SdlClock : public Clock {
public:
    uint32_t now() const override { return SDL_GetTicks(); }
};

}  // namespace

const Clock& sdlClock() {
    static const SdlClock clock;
    return clock;
}
