#include "joystick.h"

#include "keyboard.h"
#include "zx81.h"

uint8_t kempston_bits(const JoystickState& s) {
    return static_cast<uint8_t>((s.right ? 0x01 : 0) | (s.left ? 0x02 : 0) | (s.down ? 0x04 : 0) | (s.up ? 0x08 : 0) |
                                (s.fire ? 0x10 : 0));
}

namespace {

class Kempston : public Device {
public:
    const char* name() const override { return "kempston"; }
    uint8_t in(Zx81& machine, uint16_t port, int64_t) override {
        // The bus reads 0xFF where nobody drives it; the interface drives
        // every bit, low where nothing is pressed.
        return (port & 0xFF) == kempston_port ? kempston_bits(machine.joystick) : 0xFF;
    }
};

// The keys a cursor stick holds, as keyboard rows read them: the half-row
// a key is in and its data bit, both active low.
class CursorKeys : public Device {
public:
    const char* name() const override { return "cursor"; }
    uint8_t in(Zx81& machine, uint16_t port, int64_t) override {
        if (port & 1) return 0xFF;
        const JoystickState& s = machine.joystick;
        KeyMatrix held = no_keys_down;
        if (s.left) press_key(held, zx_key::digit5);
        if (s.down) press_key(held, zx_key::digit6);
        if (s.up) press_key(held, zx_key::digit7);
        if (s.right) press_key(held, zx_key::digit8);
        if (s.fire) press_key(held, zx_key::digit0);
        // The keys' bits only: the tape input (bit 7) is the ULA's.
        return static_cast<uint8_t>(read_keyboard(held, port) | 0x80);
    }
};

}  // namespace

std::unique_ptr<Device> make_joystick(JoystickKind kind) {
    switch (kind) {
    case JoystickKind::kempston: return std::make_unique<Kempston>();
    case JoystickKind::cursor: return std::make_unique<CursorKeys>();
    case JoystickKind::zxpand:
    case JoystickKind::none: break;
    }
    return nullptr;
}
