#include <cerrno>
#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "compiler/compiler.h"
#include "common/level/file_replace.h"

char level_temp_name[4096];
volatile std::sig_atomic_t level_temp_exists;

namespace {

const char open_error[] =
    "error: could not open files.\n"
    "required input files: layer1.txt layer2.txt entity.txt colors.txt\n";

std::string path_in(const char* directory, const char* name)
{
    std::string path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + name;
}

// A level.lvx that exists but could not be opened for writing (a directory, a read-only
// file) stays an open error, as when the output was written in place. Non-blocking, so
// that a FIFO of that name cannot hang the compiler.
bool level_writable(const std::string& level_path)
{
    int fd = open(level_path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
        close(fd);
        return true;
    }
    return errno == ENOENT;
}

// The signals that end the compiler are held while the temporary file is made and named,
// so that a handler never sees a file without its name.
void hold_signals(bool hold)
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGHUP, SIGINT, SIGPIPE, SIGTERM}) sigaddset(&set, s);
    sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

std::FILE* create_temp_level(const std::string& level_path, std::string* temp_path)
{
    hold_signals(true);
    std::FILE* file = create_temp_beside(level_path, temp_path);
    if (file && temp_path->size() < sizeof level_temp_name) {
        std::memcpy(level_temp_name, temp_path->c_str(), temp_path->size() + 1);
        level_temp_exists = 1;
    }
    hold_signals(false);
    return file;
}

}  // namespace

int mazec_main(const char* directory, std::FILE* out, std::FILE* err)
{
    std::fputs("skelvic level compiler v0.32\n", out);

    const char* names[4] = {"layer1.txt", "layer2.txt", "entity.txt", "colors.txt"};
    std::FILE* inputs[4] = {};
    bool opened = true;
    for (int i = 0; i < 4 && opened; i++) {
        inputs[i] = std::fopen(path_in(directory, names[i]).c_str(), "r");
        opened = inputs[i] != nullptr;
    }

    std::string level_path = path_in(directory, "level.lvx");
    std::string temp_path;
    std::FILE* level = nullptr;
    if (opened && level_writable(level_path)) level = create_temp_level(level_path, &temp_path);
    if (!level) {
        for (std::FILE* f : inputs) {
            if (f) std::fclose(f);
        }
        std::fputs(open_error, out);
        return 1;
    }

    CompileFiles files = {inputs[0], inputs[1], inputs[2], inputs[3], level,
                          temp_path.c_str(), level_path.c_str()};
    warn_about_inputs(files, err);
    int code = compile_level(files, out);
    level_temp_exists = 0;  // renamed into place or removed
    return code;
}
