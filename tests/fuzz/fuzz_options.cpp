// The command line of maze on arbitrary arguments (the input split at NUL bytes), then
// the level file names it leads to and the check of an output against them; then the
// same words as mazereplay takes them, level options one at a time, given-twice rules and
// all.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args(1, "maze");
    args.emplace_back();
    for (size_t i = 0; i < size && args.size() < 64; i++) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    char message[256];
    if (parse_options(static_cast<int>(argv.size()), argv.data(), message, sizeof message)) {
        char name[OPTIONS_MAX_PATH + 16];
        for (int level = OPTIONS_FIRST_LEVEL; level <= OPTIONS_LAST_LEVEL; level++)
            level_file_name(level, name, sizeof name);
        level_file_is_open_as(STDERR_FILENO, name, sizeof name);
        for (const char* option : {"--level", "--levels", "--play", "--fps", "--bogus"}) level_option_given(option);
    }
    reset_options();
    int count = static_cast<int>(argv.size());
    for (int i = 1; i < count; i++) {
        bool taken = false;
        if (!parse_level_option(count, argv.data(), &i, &taken, message, sizeof message)) break;
        if (i >= count) std::abort();  // a value taken past the end
    }
    check_level_options(message, sizeof message);
    return 0;
}
