// Speed of the whole machine, unthrottled: the real ROM in each model, from
// power-up through its start to the K prompt and then idling there (in the
// hardware model that is SLOW mode, the display made by execution), for a
// number of emulated seconds; each silent, then making 44.1 kHz sound with
// the AY playing three tones, noise and an envelope. Prints emulated MHz,
// how many times real time that is, and what the sound costs. The headroom
// over real time is what a fast-forward can use.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zx81.h"

namespace {

// A chord on the ZON X ports: tones A, B, C, noise on C, B on the envelope.
void play_chord(Zx81& machine) {
    const int64_t now = static_cast<int64_t>(machine.cycles_run.load());
    const uint8_t registers[][2] = {{0, 0xE7}, {2, 0xAB}, {3, 0x01}, {4, 0xD5}, {6, 0x0F}, {7, 0x18},
                                    {8, 0x0F}, {9, 0x10}, {10, 0x0C}, {11, 0x00}, {12, 0x08}, {13, 0x0E}};
    for (const auto& [reg, value] : registers) {
        sound_port_write(machine.sound, now, 0xCF, reg);
        sound_port_write(machine.sound, now, 0x0F, value);
    }
}

// Runs the machine for `seconds` of emulated time; returns emulated MHz.
double run(double seconds) {
    const uint64_t cycles = static_cast<uint64_t>(seconds * processor_clock);
    const uint64_t start_cycles = zx81.cycles_run.load();
    const auto start = std::chrono::steady_clock::now();
    while (zx81.cycles_run.load() - start_cycles < cycles) {
        run_period(zx81);
        zx81.sound.samples.clear();
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(zx81.cycles_run.load() - start_cycles) / elapsed / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string rom_path = argc > 1 ? argv[1] : "../shared/roms/zx81.rom";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    const RomFile rom = read_rom_file(rom_path);
    if (!rom.ok) {
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
    for (Model model : {Model::simple, Model::hardware}) {
        double first = 0, silent = 0;
        for (const Case& c : cases) {
            zx81.model = model;
            zx81.sound.sample_rate = c.rate;
            power_up(zx81, rom.image);
            if (c.chord) play_chord(zx81);
            const double mhz = run(seconds);
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
    return 0;
}
