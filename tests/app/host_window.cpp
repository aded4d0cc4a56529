// A stand-in for Tempolan's host window in end-to-end tests: an X11 window that prints
// its id in hexadecimal (no prefix) on standard output and lives until it is killed.
#include <X11/Xlib.h>
#include <cstdio>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no se puede abrir la pantalla X\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 20, 20, 700, 400, 1,
                            BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "Tempolan anfitrion");
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    std::printf("%lx\n", static_cast<unsigned long>(window));
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
