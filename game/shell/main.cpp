// The maze game: everything happens in game_main on the platform this program links.
// --record FILE writes a replay script of the run as it goes; --trace FILE writes its
// trace in mazereplay's format.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl/sdl_record.h"
#include "shell/game.h"
#include "shell/trace.h"

namespace {

void trace_box(const char* text, const char* caption, int) { trace_message_box(text, caption); }

bool same_file(const char* a, const char* b)
{
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Opens the recording and the trace before anything else happens; exit status 2 and
// a message when either cannot be written.
int start_outputs(const char* record_path, const char* trace_path, const std::vector<std::string>& level_options)
{
    if (record_path && !sdl_record_open(record_path, level_options)) {
        std::fprintf(stderr, "maze: cannot write the recording %s: %s\n", record_path, std::strerror(errno));
        return 2;
    }
    if (trace_path) {
        if (record_path && same_file(record_path, trace_path)) {
            std::fprintf(stderr, "maze: --record and --trace name the same file %s\n", trace_path);
            return 2;
        }
        std::string what = std::string("maze: the trace ") + trace_path;
        if (!trace_open(trace_path, what.c_str())) {
            std::fprintf(stderr, "maze: cannot write the trace %s: %s\n", trace_path, std::strerror(errno));
            return 2;
        }
        sdl_set_present_hook(trace_present);
        sdl_set_message_box_hook(trace_box);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // Until the shell's option parser lands: --record FILE and --trace FILE only.
    const char* record_path = nullptr;
    const char* trace_path = nullptr;
    for (int i = 1; i < argc; i++) {
        bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--record") == 0 && has_value) {
            record_path = argv[++i];
        } else if (std::strcmp(argv[i], "--trace") == 0 && has_value) {
            trace_path = argv[++i];
        } else {
            std::fprintf(stderr, "maze: bad argument %s\nusage: maze [--record FILE] [--trace FILE]\n", argv[i]);
            return 2;
        }
    }
    int status = start_outputs(record_path, trace_path, {});
    if (status != 0) return status;
    int result = game_main();
    trace_close(result);
    sdl_record_close();
    return result;
}
