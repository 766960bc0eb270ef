// Pings the windows of another process over X and times the answers. A window answers a
// _NET_WM_PING only when its program's GUI thread reads its X events, so the longest round trip
// is the longest the GUI thread stayed away from its event loop, timed outside the process.
//
//   tavi_window_ping <pid> [interval ms] [window id]   (default 5; any window of the process)
//
// Prints "window <id>" once it found a window of the process (the one named, when it takes pings), then reads commands from its
// standard input: "reset" starts a new interval, "pause" and "resume" stop and restart pinging,
// "report" prints "longest <ms> pings <count>" for the interval so far (a ping still unanswered
// counts with its age). Ends at the end of its input or when the X connection breaks.

#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

struct Atoms {
    xcb_atom_t pid = XCB_ATOM_NONE;
    xcb_atom_t protocols = XCB_ATOM_NONE;
    xcb_atom_t ping = XCB_ATOM_NONE;
};

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<uint32_t> property32(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property,
                                 xcb_atom_t type)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, type, 0, 64), nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return {};
    const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

// Whether the window is the process's and says it takes pings.
bool takesPings(xcb_connection_t *connection, xcb_window_t window, uint32_t pid, const Atoms &atoms)
{
    const std::vector<uint32_t> owner = property32(connection, window, atoms.pid, XCB_ATOM_CARDINAL);
    if (owner.empty() || owner.front() != pid)
        return false;
    const std::vector<uint32_t> protocols = property32(connection, window, atoms.protocols, XCB_ATOM_ATOM);
    return std::find(protocols.begin(), protocols.end(), atoms.ping) != protocols.end();
}

// A window of the process that takes pings, searched depth first (the window manager puts
// managed windows inside frames of its own).
xcb_window_t findWindow(xcb_connection_t *connection, xcb_window_t parent, uint32_t pid, const Atoms &atoms)
{
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, xcb_query_tree(connection, parent), nullptr),
                                       &std::free);
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (takesPings(connection, children[i], pid, atoms))
            return children[i];
        if (const xcb_window_t found = findWindow(connection, children[i], pid, atoms))
            return found;
    }
    return XCB_WINDOW_NONE;
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <pid> [interval ms] [window id]\n", argv[0]);
        return 2;
    }
    const uint32_t pid = uint32_t(std::strtoul(argv[1], nullptr, 10));
    const auto interval = std::chrono::milliseconds(argc > 2 ? std::atoi(argv[2]) : 5);
    const xcb_window_t named =
        argc > 3 ? xcb_window_t(std::strtoul(argv[3], nullptr, 0)) : xcb_window_t(XCB_WINDOW_NONE);
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const Atoms atoms{internAtom(connection, "_NET_WM_PID"), internAtom(connection, "WM_PROTOCOLS"),
                      internAtom(connection, "_NET_WM_PING")};
    // The answer is sent to the root window for its substructure listeners.
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootMask);
    xcb_flush(connection);

    xcb_window_t window = XCB_WINDOW_NONE;
    bool announced = false;
    bool paused = false;
    bool waiting = false;
    uint32_t sequence = 0;
    Clock::time_point sentAt, nextPingAt = Clock::now(), nextSearchAt = Clock::now();
    double longest = 0;
    long pings = 0;
    std::string input;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (window == XCB_WINDOW_NONE && now >= nextSearchAt) {
            if (named == XCB_WINDOW_NONE)
                window = findWindow(connection, root, pid, atoms);
            else if (takesPings(connection, named, pid, atoms))
                window = named;
            nextSearchAt = now + std::chrono::milliseconds(50);
            if (window != XCB_WINDOW_NONE) {
                const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY; // to hear of its destruction
                xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
                if (!announced) {
                    std::printf("window 0x%x\n", window);
                    std::fflush(stdout);
                    announced = true;
                }
            }
        }
        if (window != XCB_WINDOW_NONE && !waiting && !paused && now >= nextPingAt) {
            xcb_client_message_event_t ping{};
            ping.response_type = XCB_CLIENT_MESSAGE;
            ping.format = 32;
            ping.window = window;
            ping.type = atoms.protocols;
            ping.data.data32[0] = atoms.ping;
            ping.data.data32[1] = ++sequence; // stands for the timestamp; the answer carries it back
            ping.data.data32[2] = window;
            xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ping));
            xcb_flush(connection);
            sentAt = now;
            waiting = true;
        }
        pollfd descriptors[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        int timeoutMs = 50;
        if (window != XCB_WINDOW_NONE && !waiting && !paused)
            timeoutMs = int(std::max<long>(0, std::chrono::ceil<std::chrono::milliseconds>(nextPingAt - now).count()));
        ::poll(descriptors, 2, timeoutMs);
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CLIENT_MESSAGE) {
                const auto *answer = reinterpret_cast<xcb_client_message_event_t *>(event);
                if (waiting && answer->data.data32[0] == atoms.ping && answer->data.data32[1] == sequence
                    && answer->data.data32[2] == window) {
                    now = Clock::now();
                    longest = std::max(longest, millisecondsBetween(sentAt, now));
                    ++pings;
                    waiting = false;
                    nextPingAt = now + interval;
                }
            } else if ((type == XCB_DESTROY_NOTIFY
                        && reinterpret_cast<xcb_destroy_notify_event_t *>(event)->window == window)
                       || type == 0) {
                // The window went away (or the ping met an error): look for another one.
                window = XCB_WINDOW_NONE;
                waiting = false;
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection))
            return 1;
        if (descriptors[1].revents != 0) {
            char buffer[256];
            const ssize_t read = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (read <= 0)
                break;
            input.append(buffer, size_t(read));
            for (size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1)) {
                const std::string command = input.substr(0, end);
                if (command == "reset") {
                    longest = 0;
                    pings = 0;
                    if (waiting)
                        sentAt = Clock::now();
                } else if (command == "pause") {
                    paused = true;
                } else if (command == "resume") {
                    paused = false;
                } else if (command == "report") {
                    const double pending = waiting ? millisecondsBetween(sentAt, Clock::now()) : 0;
                    std::printf("longest %.1f pings %ld\n", std::max(longest, pending), pings);
                    std::fflush(stdout);
                }
            }
        }
    }
    xcb_disconnect(connection);
    return 0;
}
