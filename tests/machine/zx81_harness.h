// Runs the real ZX81 ROM on a machine of the test's own, without any host:
// the test presses ZX81 keys, runs periods and reads the screen from memory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "zx81.h"

namespace harness {

std::string shared_path(const std::string& relative);

// The real ROM, from the shared material.
RomImage rom();

}  // namespace harness

// A machine for one test: made fresh for each, so that nothing one test
// does reaches the next.
class TestMachine {
public:
    // Powers the machine up with the real ROM, in the model and with the
    // RAM given.
    void start_machine(Model model = Model::simple, bool ntsc = false, int ram_kb = default_ram_kb);

    // Something the test does after every period, as a front end does
    // (serving LOAD and SAVE, say); an empty hook does nothing.
    void between_periods(std::function<void()> hook);

    // Runs the processor for `periods` periods, each followed by the hook
    // above.
    void run_periods(int periods);

    // Boots: until the ROM shows its K prompt (about 1.5 emulated seconds),
    // and a little longer.
    void boot();

    // Holds the keys together for ten periods, then releases them for ten.
    void press(std::initializer_list<ZxKey> keys);

    // Types a sequence of single keys.
    void type(std::initializer_list<ZxKey> keys);

    // The character code at (column, line) of the display file.
    uint8_t screen_code(int column, int line) const;

    // The screen as text of ZX81 codes, line by line, for messages.
    std::string screen_dump() const;

private:
    std::unique_ptr<Zx81> owned_ = std::make_unique<Zx81>();
    std::function<void()> after_period_;

public:
    Zx81& zx81 = *owned_;
};

// A test with a machine of its own.
class MachineTest : public ::testing::Test, public TestMachine {};
