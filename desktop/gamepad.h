// A gamepad through Allegro's joystick routines, for the ZX81's joystick:
// the first pad's first stick (or its pad of arrows) moves it, any button
// fires.
#pragma once

#include "expansions.h"

// Looks for a gamepad: false when there is none (the arrow keys still move
// the stick).
bool start_gamepad();

// What the first pad holds now.
JoystickState read_gamepad();

// Two sticks held together: a direction or fire either gives.
JoystickState either(const JoystickState& a, const JoystickState& b);
