#include "host_keys.h"

#include <allegro.h>

#include "allegro_glue.h"

namespace {

struct HostKey {
    int allegro_key;
    ZxKey zx;
};

// The position keys: the host keys that press each ZX81 key in its place.
// Several may press the same one (both Shifts; the arrows press bare digits).
constexpr HostKey position_keys[] = {
    {KEY_LSHIFT, zx_key::shift}, {KEY_RSHIFT, zx_key::shift}, {KEY_Z, zx_key::z},
    {KEY_X, zx_key::x},          {KEY_C, zx_key::c},          {KEY_V, zx_key::v},
    {KEY_A, zx_key::a},          {KEY_S, zx_key::s},          {KEY_D, zx_key::d},
    {KEY_F, zx_key::f},          {KEY_G, zx_key::g},          {KEY_Q, zx_key::q},
    {KEY_W, zx_key::w},          {KEY_E, zx_key::e},          {KEY_R, zx_key::r},
    {KEY_T, zx_key::t},          {KEY_1, zx_key::digit1},     {KEY_2, zx_key::digit2},
    {KEY_3, zx_key::digit3},     {KEY_4, zx_key::digit4},     {KEY_5, zx_key::digit5},
    {KEY_LEFT, zx_key::digit5},  {KEY_0, zx_key::digit0},     {KEY_9, zx_key::digit9},
    {KEY_8, zx_key::digit8},     {KEY_RIGHT, zx_key::digit8}, {KEY_7, zx_key::digit7},
    {KEY_UP, zx_key::digit7},    {KEY_6, zx_key::digit6},     {KEY_DOWN, zx_key::digit6},
    {KEY_P, zx_key::p},          {KEY_O, zx_key::o},          {KEY_I, zx_key::i},
    {KEY_U, zx_key::u},          {KEY_Y, zx_key::y},          {KEY_ENTER, zx_key::newline},
    {KEY_L, zx_key::l},          {KEY_K, zx_key::k},          {KEY_J, zx_key::j},
    {KEY_H, zx_key::h},          {KEY_SPACE, zx_key::space},  {KEY_COLON, zx_key::dot},
    {KEY_M, zx_key::m},          {KEY_N, zx_key::n},          {KEY_B, zx_key::b},
};

// Character keys: what each types with host Shift up and down. Letters and
// digits stay position keys; these are the keys the ZX81 has no place for.
struct CharacterKey {
    int allegro_key;
    bool plain_types, shifted_types;
    TypedKey plain, shifted;
};

constexpr TypedKey shifted(ZxKey key) {
    return {key, true};
}
constexpr TypedKey unshifted(ZxKey key) {
    return {key, false};
}
constexpr TypedKey nothing{};

constexpr CharacterKey character_keys[] = {
    {KEY_STOP, true, true, unshifted(zx_key::dot), shifted(zx_key::m)},      // . and >
    {KEY_COMMA, true, true, shifted(zx_key::dot), shifted(zx_key::n)},       // , and <
    {KEY_QUOTE, false, true, nothing, shifted(zx_key::p)},                   // "
    {KEY_EQUALS, true, true, shifted(zx_key::l), shifted(zx_key::k)},        // = and +
    {KEY_MINUS, true, false, shifted(zx_key::j), nothing},                   // -
    {KEY_SLASH, true, true, shifted(zx_key::v), shifted(zx_key::c)},         // / and ?
    {KEY_ASTERISK, true, true, shifted(zx_key::b), shifted(zx_key::b)},      // keypad *
    {KEY_PLUS_PAD, true, true, shifted(zx_key::k), shifted(zx_key::k)},      // keypad +
    {KEY_MINUS_PAD, true, true, shifted(zx_key::j), shifted(zx_key::j)},     // keypad -
    {KEY_SLASH_PAD, true, true, shifted(zx_key::v), shifted(zx_key::v)},     // keypad /
    {KEY_DEL_PAD, true, true, unshifted(zx_key::dot), unshifted(zx_key::dot)},  // keypad .
    {KEY_ENTER_PAD, true, true, unshifted(zx_key::newline), unshifted(zx_key::newline)},
    {KEY_0_PAD, true, true, unshifted(zx_key::digit0), unshifted(zx_key::digit0)},
    {KEY_1_PAD, true, true, unshifted(zx_key::digit1), unshifted(zx_key::digit1)},
    {KEY_2_PAD, true, true, unshifted(zx_key::digit2), unshifted(zx_key::digit2)},
    {KEY_3_PAD, true, true, unshifted(zx_key::digit3), unshifted(zx_key::digit3)},
    {KEY_4_PAD, true, true, unshifted(zx_key::digit4), unshifted(zx_key::digit4)},
    {KEY_5_PAD, true, true, unshifted(zx_key::digit5), unshifted(zx_key::digit5)},
    {KEY_6_PAD, true, true, unshifted(zx_key::digit6), unshifted(zx_key::digit6)},
    {KEY_7_PAD, true, true, unshifted(zx_key::digit7), unshifted(zx_key::digit7)},
    {KEY_8_PAD, true, true, unshifted(zx_key::digit8), unshifted(zx_key::digit8)},
    {KEY_9_PAD, true, true, unshifted(zx_key::digit9), unshifted(zx_key::digit9)},
    {KEY_BACKSPACE, true, true, shifted(zx_key::digit0), shifted(zx_key::digit0)},  // RUBOUT
};

uint64_t bit_of(ZxKey key) {
    return uint64_t{1} << (key.row * 5 + key.bit);
}

constexpr uint64_t row_bits(int row) {
    return uint64_t{0x1F} << (row * 5);
}

bool is_shift(ZxKey key) {
    return key.row == zx_key::shift.row && key.bit == zx_key::shift.bit;
}

bool host_shift_down(const HostKeyboard& keyboard) {
    return keyboard.down[KEY_LSHIFT] || keyboard.down[KEY_RSHIFT];
}

bool is_character_key(int allegro_key) {
    for (const CharacterKey& c : character_keys)
        if (c.allegro_key == allegro_key) return true;
    return false;
}

bool is_position_key(int allegro_key) {
    for (const HostKey& k : position_keys)
        if (k.allegro_key == allegro_key) return true;
    return false;
}

// The ZX81 keys in `mask` as events, pressed or released: SHIFT first when
// pressed and last when released.
void add_events(std::vector<ZxKeyEvent>& events, uint64_t mask, bool down) {
    const uint64_t shift = bit_of(zx_key::shift);
    if (down && (mask & shift)) events.push_back({zx_key::shift, true});
    for (uint8_t row = 0; row < 8; ++row)
        for (uint8_t bit = 0; bit < 5; ++bit) {
            const ZxKey key{row, bit};
            if (!is_shift(key) && (mask & bit_of(key))) events.push_back({key, down});
        }
    if (!down && (mask & shift)) events.push_back({zx_key::shift, false});
}

void feed(Zx81& machine, const std::vector<ZxKeyEvent>& events) {
    for (const ZxKeyEvent& event : events) type_key(machine, event.key, event.down);
}

}  // namespace

bool typed_by(int allegro_key, bool host_shift, TypedKey& typed) {
    for (const CharacterKey& c : character_keys) {
        if (c.allegro_key != allegro_key) continue;
        typed = host_shift ? c.shifted : c.plain;
        return host_shift ? c.shifted_types : c.plain_types;
    }
    return false;
}

uint64_t zx81_keys_pressed(const HostKeyboard& keyboard) {
    const bool typing = keyboard.character != 0;
    uint64_t keys = 0;
    for (const HostKey& k : position_keys)
        if (keyboard.down[static_cast<size_t>(k.allegro_key)] && !(typing && is_shift(k.zx))) keys |= bit_of(k.zx);
    if (!typing) return keys;
    if (keyboard.typed.shift) keys |= bit_of(zx_key::shift);
    keys |= bit_of(keyboard.typed.key);
    // RUBOUT hides the rest of its two rows.
    if (keyboard.character == KEY_BACKSPACE)
        keys = (keys & ~(row_bits(zx_key::shift.row) | row_bits(zx_key::digit0.row))) | bit_of(zx_key::shift) |
               bit_of(zx_key::digit0);
    return keys;
}

std::vector<ZxKeyEvent> host_key_event(HostKeyboard& keyboard, int allegro_key, bool down) {
    std::vector<ZxKeyEvent> events;
    if (allegro_key <= 0 || allegro_key >= KEY_MAX) return events;
    const auto code = static_cast<size_t>(allegro_key);
    if (keyboard.down[code] == down) return events;
    keyboard.down[code] = down;
    if (down && keyboard.character == 0 && typed_by(allegro_key, host_shift_down(keyboard), keyboard.typed))
        keyboard.character = allegro_key;
    else if (!down && allegro_key == keyboard.character)
        keyboard.character = 0;
    const uint64_t now = zx81_keys_pressed(keyboard);
    add_events(events, keyboard.pressed & ~now, false);
    add_events(events, now & ~keyboard.pressed, true);
    keyboard.pressed = now;
    return events;
}

bool move_stick(JoystickState& stick, int allegro_key, bool down) {
    switch (allegro_key) {
    case KEY_UP: stick.up = down; return true;
    case KEY_DOWN: stick.down = down; return true;
    case KEY_LEFT: stick.left = down; return true;
    case KEY_RIGHT: stick.right = down; return true;
    case KEY_RCONTROL: stick.fire = down; return true;
    default: return false;
    }
}

void feed_host_keys(HostKeyboard& keyboard, Zx81& machine) {
    KeyEvent event;
    bool any = false;
    while (next_key_event(event)) {
        any = true;
        if (keyboard.arrows_move_stick && move_stick(keyboard.stick, event.code, event.down)) continue;
        feed(machine, host_key_event(keyboard, event.code, event.down));
    }
    if (any) return;
    for (int code = 1; code < KEY_MAX; ++code) {
        if (keyboard.arrows_move_stick && move_stick(keyboard.stick, code, key[code] != 0)) continue;
        if ((key[code] != 0) != keyboard.down[static_cast<size_t>(code)] &&
            (is_position_key(code) || is_character_key(code)))
            feed(machine, host_key_event(keyboard, code, key[code] != 0));
    }
}

void forget_key_events() {
    forget_input_events();
}
