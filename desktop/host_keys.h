// The host keyboard: keys named by PC set-1 scan code, mapped onto Allegro's
// key codes for the same physical keys, and read into the ZX81's key matrix.
//
// Two kinds of host key reach the ZX81:
// - position keys (letters, digits, Enter, Space, both Shifts, the key right
//   of L, the arrows) press the ZX81 key in the same place; host Shift is the
//   ZX81 SHIFT, so keywords and symbols are typed as on the ZX81 itself;
// - character keys (the punctuation keys, the keypad, Backspace) type the
//   character printed on them by pressing the ZX81 key, with SHIFT, that
//   gives it. Such a press goes through the matrix as a real one does: SHIFT
//   (or nothing) first, then the key with it, then SHIFT alone again, one
//   scan each at least, so that no scan ever sees the key without its SHIFT.
#pragma once

#include "keyboard.h"

namespace scancode {
constexpr int key1 = 2, key2 = 3, key3 = 4, key4 = 5, key5 = 6;
constexpr int key6 = 7, key7 = 8, key8 = 9, key9 = 10, key0 = 11;
constexpr int backspace = 14;
constexpr int q = 16, w = 17, e = 18, r = 19, t = 20, y = 21, u = 22, i = 23, o = 24, p = 25;
constexpr int enter = 28;
constexpr int a = 30, s = 31, d = 32, f = 33, g = 34, h = 35, j = 36, k = 37, l = 38;
constexpr int semicolon = 39;  // the key right of L
constexpr int left_shift = 42;
constexpr int z = 44, x = 45, c = 46, v = 47, b = 48, n = 49, m = 50;
constexpr int right_shift = 54;
constexpr int alt = 56;
constexpr int space = 57;
constexpr int f1 = 59, f2 = 60, f3 = 61, f4 = 62, f5 = 63, f6 = 64, f7 = 65, f8 = 66, f9 = 67, f10 = 68;
constexpr int f11 = 87, f12 = 88;
constexpr int up = 72, left = 75, right = 77, down = 80;
// Keys that come after an E0 prefix are counted from 128.
constexpr int print_screen = 0x80 | 0x37;
}  // namespace scancode

// True while the host key with this scan code is down for the ZX81: held,
// or tapped a moment ago (see scan_host_keys).
bool host_key_down(int scan);

// How long a key tapped faster than the ZX81 can take it is shown to it, in
// periods: held down at least `key_hold`, and up at least the release gap
// (which the caller sets for the model) before the next press.
constexpr int key_hold = 6;
constexpr int fast_release_gap = 4;   // the ROM takes keys at once
constexpr int slow_release_gap = 14;  // in SLOW mode it answers a key between frames

// What a character key types: a ZX81 key, with or without SHIFT.
struct TypedKey {
    ZxKey key;
    bool shift;
};

// The character key being typed, from one scan to the next.
struct HostKeyboard {
    // SHIFT alone, the key's first scan, the key held, SHIFT alone again.
    enum class Phase { idle, lead, press, held, trail };
    Phase phase = Phase::idle;
    int allegro_key = 0;  // the character key down; 0 when idle
    TypedKey typed{};     // chosen when it went down, by host Shift then
    int release_gap = fast_release_gap;
};

// What the character key with this Allegro code types, with host Shift up or
// down; false when it is no character key or types nothing so (the ZX81 has
// no apostrophe or underscore).
bool typed_by(int allegro_key, bool host_shift, TypedKey& typed);

// The ZX81 keys that the host keys now down press, one scan of them (one
// period): the position keys as they are, and the character key in its
// phase. The key presses and releases that came since the last scan are
// played to the ZX81 in order, each press held at least `key_hold` scans and
// each release lasting the release gap, so that a tap shorter than a period,
// or typing faster than the ZX81 reads, loses nothing. While a
// character key is typed, host Shift is not the ZX81 SHIFT: the character
// brings its own. RUBOUT (Backspace, SHIFT+0) hides whatever else is down in
// those two rows.
KeyMatrix scan_host_keys(HostKeyboard& keyboard);

// Drops the key and click events not yet played and takes the keys as
// Allegro holds them now: after a dialog, whose keys were its own.
void forget_key_events();
