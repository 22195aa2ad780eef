// The host keyboard: keys named by PC set-1 scan code, mapped onto Allegro's
// key codes for the same physical keys, and read into the ZX81's key matrix.
#pragma once

#include "keyboard.h"

namespace scancode {
constexpr int key1 = 2, key2 = 3, key3 = 4, key4 = 5, key5 = 6;
constexpr int key6 = 7, key7 = 8, key8 = 9, key9 = 10, key0 = 11;
constexpr int backspace = 14;
constexpr int q = 16, w = 17, e = 18, r = 19, t = 20, y = 21, u = 22, i = 23, o = 24, p = 25;
constexpr int enter = 28;
constexpr int a = 30, s = 31, d = 32, f = 33, g = 34, h = 35, j = 36, k = 37, l = 38;
constexpr int semicolon = 39;
constexpr int left_shift = 42;
constexpr int z = 44, x = 45, c = 46, v = 47, b = 48, n = 49, m = 50;
constexpr int right_shift = 54;
constexpr int alt = 56;
constexpr int space = 57;
constexpr int f1 = 59, f2 = 60, f3 = 61, f4 = 62, f5 = 63, f6 = 64, f7 = 65, f8 = 66, f9 = 67;
constexpr int up = 72, left = 75, right = 77, down = 80;
}  // namespace scancode

// True while the host key with this scan code is down.
bool host_key_down(int scan);

// Marks the key released in the host key state, so that a held key acts once.
void release_host_key(int scan);

// The ZX81 keys that the host keys now down press. Backspace is the ZX81's
// RUBOUT, SHIFT+0, and hides whatever else is down in those two rows.
KeyMatrix scan_host_keys();
