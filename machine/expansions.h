// The choices of expansion a machine's options make, and the joystick's
// state, as the machine record and the devices share them (the devices
// themselves are one file each: char_board.h, joystick.h, chroma.h,
// zxpand.h).
#pragma once

#include <array>

// A character board (char_board.h), and its names as the command line and
// the settings give them (chr128-plain: the CHR$128 board whose second set
// the ULA does not invert).
enum class CharBoard { none, udg, chr128, qs };
constexpr std::array<const char*, 5> char_board_names = {"none", "udg", "chr128", "qs", "chr128-plain"};
constexpr std::array<CharBoard, 5> char_board_values = {CharBoard::none, CharBoard::udg, CharBoard::chr128,
                                                        CharBoard::qs, CharBoard::chr128};

// The joystick interface (joystick.h, zxpand.h), and its names.
enum class JoystickKind { none, kempston, cursor, zxpand };
constexpr std::array<const char*, 4> joystick_names = {"none", "kempston", "cursor", "zxpand"};

// The stick the host's arrows or a gamepad move.
struct JoystickState {
    bool up = false, down = false, left = false, right = false, fire = false;
};
