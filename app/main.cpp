#include "app/program.h"

#include <cstdio>

int main()
{
    // Without a display the toolkit would abort with a core dump; say why
    // and stop cleanly instead.
    if (!yunque::choosePlatform()) {
        std::fputs("yunque: no graphical display found (no X server at DISPLAY, and WAYLAND_DISPLAY is not set); "
                   "start it from a desktop session.\n",
                   stderr);
        return 2;
    }
    return yunque::startProgram();
}
