// The maze game: everything happens in game_main on the platform this program links.
#include "shell/game.h"

int main() { return game_main(); }
