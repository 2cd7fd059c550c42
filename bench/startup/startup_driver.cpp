// Start-up benchmark: time from exec to the first window being mapped on the
// screen, for the program and for a minimal Qt dialog, alternating in one run.
// Needs an X display with a window manager (run.sh beside it provides one).
#include <xcb/xcb.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Starts the program and returns the milliseconds until the window manager
// maps a new top-level window (the program's frame), or -1.
double timeToMap(xcb_connection_t *c, xcb_window_t root, const char *program)
{
    // Drain what is queued from earlier rounds.
    while (xcb_generic_event_t *event = xcb_poll_for_event(c))
        std::free(event);

    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(program, program, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    double elapsed = -1;
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        const auto type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event);
            if (map->event == root && !map->override_redirect) {
                elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                std::free(event);
                break;
            }
        }
        std::free(event);
    }
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    // Let the window manager forget the window before the next round.
    ::usleep(100 * 1000);
    return elapsed;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PROGRAM MINIMAL_DIALOG [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 15;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    // One warm-up round each: the first start pays for cold caches.
    timeToMap(c, root, argv[1]);
    timeToMap(c, root, argv[2]);

    std::vector<double> program, minimal;
    for (int round = 0; round < rounds; ++round) {
        program.push_back(timeToMap(c, root, argv[1]));
        minimal.push_back(timeToMap(c, root, argv[2]));
    }
    const double p = median(program), m = median(minimal);
    std::printf("rounds: %d, alternating\n", rounds);
    std::printf("program to statement window mapped: median %.1f ms\n", p);
    std::printf("minimal Qt dialog mapped:           median %.1f ms\n", m);
    std::printf("start-up ratio (program / minimal): %.2f\n", p / m);
    xcb_disconnect(c);
    return 0;
}
