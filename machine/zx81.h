// The ZX81 as a front end drives it: one machine record, powered up with a
// ROM, run a period at a time, given the keys that are down, and asked for
// its picture. Nothing here knows of a window, a keyboard or a timer.
#pragma once

#include <atomic>
#include <cstdint>

#include "display_file.h"
#include "keyboard.h"
#include "memory_map.h"
#include "z80.h"

// How the machine is emulated. The simple model runs the processor flat out
// through each period and takes its picture from the display file.
enum class Model { simple };

struct Zx81 {
    Memory memory{};
    Z80State cpu{};
    KeyMatrix keys = no_keys_down;
    Model model = Model::simple;
    Frame frame;                        // the picture last asked for
    std::atomic<uint64_t> cycles_run{0};  // processor cycles since power-up
};

// The one machine. The processor's bus callbacks serve it, so it is the one
// that the functions below run.
extern Zx81 zx81;

// Processor cycles in a period of the simple model.
constexpr int32_t period_cycles = 32000;

// Power-up: memory as at power-on with the ROM in place, no key down, the
// processor reset.
void power_up(Zx81& machine, const RomImage& rom);

// The reset button: RAM cleared, the ROM copy restored, the processor reset.
void reset(Zx81& machine);

// Runs the processor for one period (32,000 cycles in the simple model), with
// the keys last set held down throughout.
void run_period(Zx81& machine);

// The keys the ZX81 sees as down from now on.
void set_keys(Zx81& machine, const KeyMatrix& keys);

// The picture of the ZX81 screen as it stands.
const Frame& latest_frame(Zx81& machine);
