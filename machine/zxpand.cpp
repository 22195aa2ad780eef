#include "zxpand.h"

#include <algorithm>

#include "zx81.h"

namespace {

// The stick as ZXpand gives it: active low, the top five bits.
uint8_t zxpand_stick(const JoystickState& s) {
    return static_cast<uint8_t>(~((s.up ? 0x80 : 0) | (s.down ? 0x40 : 0) | (s.left ? 0x20 : 0) | (s.right ? 0x10 : 0) |
                                  (s.fire ? 0x08 : 0)));
}

class Zxpand : public Device {
public:
    const char* name() const override { return "zxpand"; }

    uint8_t in(Zx81& machine, uint16_t port, int64_t) override {
        if (port != zxpand_command_port) return 0xFF;
        switch (command_) {
        case 0x55: return 0x0F;
        case 0xAA: return 0xF0;
        case zxpand_joystick: return zxpand_stick(machine.joystick);
        default: return 0xFF;
        }
    }

    void out(Zx81& machine, uint16_t port, uint8_t value, int64_t) override {
        if (port != zxpand_command_port) return;
        command_ = value;
        if (value == zxpand_low_ram && !machine.low_ram) {
            // RAM now where the ROM's echo was: what a program finds there
            // first is what RAM at power-up holds.
            machine.low_ram = true;
            machine.address_map.writable_from = writable_from(true);
            std::fill(machine.memory.begin() + rom_size, machine.memory.begin() + ram_start, 0xFF);
        }
    }

    void reset(Zx81&) override { command_ = 0; }

private:
    uint8_t command_ = 0;
};

}  // namespace

std::unique_ptr<Device> make_zxpand() {
    return std::make_unique<Zxpand>();
}
