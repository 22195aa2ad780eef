// Speed of the whole machine, unthrottled: the real ROM in each model, from
// power-up through its start to the K prompt and then idling there (in the
// hardware model that is SLOW mode, the display made by execution), for a
// number of emulated seconds. Prints emulated MHz and how many times real
// time that is. The headroom over real time is what a fast-forward can use.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zx81.h"

int main(int argc, char** argv) {
    const std::string rom_path = argc > 1 ? argv[1] : "../shared/roms/zx81.rom";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    const RomFile rom = read_rom_file(rom_path);
    if (!rom.ok) {
        std::fprintf(stderr, "machine_bench: cannot read %s\n", rom_path.c_str());
        return 2;
    }
    for (Model model : {Model::simple, Model::hardware}) {
        zx81.model = model;
        power_up(zx81, rom.image);
        const double real_hz = model == Model::hardware ? 3.25e6 : 3.2e6;
        const uint64_t cycles = static_cast<uint64_t>(seconds * real_hz);
        const uint64_t start_cycles = zx81.cycles_run.load();
        const auto start = std::chrono::steady_clock::now();
        while (zx81.cycles_run.load() - start_cycles < cycles) run_period(zx81);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double mhz = static_cast<double>(zx81.cycles_run.load() - start_cycles) / elapsed / 1e6;
        std::printf("%-8s model: %.0f emulated s in %.2f s = %.0f emulated MHz, %.0f times real time%s\n",
                    model_name(model), seconds, elapsed, mhz, mhz * 1e6 / real_hz,
                    shows_k_prompt(zx81.memory) ? "" : " (no K prompt!)");
    }
    return 0;
}
