// Host keys by PC set-1 scan code, and the Allegro key codes of the same
// physical keys. The ZX81 keyboard matrix and the function keys are defined
// in scan codes; the host key state is Allegro's key[] array.
#pragma once

#include <allegro.h>

#include <array>

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
constexpr int f1 = 59, f2 = 60, f3 = 61, f4 = 62, f5 = 63, f6 = 64, f7 = 65, f8 = 66;
constexpr int up = 72, left = 75, right = 77, down = 80;
}  // namespace scancode

// Allegro key code for each scan code this program uses; 0 for the others.
constexpr std::array<int, 128> build_allegro_keys() {
    std::array<int, 128> t{};
    namespace sc = scancode;
    const int pairs[][2] = {
        {sc::key1, KEY_1}, {sc::key2, KEY_2}, {sc::key3, KEY_3}, {sc::key4, KEY_4},
        {sc::key5, KEY_5}, {sc::key6, KEY_6}, {sc::key7, KEY_7}, {sc::key8, KEY_8},
        {sc::key9, KEY_9}, {sc::key0, KEY_0}, {sc::backspace, KEY_BACKSPACE},
        {sc::q, KEY_Q}, {sc::w, KEY_W}, {sc::e, KEY_E}, {sc::r, KEY_R}, {sc::t, KEY_T},
        {sc::y, KEY_Y}, {sc::u, KEY_U}, {sc::i, KEY_I}, {sc::o, KEY_O}, {sc::p, KEY_P},
        {sc::enter, KEY_ENTER}, {sc::a, KEY_A}, {sc::s, KEY_S}, {sc::d, KEY_D},
        {sc::f, KEY_F}, {sc::g, KEY_G}, {sc::h, KEY_H}, {sc::j, KEY_J}, {sc::k, KEY_K},
        {sc::l, KEY_L}, {sc::semicolon, KEY_SEMICOLON}, {sc::left_shift, KEY_LSHIFT},
        {sc::z, KEY_Z}, {sc::x, KEY_X}, {sc::c, KEY_C}, {sc::v, KEY_V}, {sc::b, KEY_B},
        {sc::n, KEY_N}, {sc::m, KEY_M}, {sc::right_shift, KEY_RSHIFT}, {sc::alt, KEY_ALT},
        {sc::space, KEY_SPACE}, {sc::f1, KEY_F1}, {sc::f2, KEY_F2}, {sc::f3, KEY_F3},
        {sc::f4, KEY_F4}, {sc::f5, KEY_F5}, {sc::f6, KEY_F6}, {sc::f7, KEY_F7},
        {sc::f8, KEY_F8}, {sc::up, KEY_UP}, {sc::left, KEY_LEFT}, {sc::right, KEY_RIGHT},
        {sc::down, KEY_DOWN},
    };
    for (const auto& pair : pairs) t[pair[0]] = pair[1];
    return t;
}

inline constexpr std::array<int, 128> allegro_key_for_scancode = build_allegro_keys();

// True while the host key with this scan code is down.
inline bool host_key_down(int scan) {
    const int code = allegro_key_for_scancode[scan];
    return code != 0 && key[code] != 0;
}

// Marks the key released in the host key state, so that a held key acts once.
inline void release_host_key(int scan) {
    const int code = allegro_key_for_scancode[scan];
    if (code != 0) key[code] = 0;
}
