#include "sound_board.h"

#include "zx81.h"

namespace {

class ZonX : public Device {
public:
    const char* name() const override { return "zonx"; }

    void out(Zx81& machine, uint16_t port, uint8_t value, int64_t t) override {
        // A0-A3 high; A4 either way (ZON X-81 and ZON X); A7 high to select.
        const uint8_t decoded = static_cast<uint8_t>(port) & 0xEF;
        if (decoded == 0xCF)
            sound_select_register(machine.sound, value);
        else if (decoded == 0x0F)
            sound_write_register(machine.sound, t, value);
    }
};

class Quicksilva : public Device {
public:
    const char* name() const override { return "qs"; }

    static constexpr uint16_t select_address = 0x7FFF, data_address = 0x7FFE;

    AddressRange tapped() const override { return {data_address, select_address}; }

    bool memory_write(Zx81& machine, uint16_t address, uint8_t value, int64_t t) override {
        if (address == select_address)
            sound_select_register(machine.sound, value);
        else
            sound_write_register(machine.sound, t, value);
        return false;
    }
};

}  // namespace

std::unique_ptr<Device> make_sound_board(SoundBoard board) {
    switch (board) {
    case SoundBoard::zonx: return std::make_unique<ZonX>();
    case SoundBoard::quicksilva: return std::make_unique<Quicksilva>();
    case SoundBoard::none: break;
    }
    return nullptr;
}
