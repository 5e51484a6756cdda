// mazec: compiles the four level text files in the current directory into level.lvx.
#include <cstdio>

#include "compiler/compiler.h"

int main()
{
    int code = mazec_main(".", stdout);
    std::fflush(stdout);
    return code;
}
