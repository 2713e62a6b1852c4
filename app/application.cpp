#include "app/application.h"

#include <SDL.h>

#include "app/game.h"

int runStarhold() {
    int status = 0;
    {
        Game game;
        if (game.startUp()) {
            game.run();
        } else {
            status = 1;
        }
    }
    SDL_Quit();
    return status;
}
