// Another client asking the X server for the pointer: exit 0 when it got the grab
// (and let it go again), 1 when someone else holds it, 2 without a display.
#include <X11/Xlib.h>

#include <cstdio>

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x_grab_probe: no display\n");
        return 2;
    }
    int result = XGrabPointer(display, DefaultRootWindow(display), False, ButtonPressMask, GrabModeAsync,
                              GrabModeAsync, None, None, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(display, CurrentTime);
    XCloseDisplay(display);
    std::printf("%s\n", result == GrabSuccess ? "grabbed" : result == AlreadyGrabbed ? "already grabbed" : "refused");
    return result == GrabSuccess ? 0 : 1;
}
