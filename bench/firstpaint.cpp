// Times a program's start from outside, as the X server sees it: starts the program,
// waits for its first top-level window to be mapped and then for the first drawing into
// it (a DAMAGE event), then reads its peak resident memory once start-up work has
// settled, and ends it.
// Usage: tk-firstpaint SETTLE-MS PROGRAM [ARGUMENTS...]
// Prints: "painted_ms <ms from the start to the first drawing>" and "peak_kb <kB>".
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

long peakKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tk-firstpaint SETTLE-MS PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const int settleMs = std::atoi(argv[1]);
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "tk-firstpaint: no X display\n");
        return 1;
    }
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(x, &xcb_damage_id);
    if (!damage || !damage->present) {
        std::fprintf(stderr, "tk-firstpaint: the X server has no DAMAGE extension\n");
        return 1;
    }
    std::free(xcb_damage_query_version_reply(x, xcb_damage_query_version(x, 1, 1), nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t watch = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &watch);
    xcb_flush(x);

    pid_t pid = 0;
    const auto t0 = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        std::fprintf(stderr, "tk-firstpaint: cannot start %s\n", argv[2]);
        return 1;
    }
    double painted = -1;
    xcb_generic_event_t *event = nullptr;
    while (painted < 0 && (event = xcb_wait_for_event(x))) {
        const int type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (!map->override_redirect) {
                xcb_damage_create(x, xcb_generate_id(x), map->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(x);
            }
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
            painted = msSince(t0);
        }
        std::free(event);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    std::printf("painted_ms %.3f\npeak_kb %ld\n", painted, peakKb(pid));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    xcb_disconnect(x);
    return painted < 0 ? 1 : 0;
}
