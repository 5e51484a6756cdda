#include "platform/sdl/sdl_box_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int guarded_signals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int guarded_count = 3;
bool installed[guarded_count];

// Writes "/proc/PID/task/PID/children" (the main thread's children: the box is shown
// from it) without anything that is unsafe in a signal handler.
void children_path(char* path)
{
    char digits[16];
    int count = 0;
    for (long pid = static_cast<long>(getpid()); pid > 0 && count < 16; pid /= 10)
        digits[count++] = static_cast<char>('0' + pid % 10);
    const char* parts[] = {"/proc/", nullptr, "/task/", nullptr, "/children"};
    char* out = path;
    for (const char* part : parts) {
        if (part) {
            while (*part) *out++ = *part++;
        } else {
            for (int i = count - 1; i >= 0; i--) *out++ = digits[i];
        }
    }
    *out = '\0';
}

void end_children_then_self(int signal_number)
{
    int saved_errno = errno;
    char path[64];
    children_path(path);
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char text[512];
        ssize_t size = read(fd, text, sizeof text - 1);
        close(fd);
        long pid = 0;
        for (ssize_t i = 0; i <= size; i++) {
            char c = i < size ? text[i] : ' ';
            if (c >= '0' && c <= '9') {
                pid = pid * 10 + (c - '0');
            } else {
                if (pid > 0) kill(static_cast<pid_t>(pid), SIGTERM);
                pid = 0;
            }
        }
    }
    errno = saved_errno;
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

}  // namespace

void box_guard_begin()
{
    for (int i = 0; i < guarded_count; i++) {
        struct sigaction current;
        installed[i] = false;
        // A signal the program handles itself (SDL turns SIGTERM into a close) stays so.
        if (sigaction(guarded_signals[i], nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction guard = {};
        guard.sa_handler = end_children_then_self;
        sigemptyset(&guard.sa_mask);
        installed[i] = sigaction(guarded_signals[i], &guard, nullptr) == 0;
    }
}

void box_guard_end()
{
    for (int i = 0; i < guarded_count; i++) {
        if (installed[i]) signal(guarded_signals[i], SIG_DFL);
        installed[i] = false;
    }
}
