#include "gamepad.h"

#include <allegro.h>

bool start_gamepad() {
    return install_joystick(JOY_TYPE_AUTODETECT) == 0 && num_joysticks > 0;
}

JoystickState read_gamepad() {
    JoystickState held;
    if (num_joysticks == 0 || poll_joystick() != 0) return held;
    const JOYSTICK_INFO& pad = joy[0];
    if (pad.num_sticks > 0 && pad.stick[0].num_axis >= 2) {
        held.left = pad.stick[0].axis[0].d1;
        held.right = pad.stick[0].axis[0].d2;
        held.up = pad.stick[0].axis[1].d1;
        held.down = pad.stick[0].axis[1].d2;
    }
    for (int b = 0; b < pad.num_buttons; ++b) held.fire = held.fire || pad.button[b].b;
    return held;
}

JoystickState either(const JoystickState& a, const JoystickState& b) {
    return {a.up || b.up, a.down || b.down, a.left || b.left, a.right || b.right, a.fire || b.fire};
}
