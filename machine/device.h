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
#include <vector>

struct Zx81;

// Addresses from `first` to `last`, both included.
struct AddressRange {
    uint16_t first = 0xFFFF, last = 0;
    constexpr bool empty() const { return first > last; }
    constexpr bool holds(uint16_t address) const { return address >= first && address <= last; }
};

// The ULA's fetch of a character's pattern: the display-file byte `code`
// the processor fetched at `address` (above 0x7FFF, where the display runs),
// the glyph row, and I as the processor has it.
struct PatternFetch {
    uint16_t address;
    uint8_t code;
    uint8_t row;
    uint8_t i;
};

// What the fetch gives the picture: the row of eight pixels (before the
// ULA's inversion, which `invert` asks for: codes with bit 7 set), and a
// colour byte where a board colours the picture (high nibble paper, low
// nibble ink, each I G R B as colours.h numbers them).
struct PatternRow {
    uint8_t pixels;
    bool invert;
    uint8_t colour = 0;
    bool coloured = false;
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
    // A memory write to a tapped address: true when the board took it for
    // its own memory (the machine's memory is then not written), false when
    // memory is written as well.
    virtual bool memory_write(Zx81& machine, uint16_t address, uint8_t value, int64_t t);

    // The level it plays into the EAR socket at cycle `t`: true for high.
    virtual bool ear(Zx81& machine, int64_t t);

    // Whether it takes part in the ULA's pattern fetch (below); most boards
    // do not, and the fetch then costs nothing more.
    virtual bool shapes_picture() const;
    // The pattern row the ULA shifts out for `fetch`: `row` holds what the
    // ZX81 alone would give, and the board changes it (its own pixels, a
    // colour).
    virtual void pattern(Zx81& machine, const PatternFetch& fetch, PatternRow& row);
    // The colour of the television's border it gives (I G R B), or -1.
    virtual int border_colour(const Zx81& machine) const;

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
