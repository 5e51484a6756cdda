#include "common/level/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::FILE* create_temp_beside(const std::string& target, std::string* temp_path)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        *temp_path = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        // O_EXCL refuses an existing name, a planted symbolic link included.
        int fd = open(temp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        std::FILE* file = fdopen(fd, "wb");
        if (!file) {
            int error = errno;
            close(fd);
            unlink(temp_path->c_str());
            errno = error;
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

bool finish_temp(std::FILE* file)
{
    // Buffered bytes meet a full disk only at the flush; the sync makes a crash right after
    // the rename unable to leave an empty file behind.
    bool ok = std::fflush(file) == 0 && !std::ferror(file);
    int error = errno;
    if (ok && fsync(fileno(file)) != 0) {
        ok = false;
        error = errno;
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) errno = error ? error : EIO;
    return ok;
}

bool replace_files(const char* program, const std::string paths[], const std::string texts[], int count)
{
    std::string temps[8];
    if (count > 8) return false;
    bool ok = true;
    int made = 0;
    for (; made < count && ok; made++) {
        std::FILE* file = create_temp_beside(paths[made], &temps[made]);
        if (!file) {
            std::fprintf(stderr, "%s: cannot create %s: %s\n", program, paths[made].c_str(), std::strerror(errno));
            ok = false;
            temps[made].clear();
            break;
        }
        const std::string& text = texts[made];
        bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (!finish_temp(file) || !written) {
            std::fprintf(stderr, "%s: could not write %s: %s\n", program, paths[made].c_str(), std::strerror(errno));
            ok = false;
        }
    }
    // A directory in a target's place would fail its rename after others were done.
    for (int i = 0; i < count && ok; i++) {
        struct stat status;
        if (stat(paths[i].c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", program, paths[i].c_str(), std::strerror(EISDIR));
            ok = false;
        }
    }
    for (int i = 0; i < made && ok; i++) {
        if (std::rename(temps[i].c_str(), paths[i].c_str()) != 0) {
            std::fprintf(stderr, "%s: could not write %s: %s\n", program, paths[i].c_str(), std::strerror(errno));
            ok = false;
        } else {
            temps[i].clear();
        }
    }
    for (int i = 0; i < count; i++) {
        if (!temps[i].empty()) unlink(temps[i].c_str());
    }
    return ok;
}
