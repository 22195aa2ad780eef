// How long reading a seven-minute tape recording takes: a 16 KB program as
// Orlix's SAVE writes it (8-bit, 44.1 kHz) and as a cassette gives it back
// (band-limited, with hiss, 48 kHz, 16-bit); each read by the fast path
// (the decoder), then played through the ROM's own loader as --real-tape
// plays it headless: how many times faster than real time.
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "cassette.h"
#include "rom_load.h"
#include "tape_files.h"
#include "tape_images.h"

namespace {

double seconds_to_read(const std::string& path, TapeImage& image) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        image = read_tape_image(path);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    RomImage rom{};
    if (!read_rom(argc > 1 ? argv[1] : "../shared/roms/zx81.rom", rom)) {
        std::fprintf(stderr, "tape_bench: cannot read the ROM\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orlix-tape-bench";
    std::filesystem::create_directories(folder);
    const std::vector<uint8_t> data = program_of_size(16000, 16);
    const TapeProgram program{tape_name_of("BIG"), data, 0, 0};
    const std::string saved = (folder / "saved.wav").string(), cassette = (folder / "cassette.wav").string();
    if (!write_tape_wav(saved, program).ok ||
        !write_wav(cassette, cassette_recording({program}, {.rate = 48000, .band_pass = true, .snr_db = 18}), 48000,
                   SF_FORMAT_PCM_16)) {
        std::fprintf(stderr, "tape_bench: cannot write the recordings in %s\n", folder.c_str());
        return 2;
    }
    const auto machine = std::make_unique<Zx81>();
    for (const auto& [what, path] : {std::pair{"as Orlix saves it", saved}, std::pair{"as a cassette gives it", cassette}}) {
        TapeImage image;
        const double read = seconds_to_read(path, image);
        const bool found = image.programs.size() == 1 && image.programs[0].data == data;
        const double tape_seconds = static_cast<double>(image.signal.length()) / processor_clock;
        std::printf("a %zu-byte program, %.0f s of recording %s: read in %.3f s%s\n", data.size(), tape_seconds,
                    what, read, found ? "" : " (the program was not found!)");
        machine->model = Model::hardware;
        power_up(*machine, rom);
        for (int i = 0; i < 300; ++i) run_period(*machine);
        const RomLoad load = load_through_rom(*machine, image.signal, data);
        std::printf("  through the ROM's loader (--real-tape, headless): %.1f emulated s in %.2f s, %.0f times "
                    "real time%s\n",
                    load.emulated, load.elapsed, load.emulated / load.elapsed, load.loaded ? "" : " (it did not load!)");
    }
    std::filesystem::remove_all(folder);
    return 0;
}
