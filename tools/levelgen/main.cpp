// levelgen: writes the four text files that mazec compiles from one readable map.
#include "tools/levelgen/levelgen.h"

int main(int argc, char** argv) { return levelgen_main(argc, argv); }
