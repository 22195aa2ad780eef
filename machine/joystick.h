// Joysticks: the stick the host's arrows (or a gamepad) move, and the
// interfaces that give it to the ZX81.
// - Kempston: IN from port $1F (the whole low byte) reads the stick, active
//   high: bit 0 right, 1 left, 2 down, 3 up, 4 fire. Nobody else answers an
//   IN there (the ZON X's $1F is written, never read).
// - Cursor: the stick holds keys 5 (left), 6 (down), 7 (up), 8 (right) and
//   0 (fire), as programs written for the cursor keys read them.
// - ZXpand's stick is read through the ZXpand (zxpand.h).
#pragma once

#include <cstdint>
#include <memory>

#include "device.h"
#include "expansions.h"

constexpr uint8_t kempston_port = 0x1F;

// The interface for the machine's devices; none for none and zxpand.
std::unique_ptr<Device> make_joystick(JoystickKind kind);

// Kempston's byte for the stick.
uint8_t kempston_bits(const JoystickState& stick);
