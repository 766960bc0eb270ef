// A small X client the X11 tests drive as "another program":
//   hang              owns the clipboard and never answers a request (prints ASKED: for each)
//   window CLASS NAME maps a window with that WM_CLASS and title
//   field             a text field; prints every change of its text
//   copy TEXT         copies TEXT as an ordinary program does
//   secret TEXT       copies TEXT as a password manager does (with the password hint)
//   mute-hint TEXT    owns the clipboard, answers for the text but never for the password hint
//   slow-text BYTES MS  owns the clipboard with a text of BYTES bytes that it sends in small parts
//                     (INCR), paced so that the whole takes at least MS milliseconds; says
//                     SENDING once its parts are arriving
//   stop-text BYTES   the same text, but it stops sending after the first part
//   grab LETTER       holds Shift+Super+LETTER on the root window, as a desktop's own hot key
//   fullscreen        a green window shown full screen; the lines "normal" and "full" on its
//                     input take it out of full screen and back; prints each state it reaches
// Each prints one line when it is ready.

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

xcb_atom_t intern(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// An unmapped 1 x 1 window to own a selection with.
xcb_window_t hiddenWindow(xcb_connection_t *c)
{
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    return window;
}

int hang()
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    const xcb_window_t window = hiddenWindow(c);
    const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool owned = owner && owner->owner == window;
    std::free(owner);
    std::printf("OWNED:%u\n", owned ? window : 0);
    std::fflush(stdout);
    // Each request is told of and left unanswered.
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            std::printf("ASKED:%u\n", reinterpret_cast<xcb_selection_request_event_t *>(event)->target);
            std::fflush(stdout);
        }
        std::free(event);
    }
    for (;;)
        ::pause();
}

int muteHint(const char *text)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    const xcb_window_t window = hiddenWindow(c);
    const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
    const xcb_atom_t targets = intern(c, "TARGETS");
    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    const xcb_atom_t hint = intern(c, "x-kde-passwordManagerHint");
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_flush(c);
    std::printf("OWNED:%u\n", window);
    std::fflush(stdout);
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
            xcb_atom_t property = XCB_ATOM_NONE;
            if (request->target == targets) {
                const xcb_atom_t offered[] = {targets, utf8, hint};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, XCB_ATOM_ATOM, 32,
                                    3, offered);
                property = request->property;
            } else if (request->target == utf8) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, utf8, 8,
                                    uint32_t(std::strlen(text)), text);
                property = request->property;
            } else if (request->target == hint) {
                std::free(event);
                continue; // never answered
            }
            xcb_selection_notify_event_t notify{};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request->time;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.property = property;
            xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
            xcb_flush(c);
        }
        std::free(event);
    }
    return 0;
}

// The text a slow owner sends: numbered lines, cut to the length asked for.
std::string slowText(size_t bytes)
{
    std::string text;
    text.reserve(bytes + 32);
    for (size_t i = 0; text.size() < bytes; ++i)
        text += "slowly sent line " + std::to_string(i) + '\n';
    text.resize(bytes);
    return text;
}

// Owns the clipboard with a text sent incrementally: after the INCR announcement each part goes
// when the reader has taken the one before, no sooner than its share of `totalMs`. With
// `stopAfter` parts sent, the owner goes silent and never answers again.
int incrementalText(size_t bytes, int totalMs, int stopAfter)
{
    constexpr size_t kPart = 64 * 1024;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    const xcb_window_t window = hiddenWindow(c);
    const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
    const xcb_atom_t targets = intern(c, "TARGETS");
    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    const xcb_atom_t incr = intern(c, "INCR");
    const std::string text = slowText(bytes);
    const size_t parts = (bytes + kPart - 1) / kPart;
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_flush(c);
    std::printf("OWNED:%u\n", window);
    std::fflush(stdout);

    struct Transfer {
        xcb_window_t requestor = XCB_WINDOW_NONE;
        xcb_atom_t property = XCB_ATOM_NONE;
        size_t sent = 0; // parts sent, the final empty one included
        std::chrono::steady_clock::time_point started;
    } transfer;
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_REQUEST) {
            auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
            xcb_atom_t property = XCB_ATOM_NONE;
            if (request->target == targets) {
                const xcb_atom_t offered[] = {targets, utf8};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, XCB_ATOM_ATOM, 32,
                                    2, offered);
                property = request->property;
            } else if (request->target == utf8 && transfer.requestor == XCB_WINDOW_NONE) {
                // Parts are asked for by deleting the property: watch the reader's window.
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &mask);
                const uint32_t size = uint32_t(bytes);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, incr, 32, 1,
                                    &size);
                property = request->property;
                transfer = {request->requestor, request->property, 0, std::chrono::steady_clock::now()};
            }
            xcb_selection_notify_event_t notify{};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request->time;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.property = property;
            xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
            xcb_flush(c);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (notify->window == transfer.requestor && notify->atom == transfer.property
                && notify->state == XCB_PROPERTY_DELETE && transfer.sent <= parts) {
                if (stopAfter >= 0 && transfer.sent >= size_t(stopAfter)) {
                    std::printf("STOPPED:%zu\n", transfer.sent);
                    std::fflush(stdout);
                    transfer.sent = parts + 1; // silent from now on
                } else {
                    const auto due =
                        transfer.started
                        + std::chrono::milliseconds(long(totalMs) * long(transfer.sent + 1) / long(parts + 1));
                    const auto wait = due - std::chrono::steady_clock::now();
                    if (wait > std::chrono::steady_clock::duration::zero())
                        ::usleep(useconds_t(std::chrono::duration_cast<std::chrono::microseconds>(wait).count()));
                    const size_t offset = transfer.sent * kPart;
                    const size_t length = offset < bytes ? std::min(kPart, bytes - offset) : 0;
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, utf8, 8,
                                        uint32_t(length), text.data() + offset);
                    xcb_flush(c);
                    if (++transfer.sent == 2) {
                        std::printf("SENDING:%zu\n", transfer.sent); // its parts are arriving
                        std::fflush(stdout);
                    }
                    if (transfer.sent > parts) {
                        transfer = {}; // done: it may be asked for again
                        std::printf("SENT:%zu\n", bytes);
                        std::fflush(stdout);
                    }
                }
            }
        }
        std::free(event);
    }
    return 0;
}

int window(const char *windowClass, const char *title)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 100, 100, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                      values);
    std::string wmClass = std::string(windowClass);
    std::string instance = wmClass;
    for (char &ch : instance)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    const std::string classValue = instance + '\0' + wmClass + '\0';
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(classValue.size()), classValue.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(std::strlen(title)), title);
    const uint32_t pid = uint32_t(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_map_window(c, window);
    xcb_flush(c);
    bool announced = false;
    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        if (!announced && (event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            std::printf("WINDOW:%u\n", window);
            std::fflush(stdout);
            announced = true;
        }
        std::free(event);
    }
    return 0;
}

int grabKey(char letter)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t *codes =
        xcb_key_symbols_get_keycode(symbols, xcb_keysym_t(std::tolower(static_cast<unsigned char>(letter))));
    if (!codes || codes[0] == XCB_NO_SYMBOL)
        return 3;
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 1, screen->root, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4,
                                                          codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    std::free(codes);
    if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
        std::free(error);
        return 4;
    }
    std::printf("GRABBED\n");
    std::fflush(stdout);
    while (xcb_generic_event_t *event = xcb_wait_for_event(c))
        std::free(event);
    xcb_key_symbols_free(symbols);
    return 0;
}

int field(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("Tavi Peer Field"));
    edit.resize(400, 40);
    QObject::connect(&edit, &QLineEdit::textChanged, [](const QString &text) {
        std::printf("TEXT:%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    edit.show();
    QTimer::singleShot(300, &edit, [&edit] {
        edit.activateWindow();
        edit.setFocus();
        std::printf("READY:%llu\n", static_cast<unsigned long long>(edit.winId()));
        std::fflush(stdout);
    });
    return app.exec();
}

int copy(int argc, char **argv, bool concealed)
{
    QApplication app(argc, argv);
    auto *mime = new QMimeData;
    mime->setText(QString::fromUtf8(argv[2]));
    if (concealed)
        mime->setData(QStringLiteral("x-kde-passwordManagerHint"), "secret");
    QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
    QTimer::singleShot(0, [] {
        std::printf("COPIED:1\n");
        std::fflush(stdout);
    });
    return app.exec();
}

// Tells each state as the window manager has it (Qt follows _NET_WM_STATE).
class FullScreenWindow : public QWidget {
protected:
    void changeEvent(QEvent *event) override
    {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange)
            tell();
    }
    void showEvent(QShowEvent *event) override
    {
        QWidget::showEvent(event);
        tell();
    }

private:
    void tell()
    {
        std::printf("STATE:%s %llu\n", isFullScreen() ? "full" : "normal", static_cast<unsigned long long>(winId()));
        std::fflush(stdout);
    }
};

int fullScreen(int argc, char **argv)
{
    QApplication app(argc, argv);
    FullScreenWindow window;
    window.setWindowTitle(QStringLiteral("Tavi Peer Full Screen"));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(0x00, 0xff, 0x00));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.resize(500, 400);
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&window, &input] {
        char line[64] = {};
        const ssize_t read = ::read(0, line, sizeof line - 1);
        if (read <= 0) {
            input.setEnabled(false);
            return;
        }
        if (std::strncmp(line, "normal", 6) == 0)
            window.showNormal();
        else if (std::strncmp(line, "full", 4) == 0)
            window.showFullScreen();
    });
    window.showFullScreen();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "hang") == 0)
        return hang();
    if (argc >= 4 && std::strcmp(argv[1], "window") == 0)
        return window(argv[2], argv[3]);
    if (argc >= 3 && std::strcmp(argv[1], "mute-hint") == 0)
        return muteHint(argv[2]);
    if (argc >= 4 && std::strcmp(argv[1], "slow-text") == 0)
        return incrementalText(std::strtoul(argv[2], nullptr, 10), std::atoi(argv[3]), -1);
    if (argc >= 3 && std::strcmp(argv[1], "stop-text") == 0)
        return incrementalText(std::strtoul(argv[2], nullptr, 10), 0, 1);
    if (argc >= 3 && std::strcmp(argv[1], "secret") == 0)
        return copy(argc, argv, true);
    if (argc >= 3 && std::strcmp(argv[1], "copy") == 0)
        return copy(argc, argv, false);
    if (argc >= 3 && std::strcmp(argv[1], "grab") == 0)
        return grabKey(argv[2][0]);
    if (argc >= 2 && std::strcmp(argv[1], "field") == 0)
        return field(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "fullscreen") == 0)
        return fullScreen(argc, argv);
    std::fprintf(stderr,
                 "usage: %s hang | window CLASS TITLE | field | copy TEXT | secret TEXT | mute-hint TEXT | slow-text "
                 "BYTES MS | stop-text BYTES | grab LETTER | fullscreen\n",
                 argv[0]);
    return 1;
}
