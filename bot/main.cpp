#include "bot/bot_program.h"

int main(int argc, char** argv) { return runBotProgram(argc, argv); }
