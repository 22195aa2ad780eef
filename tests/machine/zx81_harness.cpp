#include "zx81_harness.h"

#include <fstream>
#include <sstream>

namespace harness {

std::string shared_path(const std::string& relative) {
    return std::string(ORLIX_SHARED_DIR) + "/" + relative;
}

RomImage rom() {
    RomImage image{};
    std::ifstream file(shared_path("roms/zx81.rom"), std::ios::binary);
    file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (file.gcount() != static_cast<std::streamsize>(image.size()))
        ADD_FAILURE() << "cannot read the ROM in " << shared_path("roms");
    return image;
}

}  // namespace harness

void TestMachine::between_periods(std::function<void()> hook) {
    after_period_ = std::move(hook);
}

void TestMachine::start_machine(Model model, bool ntsc, int ram_kb) {
    zx81.model = model;
    zx81.ntsc = ntsc;
    zx81.ram_kb = ram_kb;
    zx81.tape.traps = true;
    power_up(zx81, harness::rom());
}

void TestMachine::run_periods(int periods) {
    for (int i = 0; i < periods; ++i) {
        run_period(zx81);
        if (after_period_) after_period_();
    }
}

void TestMachine::boot() {
    for (int i = 0; i < 600 && !shows_k_prompt(zx81.memory); ++i) run_periods(1);
    run_periods(20);
}

void TestMachine::press(std::initializer_list<ZxKey> keys) {
    KeyMatrix down = no_keys_down;
    for (ZxKey k : keys) press_key(down, k);
    set_keys(zx81, down);
    run_periods(10);
    set_keys(zx81, no_keys_down);
    run_periods(10);
}

void TestMachine::type(std::initializer_list<ZxKey> keys) {
    for (ZxKey k : keys) press({k});
}

uint8_t TestMachine::screen_code(int column, int line) const {
    return display_code(zx81.memory, column, line);
}

std::string TestMachine::screen_dump() const {
    std::ostringstream out;
    for (int line = 0; line < 24; ++line) {
        for (int column = 0; column < 32; ++column) {
            const uint8_t code = screen_code(column, line);
            out << (code == 0 ? "." : std::to_string(code)) << ' ';
        }
        out << '\n';
    }
    return out.str();
}
