#include "chroma.h"

#include <array>

#include "zx81.h"

namespace {

constexpr uint8_t colour_on = 0x20;
constexpr uint8_t attribute_mode = 0x10;

class Chroma : public Device {
public:
    const char* name() const override { return "chroma"; }

    uint8_t in(Zx81&, uint16_t port, int64_t) override { return port == chroma_port ? 0xBF : 0xFF; }

    void out(Zx81&, uint16_t port, uint8_t value, int64_t) override {
        if (port == chroma_port) setting_ = value & 0x3F;
    }

    AddressRange tapped() const override { return {chroma_ram, 0xFFFF}; }

    bool memory_write(Zx81&, uint16_t address, uint8_t value, int64_t) override {
        ram_[address - chroma_ram] = value;
        return true;
    }

    bool shapes_picture() const override { return true; }

    void pattern(Zx81&, const PatternFetch& fetch, PatternRow& row) override {
        if (!(setting_ & colour_on)) return;
        row.coloured = true;
        if (setting_ & attribute_mode) {
            row.colour = ram_[(fetch.address | chroma_ram) - chroma_ram];
        } else {
            const int character = (fetch.code & 0x80 ? 64 : 0) + (fetch.code & 0x3F);
            row.colour = ram_[static_cast<size_t>(8 * character + fetch.row)];
        }
    }

    int border_colour(const Zx81&) const override { return setting_ & colour_on ? setting_ & 0x0F : -1; }

    // The reset button leaves colour off, as at power-up; its RAM keeps
    // what it holds ("colourised" games fill the table, then LOAD the game).
    void reset(Zx81&) override { setting_ = 0; }

private:
    uint8_t setting_ = 0;
    std::array<uint8_t, 0x4000> ram_{};
};

}  // namespace

std::unique_ptr<Device> make_chroma() {
    return std::make_unique<Chroma>();
}
