#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "compiler/compiler.h"

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

// Creates a new file beside level.lvx for the output; the permissions follow the umask as
// for any new file. Sets `temp_path` to its name.
std::FILE* create_temp_level(const std::string& level_path, std::string* temp_path)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        *temp_path = level_path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        int fd = open(temp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        std::FILE* file = fdopen(fd, "wb");
        if (!file) {
            close(fd);
            std::remove(temp_path->c_str());
        }
        return file;
    }
    return nullptr;
}

}  // namespace

int mazec_main(const char* directory, std::FILE* out)
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
    return compile_level(files, out);
}
