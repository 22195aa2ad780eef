#include "char_board.h"

#include <array>

#include "rom_addresses.h"
#include "zx81.h"

namespace {

class Chr128 : public Device {
public:
    explicit Chr128(bool ula_inverts) : ula_inverts_(ula_inverts) {}
    const char* name() const override { return "chr128"; }
    bool shapes_picture() const override { return true; }

    void pattern(Zx81& machine, const PatternFetch& fetch, PatternRow& row) override {
        if (!(fetch.i & 1)) return;
        const bool second = fetch.code & 0x80;
        const uint16_t at = static_cast<uint16_t>(((fetch.i & 0xFE) << 8) + (second ? 0x200 : 0) +
                                                  8 * (fetch.code & 0x3F) + fetch.row);
        row.pixels = machine.memory[decoded(machine.address_map, at)];
        row.invert = second && ula_inverts_;
    }

private:
    bool ula_inverts_;
};

class QsCharacters : public Device {
public:
    const char* name() const override { return "qs-chars"; }
    AddressRange tapped() const override { return {qs_chars_first, qs_chars_last}; }
    bool memory_write(Zx81& machine, uint16_t address, uint8_t value, int64_t) override {
        fill_from_rom(machine);
        patterns_[address - qs_chars_first] = value;
        return false;
    }
    bool shapes_picture() const override { return true; }

    void pattern(Zx81& machine, const PatternFetch& fetch, PatternRow& row) override {
        if ((fetch.i & 0xFE) != 0x1E) return;
        fill_from_rom(machine);
        row.pixels = patterns_[static_cast<size_t>((fetch.code & 0x80 ? 0x200 : 0) + 8 * (fetch.code & 0x3F) + fetch.row)];
    }

private:
    // Until a program loads its own, the board holds the ROM's characters
    // (the inverse ones inverted, as the board stores them), so that the
    // ZX81 reads as it should with the board switched on.
    void fill_from_rom(const Zx81& machine) {
        if (filled_) return;
        filled_ = true;
        for (size_t i = 0; i < 0x200; ++i) {
            patterns_[i] = machine.memory[rom::character_set + i];
            patterns_[0x200 + i] = static_cast<uint8_t>(~machine.memory[rom::character_set + i]);
        }
    }
    std::array<uint8_t, qs_chars_last - qs_chars_first + 1> patterns_{};
    bool filled_ = false;
};

}  // namespace

std::unique_ptr<Device> make_char_board(CharBoard board, bool ula_inverts) {
    switch (board) {
    case CharBoard::chr128: return std::make_unique<Chr128>(ula_inverts);
    case CharBoard::qs: return std::make_unique<QsCharacters>();
    case CharBoard::udg:
    case CharBoard::none: break;
    }
    return nullptr;
}
