// A few hundred damaged tape files: none crashes Orlix or holds it up, and
// none of the recordings gives a program other than the one recorded
// without saying that something is wrong.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <fstream>
#include <random>

#include "cassette.h"
#include "tape_images.h"
#include "temporary_folder.h"

namespace {

std::string bytes_of(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One of four kinds of damage: bytes changed here and there, the file cut
// short, a stretch of it repeated, a stretch of it zeroed.
std::string damaged(std::string file, std::mt19937& random) {
    const auto at = [&](size_t size) { return size ? random() % size : 0; };
    switch (random() % 4) {
    case 0:
        for (uint32_t n = 1 + random() % 8; n > 0; --n) file[at(file.size())] = static_cast<char>(random());
        break;
    case 1: file.resize(at(file.size())); break;
    case 2: {
        const size_t from = at(file.size()), length = std::min<size_t>(1 + random() % 512, file.size() - from);
        file.insert(at(file.size()), file.substr(from, length));
        break;
    }
    default: {
        const size_t from = at(file.size());
        std::fill_n(file.begin() + static_cast<long>(from), std::min<size_t>(1 + random() % 2048, file.size() - from),
                    '\0');
    }
    }
    return file;
}

using TapeFuzz = TemporaryFolder;

TEST_F(TapeFuzz, DamagedTapesAreReadOrRefusedQuicklyAndNeverWrongInSilence) {
    const std::vector<uint8_t> one = program_of_size(150, 1), two = program_of_size(200, 2);
    const TapeProgram first{tape_name_of("ONE"), one, 0, 0}, second{tape_name_of("TWO"), two, 0, 0};
    ASSERT_TRUE(write_tape_wav((dir / "saved.wav").string(), first).ok);
    ASSERT_TRUE(write_wav((dir / "cassette.wav").string(),
                          cassette_recording({first, second}, {.rate = 22050, .band_pass = true, .snr_db = 25, .lead_in = 0.5}),
                          22050, SF_FORMAT_PCM_16));
    std::vector<uint8_t> tzx = tzx_bytes(first), more = tzx_bytes(second);
    tzx.insert(tzx.end(), more.begin() + 10, more.end());
    write("tape.tzx", std::string(tzx.begin(), tzx.end()));
    std::string p81 = std::string(first.name.begin(), first.name.end()) + std::string(one.begin(), one.end());
    p81 += std::string(second.name.begin(), second.name.end()) + std::string(two.begin(), two.end());
    write("tape.p81", p81);
    struct Kind {
        const char* file;
        int mutants;
        bool recording;
    } const kinds[] = {{"saved.wav", 60, true}, {"cassette.wav", 60, true}, {"tape.tzx", 120, false},
                       {"tape.p81", 60, false}};
    std::mt19937 random(31);
    for (const Kind& kind : kinds) {
        const std::string original = bytes_of(dir / kind.file);
        const std::string name = std::string("damaged.") + (std::string(kind.file).ends_with("wav") ? "wav"
                                                            : std::string(kind.file).ends_with("tzx") ? "tzx"
                                                                                                      : "p81");
        for (int n = 0; n < kind.mutants; ++n) {
            write(name, damaged(original, random));
            const auto start = std::chrono::steady_clock::now();
            const TapeImage image = read_tape_image((dir / name).string());
            if (getenv("FUZZTIME")) printf("%s %d %lld ms %s\n", kind.file, n, (long long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count(), image.problem.c_str());
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << kind.file << " " << n;
            // A tape refused offers no program to load.
            EXPECT_TRUE(image.problem.empty() || image.playable || image.programs.empty()) << kind.file << " " << n;
            if (!kind.recording || !image.warnings.empty()) continue;
            for (const TapeProgram& program : image.programs)
                EXPECT_TRUE(program.data == one || program.data == two) << kind.file << " " << n << ": a program "
                                                                        << program.data.size() << " bytes long, "
                                                                        << "read without a word";
        }
    }
}

}  // namespace
