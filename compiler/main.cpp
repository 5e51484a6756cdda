// mazec: compiles the four level text files in the current directory into level.lvx.
#include <csignal>
#include <cstdio>
#include <initializer_list>

#include <unistd.h>

#include "compiler/compiler.h"
#include "maze_version.h"

// A compiler ended by a signal (its reader gone, a kill) takes its temporary file with it,
// then ends as that signal would have ended it. Only async-signal-safe calls here.
static void remove_temp_and_die(int signal_number)
{
    if (level_temp_exists) unlink(level_temp_name);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

int main(int argc, char** argv)
{
    // mazec reads no arguments but this one: it compiles the folder it runs in.
    if (maze_print_version("mazec", argc, argv)) return 0;
    for (int s : {SIGHUP, SIGINT, SIGPIPE, SIGTERM}) {
        struct sigaction action = {};
        action.sa_handler = remove_temp_and_die;
        sigemptyset(&action.sa_mask);
        // A signal ignored when the compiler started (nohup, a shell's background job)
        // stays ignored.
        struct sigaction before = {};
        sigaction(s, nullptr, &before);
        if (before.sa_handler != SIG_IGN) sigaction(s, &action, nullptr);
    }
    int code = mazec_main(".", stdout, stderr);
    std::fflush(stdout);
    return code;
}
