// levelgen: writes the four text files that mazec compiles from one readable map.
#include "tools/levelgen/levelgen.h"
#include "maze_version.h"

int main(int argc, char** argv)
{
    if (maze_print_version("levelgen", argc, argv)) return 0;
    return levelgen_main(argc, argv);
}
