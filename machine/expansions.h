// The choices of expansion a machine's options make, and the joystick's
// state, as the machine record and the devices share them (the devices
// themselves are one file each: char_board.h, joystick.h, chroma.h,
// zxpand.h).
#pragma once

// A character board (char_board.h).
enum class CharBoard { none, udg, chr128, qs };

// The joystick interface (joystick.h, zxpand.h).
enum class JoystickKind { none, kempston, cursor, zxpand };

// The stick the host's arrows or a gamepad move.
struct JoystickState {
    bool up = false, down = false, left = false, right = false, fire = false;
};
