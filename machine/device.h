// The ZX81's expansion bus, and what is plugged into it: boards that answer
// the port reads and writes they decode, the memory writes in the addresses
// they tap, and the ULA's character-pattern fetch, and that hear of a reset
// and of each frame's end; and what plays into the EAR socket. Each kind is
// one file in machine/ that derives from Device; the machine keeps them in
// one list (Zx81::devices, made by configure() from the options), and both
// models' buses reach them through the functions below, so that a port is
// decoded in one place. The host side of a device (a picture of printer
// paper, a gamepad) reads the device's state from outside the machine.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct Zx81;

// Addresses from `first` to `last`, both included.
struct AddressRange {
    uint16_t first = 0xFFFF, last = 0;
    constexpr bool empty() const { return first > last; }
    constexpr bool holds(uint16_t address) const { return address >= first && address <= last; }
};

// What the ULA's pattern fetch gives: the row of eight pixels it shifts out
// (the ULA's own inversion of codes with bit 7 already made), and its
// colours where a board gives the picture colour (-1: the user's own).
struct PatternRow {
    uint8_t pixels;
    int8_t ink = -1, paper = -1;
};

class Device {
public:
    virtual ~Device() = default;

    // Its name, as its option and the title say it ("zonx", "chroma").
    virtual const char* name() const = 0;

    // What an IN from `port` at cycle `t` reads from this board: 0xFF where
    // it drives nothing (the bus is pulled up; what several drive is ANDed).
    virtual uint8_t in(Zx81& machine, uint16_t port, int64_t t);
    // An OUT to `port` at cycle `t`; every board sees every OUT.
    virtual void out(Zx81& machine, uint16_t port, uint8_t value, int64_t t);

    // The addresses whose memory writes it takes; none by default.
    virtual AddressRange tapped() const;
    // A memory write to a tapped address (memory is written as well).
    virtual void memory_write(Zx81& machine, uint16_t address, uint8_t value, int64_t t);

    // The level it plays into the EAR socket at cycle `t`: true for high.
    virtual bool ear(Zx81& machine, int64_t t);

    // The pattern row the ULA shifts out for display-file byte `code` at
    // `address` (where the processor fetched it) on glyph row `row`, with I
    // as the processor has it; none where the board leaves the fetch to the
    // machine.
    virtual std::optional<PatternRow> pattern(Zx81& machine, uint16_t address, uint8_t code, uint8_t row, uint8_t i);

    // The reset button (the power stays on).
    virtual void reset(Zx81& machine);
    // The television's frame has ended (in the hardware model, at each long
    // vertical sync; in the simple model, every other period).
    virtual void frame_end(Zx81& machine);
};

using Devices = std::vector<std::unique_ptr<Device>>;

// The ULA's decoding of an OUT: A0 low turns the NMI generator on, A1 low
// turns it off.
struct UlaPortWrite {
    bool nmi_on, nmi_off;
};
constexpr UlaPortWrite ula_port_write(uint16_t port) {
    return {!(port & 1), (port & 1) && !(port & 2)};
}

// The tapped range of every board together; the buses test each write
// against it.
AddressRange tapped_by(const Devices& devices);
