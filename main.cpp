#include "app/application.h"

int main(int /*argc*/, char** argv) { return runStarhold(argv[0]); }
