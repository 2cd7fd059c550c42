// destroy_window WINDOW_ID: destroys an X window as another client would,
// which the window's owner learns of only from the X server.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: destroy_window WINDOW_ID\n", stderr);
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fputs("destroy_window: no X server\n", stderr);
        return 1;
    }
    xcb_generic_error_t *error = xcb_request_check(c, xcb_destroy_window_checked(c, window));
    const int code = error ? error->error_code : 0;
    std::free(error);
    xcb_disconnect(c);
    if (code != 0) {
        std::fprintf(stderr, "destroy_window: X error %d for window %s\n", code, argv[1]);
        return 1;
    }
    return 0;
}
