#include "host_keys.h"

#include <allegro.h>

#include <array>

namespace {

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
        {sc::f8, KEY_F8}, {sc::f9, KEY_F9}, {sc::up, KEY_UP}, {sc::left, KEY_LEFT}, {sc::right, KEY_RIGHT},
        {sc::down, KEY_DOWN},
    };
    for (const auto& pair : pairs) t[pair[0]] = pair[1];
    return t;
}

constexpr std::array<int, 128> allegro_key_for_scancode = build_allegro_keys();

struct HostKey {
    int scan;
    ZxKey zx;
};

// The host keys that press each ZX81 key. Several may press the same one
// (both Shifts; the arrows press bare digits).
constexpr HostKey host_keys[] = {
    {scancode::left_shift, zx_key::shift}, {scancode::right_shift, zx_key::shift},
    {scancode::z, zx_key::z},             {scancode::x, zx_key::x},
    {scancode::c, zx_key::c},             {scancode::v, zx_key::v},
    {scancode::a, zx_key::a},             {scancode::s, zx_key::s},
    {scancode::d, zx_key::d},             {scancode::f, zx_key::f},
    {scancode::g, zx_key::g},             {scancode::q, zx_key::q},
    {scancode::w, zx_key::w},             {scancode::e, zx_key::e},
    {scancode::r, zx_key::r},             {scancode::t, zx_key::t},
    {scancode::key1, zx_key::digit1},     {scancode::key2, zx_key::digit2},
    {scancode::key3, zx_key::digit3},     {scancode::key4, zx_key::digit4},
    {scancode::key5, zx_key::digit5},     {scancode::left, zx_key::digit5},
    {scancode::key0, zx_key::digit0},     {scancode::key9, zx_key::digit9},
    {scancode::key8, zx_key::digit8},     {scancode::right, zx_key::digit8},
    {scancode::key7, zx_key::digit7},     {scancode::up, zx_key::digit7},
    {scancode::key6, zx_key::digit6},     {scancode::down, zx_key::digit6},
    {scancode::p, zx_key::p},             {scancode::o, zx_key::o},
    {scancode::i, zx_key::i},             {scancode::u, zx_key::u},
    {scancode::y, zx_key::y},             {scancode::enter, zx_key::newline},
    {scancode::l, zx_key::l},             {scancode::k, zx_key::k},
    {scancode::j, zx_key::j},             {scancode::h, zx_key::h},
    {scancode::space, zx_key::space},     {scancode::semicolon, zx_key::dot},
    {scancode::m, zx_key::m},             {scancode::n, zx_key::n},
    {scancode::b, zx_key::b},
};

}  // namespace

bool host_key_down(int scan) {
    const int code = allegro_key_for_scancode[scan];
    return code != 0 && key[code] != 0;
}

void release_host_key(int scan) {
    const int code = allegro_key_for_scancode[scan];
    if (code != 0) key[code] = 0;
}

KeyMatrix scan_host_keys() {
    KeyMatrix keys = no_keys_down;
    for (const HostKey& k : host_keys)
        if (host_key_down(k.scan)) press_key(keys, k.zx);
    if (host_key_down(scancode::backspace)) {
        keys[zx_key::shift.row] = 0xFE;
        keys[zx_key::digit0.row] = 0xFE;
    }
    return keys;
}
