#include "app/program.h"

#include <cstdio>
#include <cstdlib>

int main()
{
    // Without a display the toolkit would abort with a core dump; say why
    // and stop cleanly instead.
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fputs("yunque: no graphical display found (DISPLAY is not set); start it from a desktop session.\n",
                   stderr);
        return 2;
    }
    return yunque::startProgram();
}
