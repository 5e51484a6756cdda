#include "common/script/line_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr long long write_interval_ms = 1000;

long long now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void report_failure(LineOutput* out, int error)
{
    out->failed = true;
    out->pending.clear();
    std::fprintf(stderr, "%s could not be written (%s); nothing more goes into it\n", out->what.c_str(),
                 std::strerror(error));
}

}  // namespace

bool line_output_open(LineOutput* out, const char* path, const char* what)
{
    *out = LineOutput{};
    out->what = what;
    if (std::strcmp(path, "-") == 0) {
        out->fd = STDOUT_FILENO;
    } else {
        out->fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        out->created = out->fd >= 0;
        if (out->fd < 0 && errno == EEXIST) out->fd = ::open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (out->fd < 0) return false;
        out->owns_fd = true;
        // Non-blocking only for the open (a FIFO without a reader fails with ENXIO).
        int flags = ::fcntl(out->fd, F_GETFL);
        if (flags >= 0) ::fcntl(out->fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    struct stat info;
    out->regular = out->owns_fd && ::fstat(out->fd, &info) == 0 && S_ISREG(info.st_mode);
    out->last_write_ms = now_ms();
    return true;
}

void line_output_start(LineOutput* out)
{
    if (out->fd >= 0 && out->regular && ::ftruncate(out->fd, 0) != 0) report_failure(out, errno);
}

void line_output_discard(LineOutput* out, const char* path)
{
    if (out->fd >= 0 && out->owns_fd) ::close(out->fd);
    if (out->created) ::unlink(path);
    *out = LineOutput{};
}

bool line_output_is_file(const LineOutput* out, const char* path)
{
    struct stat mine, theirs;
    return out->fd >= 0 && ::fstat(out->fd, &mine) == 0 && ::stat(path, &theirs) == 0 && mine.st_dev == theirs.st_dev &&
           mine.st_ino == theirs.st_ino;
}

bool line_output_same(const LineOutput* a, const LineOutput* b)
{
    struct stat first, second;
    return a->fd >= 0 && b->fd >= 0 && ::fstat(a->fd, &first) == 0 && ::fstat(b->fd, &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void line_output_append(LineOutput* out, const char* text, size_t size)
{
    if (out->fd < 0 || out->failed) return;
    out->pending.append(text, size);
}

void line_output_tick(LineOutput* out)
{
    if (out->fd < 0 || out->failed || out->pending.empty()) return;
    if (now_ms() - out->last_write_ms >= write_interval_ms) line_output_flush(out);
}

bool line_output_flush(LineOutput* out)
{
    if (out->fd < 0) return false;
    out->last_write_ms = now_ms();
    size_t done = 0;
    while (!out->failed && done < out->pending.size()) {
        ssize_t n = ::write(out->fd, out->pending.data() + done, out->pending.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int error = n < 0 ? errno : ENOSPC;
            // A part of a line may have gone out: cut the file back to its last whole line.
            size_t whole = done == 0 ? 0 : out->pending.rfind('\n', done - 1) + 1;  // npos + 1 is 0
            if (whole < done && out->owns_fd && ::ftruncate(out->fd, static_cast<off_t>(out->written + whole)) != 0) {
                // Nothing more to do: the fragment stays, after the message below.
            }
            out->written += static_cast<long long>(whole);
            report_failure(out, error);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    out->written += static_cast<long long>(done);
    out->pending.clear();
    // Writes into a file whose folder was removed succeed but reach nobody.
    struct stat info;
    if (!out->failed && out->regular && ::fstat(out->fd, &info) == 0 && info.st_nlink == 0) {
        out->failed = true;
        std::fprintf(stderr, "%s was removed (its folder with it?); what is written from here on is lost\n",
                     out->what.c_str());
    }
    return !out->failed;
}

bool line_output_close(LineOutput* out)
{
    if (out->fd < 0) return false;
    bool ok = line_output_flush(out);
    if (out->owns_fd && ::close(out->fd) != 0 && !out->failed) {
        report_failure(out, errno);
        ok = false;
    }
    out->fd = -1;
    return ok;
}
