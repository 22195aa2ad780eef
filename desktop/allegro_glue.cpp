#include "allegro_glue.h"

#include <signal.h>
#include <unistd.h>
#include <xalleg.h>
#include <X11/Xatom.h>
#include <allegro/internal/aintern.h>   // _mouse_screen: where the pointer is shown
#include <allegro/platform/aintunix.h>  // the background manager that runs Allegro's input thread; XLOCK
#include <pthread.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "icon_art.h"

extern "C" {
extern char** allegro_icon;  // XPM data used by Allegro's X11 window
}

namespace {

// A queue with one writer (the input thread) and one reader (the
// emulation): the writer moves only `head`, the reader only `tail`. A full
// queue drops what comes, which only a flood of events far beyond typing
// could fill.
template <typename T, uint32_t size>
struct Queue {
    std::array<T, size> items{};
    std::atomic<uint32_t> head{0}, tail{0};

    void push(const T& item) {
        const uint32_t h = head.load(std::memory_order_relaxed);
        if (h - tail.load(std::memory_order_acquire) >= size) return;
        items[h % size] = item;
        head.store(h + 1, std::memory_order_release);
    }
    bool pop(T& item) {
        const uint32_t t = tail.load(std::memory_order_relaxed);
        if (t == head.load(std::memory_order_acquire)) return false;
        item = items[t % size];
        tail.store(t + 1, std::memory_order_release);
        return true;
    }
};

Queue<KeyEvent, 256> key_events;
Queue<Click, 32> clicks;
std::array<std::atomic<uint8_t>, KEY_MAX> presses{};  // per key, not yet taken
std::atomic<uint8_t> quit_presses{0};                 // Alt+F4
std::atomic<bool> forgetting{false};                  // the reader is dropping everything
std::atomic<uint32_t> window_generation{0};           // counts windows made anew

// The input thread's own view: which keys are down, in which window each
// came down, and when it was last pressed.
std::array<bool, KEY_MAX> down_now{};
std::array<uint32_t, KEY_MAX> down_in{};
std::array<std::chrono::steady_clock::time_point, KEY_MAX> pressed_at{};

// Keyboards repeat a held key after a delay of a quarter of a second or
// more. Allegro takes a key released and pressed again within the same
// millisecond for such a repeat and drops the release: a key that comes
// down again sooner than the delay was pressed again.
constexpr std::chrono::milliseconds shortest_repeat_delay{200};

// Allegro calls this for every key going down (the key's code) or up (with
// bit 7 set), from its input thread.
void on_key(int scancode) {
    const int code = scancode & 0x7F;
    const bool down = !(scancode & 0x80);
    if (code <= 0 || code >= KEY_MAX) return;
    // A key the keyboard repeats comes down again without coming up: that
    // is no new press. But while a window is made anew, the release of a
    // key on its way is lost: a key that came down in another window comes
    // down anew.
    const auto at = static_cast<size_t>(code);
    const uint32_t window = window_generation.load();
    const auto now = std::chrono::steady_clock::now();
    const bool repeat =
        down && down_now[at] && down_in[at] == window && now - pressed_at[at] >= shortest_repeat_delay;
    if (down) down_in[at] = window;
    if (repeat || (!down && !down_now[at])) return;
    if (down) pressed_at[at] = now;
    down_now[at] = down;
    if (forgetting.load()) return;
    // Alt+F4 is told apart as it happens: by the time the press is taken,
    // Alt may be up again.
    const bool quit = down && code == KEY_F4 && (key[KEY_ALT] || key[KEY_ALTGR]);
    std::atomic<uint8_t>& count = quit ? quit_presses : presses[at];
    if (down && count.load() < 255) count.fetch_add(1);
    key_events.push({code, down});
}

void on_mouse(int flags) {
    if ((flags & MOUSE_FLAG_LEFT_DOWN) && !forgetting.load()) clicks.push({mouse_x, mouse_y});
}

}  // namespace

void start_input_events() {
    keyboard_lowlevel_callback = on_key;
    mouse_callback = on_mouse;
}

namespace {

bool take(std::atomic<uint8_t>& count) {
    uint8_t n = count.load();
    while (n > 0 && !count.compare_exchange_weak(n, static_cast<uint8_t>(n - 1))) {
    }
    return n > 0;
}

}  // namespace

bool take_key_press(int code) {
    return code > 0 && code < KEY_MAX && take(presses[static_cast<size_t>(code)]);
}

bool take_quit_press() {
    return take(quit_presses);
}

std::optional<Click> take_click() {
    Click click;
    if (!clicks.pop(click)) return std::nullopt;
    return click;
}

bool next_key_event(KeyEvent& event) {
    return key_events.pop(event);
}

void input_window_changed() {
    window_generation.fetch_add(1);
}

void forget_input_events() {
    forgetting.store(true);
    KeyEvent event;
    while (key_events.pop(event)) {
    }
    Click click;
    while (clicks.pop(click)) {
    }
    for (std::atomic<uint8_t>& count : presses) count.store(0);
    quit_presses.store(0);
    forgetting.store(false);
}

// --- The request to quit, and the display ---

namespace {

std::atomic<bool> quit{false};
std::atomic<bool> window_gone{false};  // destroyed from outside: the run ends with status 1
std::atomic<int> quit_signal{0};       // the signal that asked to quit, for a headless run
bool input_held = false;               // Allegro's input thread is held; handle_pending_input handles the input
static_assert(std::atomic<bool>::is_always_lock_free, "the quit flag is set from a signal handler");
constexpr int quit_signals[] = {SIGTERM, SIGINT, SIGHUP};

sigset_t quit_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : quit_signals) sigaddset(&set, s);
    return set;
}

// The waiting period sees it within 1/100 s.
void quit_on_signal(int signal) {
    quit_signal.store(signal);
    quit.store(true);
}

void handle_quit_signals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : quit_signals) sigaction(s, &action, nullptr);
}

// Whether `window` is one of Allegro's current windows.
bool ours(Window window) {
    return window != None && (window == _xwin.window || window == _xwin.wm_window || window == _xwin.fs_window);
}

// The X connection is gone. Xlib ends the program when this returns, and the
// exit handlers would wait for Allegro's input thread, which may be held, on
// a display that will never answer: the program ends here, at once. The
// settings were written when they changed.
int on_display_lost(Display* display) {
    const char* name = display ? DisplayString(display) : "";
    const char message_start[] = "orlix: the display ";
    const char message_end[] = " went away; ending\n";
    // Only what is safe here: no allocation, no locks.
    (void)!write(STDERR_FILENO, message_start, sizeof message_start - 1);
    (void)!write(STDERR_FILENO, name, std::strlen(name));
    (void)!write(STDERR_FILENO, message_end, sizeof message_end - 1);
    _exit(1);
}

// An X protocol error: one about our window, gone from under us, ends the
// run as the window's loss does; any other is said and let pass (Xlib's own
// handler would end the program from wherever it happened, waiting on the
// input thread on the way out).
int on_x_error(Display* display, XErrorEvent* error) {
    if ((error->error_code == BadWindow || error->error_code == BadDrawable) && ours(error->resourceid)) {
        if (!window_gone.exchange(true)) std::fprintf(stderr, "orlix: the window was destroyed; ending\n");
        request_quit();
        return 0;
    }
    // Once the window is gone, what Allegro does to it on the way out fails
    // as a matter of course.
    if (window_gone.load()) return 0;
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "orlix: X error: %s (request %d)\n", text, error->request_code);
    return 0;
}

// A window of ours destroyed by someone else (the window manager's "close
// window" on a client that ignores the request, xkill, xdotool windowclose).
void look_for_destroyed_window() {
    XEvent event;
    while (XCheckTypedEvent(_xwin.display, DestroyNotify, &event))
        if (ours(event.xdestroywindow.window) && !window_gone.exchange(true)) {
            std::fprintf(stderr, "orlix: the window was destroyed; ending\n");
            request_quit();
        }
}

}  // namespace

void watch_display() {
    if (!_xwin.display) return;
    XLOCK();
    XSetIOErrorHandler(on_display_lost);
    XSetErrorHandler(on_x_error);
    for (Window window : {_xwin.wm_window, _xwin.window}) {
        if (window == None) continue;
        XWindowAttributes attributes;
        if (XGetWindowAttributes(_xwin.display, window, &attributes))
            XSelectInput(_xwin.display, window, attributes.your_event_mask | StructureNotifyMask);
    }
    XUNLOCK();
}

bool display_lost() {
    return window_gone.load();
}

void hold_quit_signals() {
    const sigset_t set = quit_signal_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void catch_quit_signals() {
    handle_quit_signals(quit_on_signal);
}

void default_quit_signals() {
    handle_quit_signals(SIG_DFL);
    if (const int signal = quit_signal.load()) raise(signal);
}

void quit_on_signals() {
    handle_quit_signals(quit_on_signal);
    const sigset_t set = quit_signal_set();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void hold_input_thread() {
    if (input_held || !_unix_bg_man || !_xwin.display) return;
    _unix_bg_man->disable_interrupts();
    input_held = true;
}

void release_input_thread() {
    if (!input_held) return;
    _unix_bg_man->enable_interrupts();
    input_held = false;
}

InputThreadRuns::InputThreadRuns() : held(input_held) {
    if (held) _unix_bg_man->enable_interrupts();
}

InputThreadRuns::~InputThreadRuns() {
    if (held) _unix_bg_man->disable_interrupts();
}

void request_quit() {
    quit.store(true);
}

bool quit_requested() {
    return quit.load();
}

void clear_quit_request() {
    quit.store(false);
}

void handle_pending_input() {
    if (!input_held) return;
    XLOCK();
    const bool events = XEventsQueued(_xwin.display, QueuedAfterFlush) > 0;
    if (events) look_for_destroyed_window();
    XUNLOCK();
    if (events) _xwin_handle_input();
}

// --- What the X server says of the screen ---

Size desktop_size() {
    if (!_xwin.display) return {0, 0};
    const int number = DefaultScreen(_xwin.display);
    return {DisplayWidth(_xwin.display, number), DisplayHeight(_xwin.display, number)};
}

Size work_area_size() {
    const Size whole = desktop_size();
    if (!_xwin.display) return whole;
    Display* display = _xwin.display;
    const Window root = RootWindow(display, DefaultScreen(display));
    // A CARDINAL list property of the root window, as the window manager
    // sets it; empty when there is none.
    const auto cardinals = [&](const char* name) {
        std::vector<long> values;
        const Atom property = XInternAtom(display, name, True);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (property != None &&
            XGetWindowProperty(display, root, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 32) {
            const long* items = reinterpret_cast<const long*>(data);  // format 32 comes as longs
            values.assign(items, items + count);
        }
        if (data) XFree(data);
        return values;
    };
    XLOCK();
    const std::vector<long> areas = cardinals("_NET_WORKAREA");
    const std::vector<long> current = cardinals("_NET_CURRENT_DESKTOP");
    XUNLOCK();
    // x, y, width, height for each virtual desktop.
    const size_t at = 4 * static_cast<size_t>(current.empty() ? 0 : std::max(0L, current[0]));
    if (areas.size() < at + 4 || areas[at + 2] <= 0 || areas[at + 3] <= 0) return whole;
    return {static_cast<int>(std::min<long>(areas[at + 2], whole.width)),
            static_cast<int>(std::min<long>(areas[at + 3], whole.height))};
}

// Whether the keyboard's focus is on one of the program's windows.
bool has_focus() {
    if (!_xwin.display) return false;
    Window focused = None;
    int revert = 0;
    XLOCK();
    XGetInputFocus(_xwin.display, &focused, &revert);
    XUNLOCK();
    return focused != None && (focused == _xwin.wm_window || focused == _xwin.window || focused == _xwin.fs_window);
}

// A window made anew, or unmapped and mapped again, loses the focus it had,
// which a window manager would give back but an X server alone does not:
// the keys typed next would go nowhere. It takes the focus back, once it
// can be seen.
void take_focus_back() {
    const Window window = _xwin.fs_window ? _xwin.fs_window : _xwin.wm_window;
    if (!_xwin.display || !window) return;
    XLOCK();
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(_xwin.display, window, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(_xwin.display, window, RevertToParent, CurrentTime);
    XFlush(_xwin.display);
    XUNLOCK();
}

bool pointer_is_shown() {
    return _mouse_screen != nullptr;
}

// --- The window's identity ---

namespace {

// The icon as XPM text, the form Allegro's X11 window takes.
std::vector<std::string> icon_rows() {
    std::vector<std::string> rows = {"32 32 4 1", "  c None"};
    for (const icon_art::Colour& c : icon_art::colours) {
        char line[16];
        std::snprintf(line, sizeof line, "%c c #%02X%02X%02X", c.key, c.r, c.g, c.b);
        rows.push_back(line);
    }
    for (int y = 0; y < icon_art::size; ++y) {
        std::string row(icon_art::size, ' ');
        for (int x = 0; x < icon_art::size; ++x) row[x] = icon_art::pixel(x, y);
        rows.push_back(row);
    }
    return rows;
}

// The XPM rows Allegro reads when it makes a window, and the pointers to
// them it takes.
std::vector<std::string> icon_storage;
std::vector<char*> icon_pointers;

}  // namespace

void name_window() {
    xwin_set_window_name("orlix", "Orlix");
}

void prepare_icon() {
    icon_storage = icon_rows();
    icon_pointers.clear();
    for (std::string& s : icon_storage) icon_pointers.push_back(s.data());
    allegro_icon = icon_pointers.data();
}

bool icon_was_set() {
    if (!_xwin.display || !_xwin.wm_window) return false;
    XWMHints* hints = XGetWMHints(_xwin.display, _xwin.wm_window);
    if (!hints) return false;
    const bool set = (hints->flags & IconPixmapHint) && hints->icon_pixmap != 0;
    XFree(hints);
    return set;
}

void set_window_icons() {
    if (!_xwin.display || !_xwin.wm_window) return;
    // In full screen the window shown is another one, which Allegro leaves
    // without a name, class or icon: it gets the same as the other.
    const Window shown[] = {_xwin.wm_window, _xwin.fs_window};
    // Width, height, then the pixels, for each size; Xlib takes 32-bit
    // properties as longs.
    std::vector<unsigned long> data;
    for (int n : {16, 32, 48, 64}) {
        data.push_back(static_cast<unsigned long>(n));
        data.push_back(static_cast<unsigned long>(n));
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) data.push_back(icon_art::argb(x, y, n));
    }
    // The process that owns the windows, for the desktop's task lists and
    // for tools that find a program's window by its process.
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XLOCK();
    const Atom net_wm_icon = XInternAtom(_xwin.display, "_NET_WM_ICON", False);
    const Atom net_wm_pid = XInternAtom(_xwin.display, "_NET_WM_PID", False);
    char name[] = "orlix", class_name[] = "Orlix";
    XClassHint class_hint{name, class_name};
    for (Window window : shown) {
        if (!window) continue;
        XChangeProperty(_xwin.display, window, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        XChangeProperty(_xwin.display, window, net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        if (window != _xwin.wm_window) XSetClassHint(_xwin.display, window, &class_hint);
    }
    XFlush(_xwin.display);
    XUNLOCK();
}

void set_title(const std::string& title) {
    set_window_title(title.c_str());
    if (!_xwin.display || !_xwin.fs_window) return;
    XLOCK();
    XStoreName(_xwin.display, _xwin.fs_window, title.c_str());
    XFlush(_xwin.display);
    XUNLOCK();
}

// --- Allegro's GUI ---

GuiCallbacks& gui_callbacks() {
    static GuiCallbacks callbacks;
    return callbacks;
}
