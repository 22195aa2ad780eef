// Recordings as cassettes give them, made from programs: each loads through
// the fast path (the decoder) and through the ROM's own loader, or fails
// where it should, saying where.
#include <gtest/gtest.h>

#include <sndfile.h>

#include "cassette.h"
#include "real_tape.h"
#include "tape_files.h"
#include "tape_images.h"

namespace {

using Cassettes = RealTape;

TEST_F(Cassettes, EachLoadsThroughTheDecoderAndTheRom) {
    struct Case {
        Cassette c;
        size_t size = 1000;
    } const cases[] = {
        {{.what = "band-passed, 100 bytes", .band_pass = true}, 100},
        {{.what = "gain wandering 2x", .band_pass = true, .gain_low = 0.5}},
        {{.what = "8% fast, 1% wow", .band_pass = true, .speed = 1.08, .wow = 0.01}},
        {{.what = "8% slow, 1% wow", .band_pass = true, .speed = 0.92, .wow = 0.01}},
        {{.what = "hiss at 12 dB", .band_pass = true, .snr_db = 12}},
        {{.what = "22.05 kHz, float", .rate = 22050, .band_pass = true}},
        {{.what = "48 kHz", .rate = 48000, .band_pass = true}},
        {{.what = "96 kHz", .rate = 96000, .band_pass = true}},
        {{.what = "8 kHz", .rate = 8000, .band_pass = true, .snr_db = 24}},
        {{.what = "10 s of hiss first", .band_pass = true, .snr_db = 20, .hiss_first = 10}},
        {{.what = "upside down, DC", .band_pass = true, .inverted = true}},
        {{.what = "all at once", .rate = 48000, .band_pass = true, .gain_low = 0.6, .speed = 0.95, .wow = 0.01,
          .snr_db = 15, .hiss_first = 10}},
        {{.what = "16 KB with hiss", .band_pass = true, .snr_db = 15}, 16000},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.c.what);
        const std::vector<uint8_t> data = program_of_size(row.size, static_cast<uint32_t>(row.size));
        const TapeProgram program{tape_name_of("CASSETTE"), data, 0, 0};
        std::vector<float> samples = cassette_recording({program}, row.c);
        if (std::string(row.c.what).starts_with("upside"))
            for (float& x : samples) x = x * 0.8f + 0.15f;
        const std::string file = (dir / "tape.wav").string();
        const int format = row.c.rate == 22050 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16;
        ASSERT_TRUE(write_wav(file, samples, row.c.rate, format));
        const TapeImage image = read_tape_image(file);
        ASSERT_EQ(image.problem, "");
        EXPECT_TRUE(image.warnings.empty()) << image.warnings.front();
        ASSERT_EQ(image.programs.size(), 1u);
        EXPECT_TRUE(image.programs[0].data == data);
        fresh_machine();
        const Loaded loaded = real_load(image.signal);
        EXPECT_TRUE(loaded.ended && memory_holds(data)) << "through the ROM";
    }
}

// Two programs in a row: both found, in order; the ROM's LOAD "" takes the
// first and LOAD "TWO" the second. A stereo recording whose left channel is
// hum is read from its right.
TEST_F(Cassettes, TwoProgramsInARowOnTheBetterChannel) {
    const std::vector<uint8_t> one = program_of_size(300, 1), two = program_of_size(400, 2);
    const std::vector<float> mono = cassette_recording(
        {{tape_name_of("ONE"), one, 0, 0}, {tape_name_of("TWO"), two, 0, 0}},
        {.band_pass = true, .snr_db = 20, .lead_in = 2});
    std::vector<float> stereo;
    for (size_t i = 0; i < mono.size(); ++i) {
        stereo.push_back(0.5f * static_cast<float>(std::sin(2 * 3.14159 * 50 * static_cast<double>(i) / 44100)));
        stereo.push_back(mono[i]);
    }
    const std::string file = (dir / "two.wav").string();
    ASSERT_TRUE(write_wav(file, stereo, 44100, SF_FORMAT_PCM_24, 2));
    const TapeImage image = read_tape_image(file);
    ASSERT_EQ(image.programs.size(), 2u) << image.problem;
    EXPECT_TRUE(image.programs[0].data == one && image.programs[1].data == two);
    EXPECT_LT(image.programs[0].end, image.programs[1].start);
    for (bool by_name : {false, true}) {
        fresh_machine();
        const Loaded loaded = by_name ? real_load(image.signal, {zx_key::t, zx_key::w, zx_key::o})
                                      : real_load(image.signal);
        EXPECT_TRUE(loaded.ended && memory_holds(by_name ? two : one)) << by_name;
    }
}

// A 5 ms dropout inside the data: the decoder says when and at which byte,
// and loads nothing; the ROM, which does not know, loads something else.
TEST_F(Cassettes, ADropoutIsNamedAndFailsThroughTheRom) {
    const std::vector<uint8_t> data = program_of_size(1000, 3);
    const std::vector<float> samples = cassette_recording(
        {{tape_name_of("CASSETTE"), data, 0, 0}}, {.band_pass = true, .dropout_at = 12.0});
    ASSERT_TRUE(write_wav((dir / "drop.wav").string(), samples, 44100, SF_FORMAT_PCM_16));
    const TapeImage image = read_tape_image((dir / "drop.wav").string());
    EXPECT_EQ(image.problem, "no ZX81 program found in the recording");
    ASSERT_FALSE(image.warnings.empty());
    double when = 0;
    int byte = 0;
    ASSERT_EQ(std::sscanf(image.warnings[0].c_str(), "at %lf s, byte %d", &when, &byte), 2) << image.warnings[0];
    EXPECT_NEAR(when, 12.0, 0.01) << image.warnings[0];
    // 5.1 s of lead-in, then bytes of 26 ms on average (random data).
    EXPECT_NEAR(byte, (12.0 - 5.1) / 0.026, 40) << image.warnings[0];
    EXPECT_TRUE(image.playable);
    const Loaded loaded = real_load(image.signal);
    EXPECT_FALSE(loaded.ended && memory_holds(data));
}

// A 15 KB program saved as a WAV and as a TZX, as SAVE and --save write
// them, loads back both ways byte for byte.
TEST_F(Cassettes, A15KProgramSavedAsWavAndTzxLoadsBackBothWays) {
    const std::vector<uint8_t> data = fifteen_kilobytes();
    ASSERT_GT(data.size(), 15'000u);
    for (const char* file : {"big.wav", "big.tzx"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(save_program_file(zx81, (dir / file).string()).ok);
        const TapeImage image = read_tape_image((dir / file).string());
        ASSERT_EQ(image.programs.size(), 1u) << image.problem;
        EXPECT_TRUE(image.programs[0].data == data);
    }
    for (const char* file : {"big.wav", "big.tzx"}) {
        SCOPED_TRACE(file);
        fresh_machine();
        const Loaded loaded = real_load(read_tape_image((dir / file).string()).signal);
        EXPECT_TRUE(loaded.ended && memory_holds(data));
    }
}

}  // namespace
