// Speed of the whole machine, unthrottled: the real ROM in each model, from
// power-up through its start to the K prompt and then idling there (in the
// hardware model that is SLOW mode, the display made by execution), for a
// number of emulated seconds; each silent, then making 44.1 kHz sound with
// the AY playing three tones, noise and an envelope. Prints emulated MHz,
// how many times real time that is, and what the sound costs. The headroom
// over real time is what a fast-forward can use. Last, a 16 KB program
// loaded through the ROM's own loader from the tape deck, in the hardware
// model: how long its signal plays, and how long that takes here.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "basic_text.h"
#include "ports.h"
#include "program_image.h"
#include "rom_load.h"
#include "tape_signal.h"
#include "zx81.h"

namespace {

// A chord on the ZON X ports: tones A, B, C, noise on C, B on the envelope.
void play_chord(Zx81& machine) {
    const int64_t now = static_cast<int64_t>(machine.cycles_run);
    const uint8_t registers[][2] = {{0, 0xE7}, {2, 0xAB}, {3, 0x01}, {4, 0xD5}, {6, 0x0F}, {7, 0x18},
                                    {8, 0x0F}, {9, 0x10}, {10, 0x0C}, {11, 0x00}, {12, 0x08}, {13, 0x0E}};
    for (const auto& [reg, value] : registers) {
        boards_out(machine, 0xCF, reg, now);
        boards_out(machine, 0x0F, value, now);
    }
}

// Runs the machine for `seconds` of emulated time; returns emulated MHz.
double run(Zx81& zx81, double seconds) {
    const uint64_t cycles = static_cast<uint64_t>(seconds * processor_clock);
    const uint64_t start_cycles = zx81.cycles_run;
    const auto start = std::chrono::steady_clock::now();
    while (zx81.cycles_run - start_cycles < cycles) {
        run_period(zx81);
        zx81.sound.samples.clear();
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(zx81.cycles_run - start_cycles) / elapsed / 1e6;
}

void run_periods(Zx81& zx81, int periods) {
    for (int i = 0; i < periods; ++i) run_period(zx81);
}

void press(Zx81& zx81, std::initializer_list<ZxKey> keys) {
    KeyMatrix down = no_keys_down;
    for (ZxKey key : keys) press_key(down, key);
    set_keys(zx81, down);
    run_periods(zx81, 10);
    set_keys(zx81, no_keys_down);
    run_periods(zx81, 10);
}

// DIM A(3000) fills the memory of a 16K ZX81; its values are made random,
// so that the signal has as many 1s as 0s.
void real_tape_load(Zx81& zx81, const RomImage& rom) {
    using namespace zx_key;
    zx81.model = Model::hardware;
    zx81.sound.sample_rate = 0;
    power_up(zx81, rom);
    zx81.tape.traps = false;
    run_periods(zx81, 300);
    for (auto keys : {std::initializer_list<ZxKey>{d}, {a}, {shift, i}, {digit3}, {digit0}, {digit0}, {digit0},
                      {shift, o}, {newline}})
        press(zx81, keys);
    run_periods(zx81, 50);
    const uint16_t e_line = word_at(zx81.memory, sysvar::e_line);
    TapeProgram program{tape_name_of("BIG"), {zx81.memory.begin() + program_start, zx81.memory.begin() + e_line}, 0, 0};
    std::mt19937 random(16);
    for (size_t i = word_at(zx81.memory, sysvar::vars) - program_start + 6; i + 1 < program.data.size(); ++i)
        program.data[i] = static_cast<uint8_t>(random());
    program.data[sysvar::cdflag - program_start] &= static_cast<uint8_t>(~sysvar::slow_running);  // as SAVE leaves it
    const TapeSignal signal = encode_programs({program}, tape_timing::rom_lead_in);
    press(zx81, {a});  // NEW
    const RomLoad load = load_through_rom(zx81, signal, program.data);
    std::printf("hardware model, a %zu-byte program through the ROM's loader: %.1f s of signal, loaded in %.1f "
                "emulated s and %.2f s here (%.0f times real time)%s\n",
                program.data.size(), static_cast<double>(signal.length()) / processor_clock, load.emulated,
                load.elapsed, load.emulated / load.elapsed, load.loaded ? "" : " (the memory differs!)");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string rom_path = argc > 1 ? argv[1] : "../shared/roms/zx81.rom";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    RomImage rom{};
    if (!read_rom(rom_path.c_str(), rom)) {
        std::fprintf(stderr, "machine_bench: cannot read %s\n", rom_path.c_str());
        return 2;
    }
    // No sound made; sound made with the AY silent; the AY playing.
    struct Case {
        const char* name;
        int rate;
        bool chord;
    };
    constexpr Case cases[] = {{"no sound made:", 0, false},
                              {"44.1 kHz, AY silent:", 44100, false},
                              {"44.1 kHz, AY playing:", 44100, true}};
    const auto machine = std::make_unique<Zx81>();
    Zx81& zx81 = *machine;
    for (Model model : {Model::simple, Model::hardware}) {
        double first = 0, silent = 0;
        for (const Case& c : cases) {
            zx81.model = model;
            zx81.sound.sample_rate = c.rate;
            power_up(zx81, rom);
            if (c.chord) play_chord(zx81);
            const double mhz = run(zx81, seconds);
            if (c.rate == 0) first = mhz;
            if (c.rate != 0 && !c.chord) silent = mhz;
            std::printf("%-8s model, %-22s %.0f emulated s: %5.0f emulated MHz, %4.0f times real time%s",
                        model_name(model), c.name, seconds, mhz, mhz * 1e6 / processor_clock,
                        shows_k_prompt(zx81.memory) ? "" : " (no K prompt!)");
            if (c.rate != 0) std::printf(", %.1f%% slower than with no sound", 100 * (1 - mhz / first));
            if (c.chord) std::printf(", %.1f%% than the AY silent", 100 * (1 - mhz / silent));
            std::printf("\n");
        }
    }
    real_tape_load(zx81, rom);
    return 0;
}
