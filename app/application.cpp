#include "app/application.h"

#include <iostream>

#include "app/settings.h"

int runStarhold() {
    GameSettings settings;
    loadSettings("config.txt", settings, std::cerr);
    return 0;
}
