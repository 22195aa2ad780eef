// The host keyboard as the ZX81's: host key presses and releases become
// presses and releases of ZX81 keys, which the machine's key feeder shows
// to the ZX81 until its program has taken them.
//
// Two kinds of host key reach the ZX81:
// - position keys (letters, digits, Enter, Space, both Shifts, the key right
//   of L, the arrows) press the ZX81 key in the same place; host Shift is the
//   ZX81 SHIFT, so keywords and symbols are typed as on the ZX81 itself;
// - character keys (the punctuation keys, the keypad, Backspace) type the
//   character printed on them by pressing the ZX81 key, with SHIFT, that
//   gives it. Such a press goes to the ZX81 as a real one does: SHIFT (or
//   nothing) first, then the key with it, then SHIFT alone again.
#pragma once

#include <allegro.h>

#include <array>
#include <cstdint>
#include <vector>

#include "zx81.h"

// What a character key types: a ZX81 key, with or without SHIFT.
struct TypedKey {
    ZxKey key;
    bool shift;
};

// The host keys as the ZX81 is to see them: which are down, and the
// character key being typed.
struct HostKeyboard {
    std::array<bool, KEY_MAX> down{};  // by Allegro key code, as the events said
    int character = 0;                 // the character key being typed; 0 when none
    TypedKey typed{};                  // chosen when it went down, by host Shift then
    uint64_t pressed = 0;              // the ZX81 keys the host keys press now (bits row*5+bit)
    // With a joystick fitted, the arrows and Right Ctrl (fire) move it
    // rather than press ZX81 keys; Scroll Lock gives them back.
    bool arrows_move_stick = false;
    JoystickState stick;               // what they hold
};

// The stick key (an arrow, or Right Ctrl for fire) going down or up moves
// `stick`; false for any other key.
bool move_stick(JoystickState& stick, int allegro_key, bool down);

// What the character key with this Allegro code types, with host Shift up or
// down; false when it is no character key or types nothing so (the ZX81 has
// no apostrophe or underscore).
bool typed_by(int allegro_key, bool host_shift, TypedKey& typed);

// The ZX81 keys the host keys down in `keyboard` press: the position keys
// as they are, and the character key with its own SHIFT (host Shift is not
// the ZX81 SHIFT while a character is typed). RUBOUT (Backspace, SHIFT+0)
// hides whatever else is down in those two rows.
uint64_t zx81_keys_pressed(const HostKeyboard& keyboard);

// A host key going down or up: the ZX81 keys that this presses and
// releases, releases before presses, SHIFT pressed before the key it shifts
// and released after it.
std::vector<ZxKeyEvent> host_key_event(HostKeyboard& keyboard, int allegro_key, bool down);

// Once a period: every key press and release that came since the last,
// in order, to the machine's key feeder (which holds each press until the
// ZX81 has taken it, so that no tap is lost); with none, the keys as
// Allegro holds them now, so that a release lost while a window was made
// anew or a dialog was shown lets the key up.
void feed_host_keys(HostKeyboard& keyboard, Zx81& machine);

// Drops the key and click events not yet played: after a dialog, whose keys
// were its own.
void forget_key_events();
