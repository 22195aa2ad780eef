#include "rom_load.h"

#include <algorithm>
#include <chrono>
#include <fstream>

#include "program_image.h"

namespace {

void press(Zx81& zx81, std::initializer_list<ZxKey> keys) {
    KeyMatrix down = no_keys_down;
    for (ZxKey key : keys) press_key(down, key);
    set_keys(zx81, down);
    for (int i = 0; i < 10; ++i) run_period(zx81);
    set_keys(zx81, no_keys_down);
    for (int i = 0; i < 10; ++i) run_period(zx81);
}

}  // namespace

RomLoad load_through_rom(Zx81& zx81, const TapeSignal& signal, const std::vector<uint8_t>& expected) {
    using namespace zx_key;
    zx81.tape.traps = false;
    insert_tape(zx81.tape.deck, signal, "bench");
    for (auto keys : {std::initializer_list<ZxKey>{j}, {shift, p}, {shift, p}}) press(zx81, keys);
    add_breakpoint(zx81.debug, WatchKind::execute, rom::slow_fast_check);  // LOAD has stored its last byte
    KeyMatrix down = no_keys_down;
    press_key(down, newline);
    set_keys(zx81, down);
    const uint64_t start_cycles = zx81.cycles_run;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10 && !zx81.debug.stopped; ++i) run_period(zx81);
    set_keys(zx81, no_keys_down);
    const uint64_t most = signal.length() / static_cast<uint64_t>(period_cycles) + 1000;
    for (uint64_t i = 0; i < most && !zx81.debug.stopped; ++i) run_period(zx81);
    RomLoad load;
    load.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    load.emulated = static_cast<double>(zx81.cycles_run - start_cycles) / processor_clock;
    load.loaded = zx81.debug.stopped && std::equal(expected.begin(), expected.end(), zx81.memory.begin() + program_start);
    clear_breakpoints(zx81.debug);
    resume(zx81.debug);
    eject_tape(zx81.tape.deck);
    return load;
}

bool read_rom(const char* path, RomImage& rom) {
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(rom.data()), static_cast<std::streamsize>(rom.size()));
    return file.gcount() == static_cast<std::streamsize>(rom.size());
}
