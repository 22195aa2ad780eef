#include "input_events.h"

#include <allegro.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

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
