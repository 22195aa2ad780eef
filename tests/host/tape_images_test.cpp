// Tapes as signals and files: the pulses SAVE sends, WAV recordings read
// back by the ROM's own loader after what old tapes go through, TZX and P81
// files, tapes with several programs, and bad tapes.
#include <gtest/gtest.h>

#include <chrono>

#include <sndfile.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "run_orlix.h"
#include "tape_files.h"
#include "tape_images.h"
#include "real_tape.h"
#include "temporary_folder.h"
#include "zx81_harness.h"

namespace fs = std::filesystem;

namespace {



using namespace zx_key;

// The smallest program: no lines, a collapsed display, no autorun (E_LINE
// 0x4097, so 142 bytes).
std::vector<uint8_t> min_p() {
    static constexpr std::array<uint8_t, 51> system_variables = {
        0x00, 0x00, 0x00, 0x7D, 0x40, 0x7E, 0x40, 0x96, 0x40, 0x00, 0x00, 0x97, 0x40, 0x96, 0x40, 0x00, 0x00,
        0x97, 0x40, 0x97, 0x40, 0x00, 0x5D, 0x40, 0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x37, 0x7D, 0x40,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x8D, 0x0C, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xBC, 0x21, 0x18, 0x40};
    std::vector<uint8_t> p(142, 0x00);
    std::copy(system_variables.begin(), system_variables.end(), p.begin());
    p[0x53] = 0x76;
    for (size_t i = 0x74; i < 0x8D; ++i) p[i] = 0x76;  // the collapsed display
    p[0x8D] = 0x80;                                     // the variables' end
    return p;
}

// min_p with a program of its own: a different byte in the printer buffer.
std::vector<uint8_t> other_p(uint8_t mark) {
    std::vector<uint8_t> p = min_p();
    p[0x40] = mark;
    return p;
}

TapeProgram program_named(const char* name, std::vector<uint8_t> data) {
    return {tape_name_of(name), std::move(data), 0, 0};
}

std::vector<float> read_samples(const fs::path& path, int& rate) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (!file) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    rate = info.samplerate;
    return samples;
}

void write_samples(const fs::path& path, const std::vector<float>& samples, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path;
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);  // a resampler's overshoot clips, as a recorder's would
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
}

// The recording played back `step` input samples to each output sample
// (2: at half the rate; 1.05: 5% fast), through a windowed-sinc low-pass as
// a resampler does.
std::vector<float> resampled(const std::vector<float>& in, double step) {
    const double cutoff = 0.5 / std::max(1.0, step);
    const double half_width = 8 * std::max(1.0, step);
    std::vector<float> out(static_cast<size_t>(static_cast<double>(in.size()) / step));
    for (size_t j = 0; j < out.size(); ++j) {
        const double t = static_cast<double>(j) * step;
        double sum = 0;
        const auto first = static_cast<long>(std::ceil(t - half_width));
        for (long i = std::max(0L, first); i <= static_cast<long>(t + half_width) && i < static_cast<long>(in.size()); ++i) {
            const double x = t - static_cast<double>(i);
            const double sinc = x == 0 ? 1 : std::sin(2 * std::numbers::pi * cutoff * x) / (std::numbers::pi * x);
            const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / half_width);
            sum += in[static_cast<size_t>(i)] * (x == 0 ? 2 * cutoff : sinc) * window;
        }
        out[j] = static_cast<float>(sum);
    }
    return out;
}

TEST(TapeSignal, PulsesAndBitTimesAsSaveSendsThem) {
    struct Vector {
        uint8_t byte;
        std::vector<int> bursts;
    };
    const Vector vectors[] = {
        {0x26, {4, 4, 9, 4, 4, 9, 9, 4}},  // "A"
        {0xA6, {9, 4, 9, 4, 4, 9, 9, 4}},  // "A" as a name's last character
        {0x00, {4, 4, 4, 4, 4, 4, 4, 4}},
        {0xFF, {9, 9, 9, 9, 9, 9, 9, 9}},
        {0x80, {9, 4, 4, 4, 4, 4, 4, 4}},  // the last byte of every program
    };
    for (const Vector& v : vectors) {
        SignalBuilder builder;
        add_program(builder, {{v.byte}, {}, 0, 0}, 10'000);
        EXPECT_EQ(pulse_bursts(builder.take()), v.bursts) << int(v.byte);
    }
    // From each burst's first rising edge to the next one's: a 1, then 0s;
    // the byte's last bit also has the fetch of the next byte.
    SignalBuilder builder;
    add_program(builder, {{0x80}, {0x00}, 0, 0}, 10'000);
    const TapeSignal signal = builder.take();
    std::vector<uint64_t> starts;
    uint64_t at = 0;
    for (size_t i = 0; i < signal.stretches.size(); ++i) {
        if (i % 2 == 1 && (i == 1 || signal.stretches[i - 1] > 1300)) starts.push_back(at);
        at += signal.stretches[i];
    }
    ASSERT_EQ(starts.size(), 16u);
    EXPECT_EQ(starts[1] - starts[0], 13'164u);
    EXPECT_EQ(starts[2] - starts[1], 8'289u);
    EXPECT_EQ(starts[8] - starts[7], 8'289u + 77);  // after a name byte
}

// A program saved as a WAV loads through the ROM's own loader into the same
// memory, and the fast decoder reads the same bytes, after the recording has
// been resampled, played fast or slow, turned down or made noisy.
TEST_F(RealTape, AWavLoadsThroughTheRomAfterWhatTapesGoThrough) {
    const TapeProgram program = program_named("A", min_p());
    ASSERT_TRUE(write_tape_wav((dir / "saved.wav").string(), program).ok);
    int rate = 0;
    const std::vector<float> original = read_samples(dir / "saved.wav", rate);
    ASSERT_EQ(rate, 44100);
    std::mt19937 random(81);
    std::normal_distribution<float> gauss(0, 1);
    struct Change {
        const char* name;
        std::vector<float> samples;
        int rate;
    };
    std::vector<Change> changes;
    changes.push_back({"as saved", original, 44100});
    changes.push_back({"resampled to 22050 Hz", resampled(original, 2), 22050});
    changes.push_back({"resampled to 11025 Hz", resampled(original, 4), 11025});
    changes.push_back({"5% fast", resampled(original, 1.05), 44100});
    changes.push_back({"5% slow", resampled(original, 0.95), 44100});
    std::vector<float> quiet = original, noisy = original, upside_down = original;
    for (float& x : upside_down) x = -x;
    changes.push_back({"upside down", upside_down, 44100});
    double sum = 0, squares = 0;
    for (float x : original) sum += x, squares += x * x;
    const double mean = sum / original.size();
    const double rms = std::sqrt(squares / original.size() - mean * mean);
    for (float& x : quiet) x *= 0.1f;
    for (float& x : noisy) x += static_cast<float>(rms / 10) * gauss(random);  // 20 dB
    changes.push_back({"at 10% of its level", quiet, 44100});
    changes.push_back({"with noise at 20 dB", noisy, 44100});

    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        const fs::path file = dir / "changed.wav";
        write_samples(file, change.samples, change.rate);
        const TapeImage image = read_tape_image(file.string());
        ASSERT_EQ(image.problem, "");
        ASSERT_EQ(image.programs.size(), 1u);
        EXPECT_EQ(image.programs[0].name, program.name);
        EXPECT_EQ(image.programs[0].data, program.data);
        EXPECT_TRUE(image.warnings.empty()) << image.warnings[0];

        fresh_machine();
        const Loaded loaded = real_load(image.signal);
        ASSERT_TRUE(loaded.ended);
        EXPECT_TRUE(memory_holds(program.data));
    }
}

// Running the loader's waits at once ends the same as running them pass by
// pass, to the cycle and the register.
TEST_F(RealTape, TheLoadersQuickWaitsEndAsPassByPass) {
    const TapeProgram program = program_named("A", min_p());
    ASSERT_TRUE(write_tape_wav((dir / "saved.wav").string(), program).ok);
    int rate = 0;
    std::vector<float> samples = read_samples(dir / "saved.wav", rate);
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0, 0.05f);
    for (float& x : samples) x += gauss(random);
    write_samples(dir / "noisy.wav", samples, rate);
    const TapeSignal signal = read_tape_image((dir / "noisy.wav").string()).signal;
    struct End {
        uint64_t cycles;
        Z80State cpu;
    } ends[2];
    for (int quick = 0; quick < 2; ++quick) {
        fresh_machine();
        zx81.tape.quick_waits = quick;
        const Loaded loaded = real_load(signal);
        ASSERT_TRUE(loaded.ended);
        ends[quick] = {loaded.cycles, zx81.cpu};
    }
    EXPECT_EQ(ends[0].cycles, ends[1].cycles);
    for (auto pair : {&Z80State::AF, &Z80State::BC, &Z80State::DE, &Z80State::HL, &Z80State::SP})
        EXPECT_EQ((ends[0].cpu.*pair).w, (ends[1].cpu.*pair).w);
    EXPECT_EQ(ends[0].cpu.R, ends[1].cpu.R);
}

// 16 KB through the real loader take as long as the signal does.
TEST_F(RealTape, A16KProgramLoadsInTheTimeItsSignalTakes) {
    std::vector<uint8_t> data = fifteen_kilobytes();
    ASSERT_GT(data.size(), 15'000u);
    std::mt19937 random(16);
    for (size_t i = word_at(zx81.memory, 0x4010) - 0x4009u + 6; i + 1 < data.size(); ++i)
        data[i] = static_cast<uint8_t>(random());
    data[0x403B - 0x4009] &= 0x7F;  // as SAVE leaves CDFLAG: the display off
    const TapeProgram big = program_named("BIG", data);
    const TapeSignal signal = encode_programs({big}, tape_timing::rom_lead_in);
    const uint64_t end = decode_signal(signal).programs.at(0).end;
    press({a});  // NEW
    const Loaded loaded = real_load(signal);
    ASSERT_TRUE(loaded.ended);
    EXPECT_TRUE(memory_holds(data));
    EXPECT_NEAR(static_cast<double>(loaded.played), static_cast<double>(end), 0.02 * static_cast<double>(end));
    // The deck plays by the machine's clock: the load took what the tape played.
    EXPECT_GE(loaded.cycles, loaded.played);
    EXPECT_LT(loaded.cycles, loaded.played + 3'250'000 / 2);
}

// The TZX example of the notes on the format: a text, a pause, and "A" with
// the smallest program in block 0x19. It loads at once and through the ROM,
// which runs nothing after it; what Orlix writes for that program is the
// same block.
TEST_F(RealTape, TheTzxExampleLoads) {
    std::vector<uint8_t> tzx = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20, 0x30, 12};
    for (char c : std::string("ZX81 example")) tzx.push_back(static_cast<uint8_t>(c));
    const std::vector<uint8_t> pause = {0x20, 0x88, 0x13};
    tzx.insert(tzx.end(), pause.begin(), pause.end());
    ASSERT_TRUE(write_tape_tzx((dir / "written.tzx").string(), program_named("A", min_p())).ok);
    std::ifstream written(dir / "written.tzx", std::ios::binary);
    const std::vector<uint8_t> ours{std::istreambuf_iterator<char>(written), {}};
    ASSERT_GT(ours.size(), 10u);
    tzx.insert(tzx.end(), ours.begin() + 10, ours.end());
    ASSERT_EQ(tzx.size(), 263u);
    const std::vector<uint8_t> block_start = {0x19, 0xE7, 0, 0, 0, 0xE8, 0x03, 0, 0, 0, 0, 0, 0, 0x78, 0x04, 0, 0,
                                              0x12, 0x02, 0x03, 0x12, 0x02, 0x08, 0x02};
    EXPECT_TRUE(std::equal(block_start.begin(), block_start.end(), tzx.begin() + 0x1B));
    EXPECT_EQ(tzx[0x78], 0xA6);  // the data stream: the name, then the program
    write("example.tzx", std::string(tzx.begin(), tzx.end()));

    const TapeImage image = read_tape_image((dir / "example.tzx").string());
    ASSERT_EQ(image.problem, "");
    ASSERT_EQ(image.programs.size(), 1u);
    EXPECT_EQ(image.programs[0].name, std::vector<uint8_t>{0xA6});
    EXPECT_EQ(image.programs[0].data, min_p());

    const Loaded loaded = real_load(image.signal);
    ASSERT_TRUE(loaded.ended);
    EXPECT_TRUE(memory_holds(min_p()));
    clear_breakpoints(zx81.debug);
    resume(zx81.debug);
    run_periods(100);
    EXPECT_TRUE(report_shown(zx_0)) << screen_dump();
}

// With two programs on a tape in the deck, LOAD "TWO" skips the first: at
// once with the catches on, and through the ROM with them off.
TEST_F(RealTape, ATapeOfTwoProgramsLoadsTheSecondByName) {
    const std::vector<uint8_t> two = other_p(0x55);
    const TapeSignal signal =
        encode_programs({program_named("ONE", other_p(0x11)), program_named("TWO", two)}, tape_timing::rom_lead_in);
    const Loaded loaded = real_load(signal, {t, w, o});
    ASSERT_TRUE(loaded.ended);
    EXPECT_TRUE(memory_holds(two));

    // A TZX of the two, in the deck, with the catches on.
    fresh_machine();
    std::vector<uint8_t> tzx;
    for (const char* name : {"ONE", "TWO"}) {
        ASSERT_TRUE(write_tape_tzx((dir / "one.tzx").string(), program_named(name, other_p(*name))).ok);
        std::ifstream in(dir / "one.tzx", std::ios::binary);
        const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
        tzx.insert(tzx.end(), file.begin() + (tzx.empty() ? 0 : 10), file.end());
    }
    write("two.tzx", std::string(tzx.begin(), tzx.end()));
    ASSERT_TRUE(insert_tape_file(zx81, (dir / "two.tzx").string()).ok);
    std::vector<TapeResult> served;
    between_periods([&] {
        if (zx81.tape.command.action != TapeAction::none) served.push_back(serve_tape_command(zx81, dir.string()));
    });
    press({j});
    press({shift, p});
    type({t, w, o});
    press({shift, p});
    press({newline});
    for (int i = 0; i < 200 && served.empty(); ++i) run_periods(1);
    ASSERT_EQ(served.size(), 1u);
    EXPECT_TRUE(served[0].ok) << served[0].message;
    EXPECT_EQ(zx81.memory[0x4049], 'T');
}

// Silence, or noise alone, loads nothing: the ROM listens until SPACE
// breaks it, with report D and the program in memory kept.
TEST_F(RealTape, SilenceAndNoiseLoadNothing) {
    std::mt19937 random(3);
    std::normal_distribution<float> gauss(0, 0.3f);
    std::vector<float> silence(44100 * 3, 0.0f), noise(44100 * 3);
    for (float& x : noise) x = gauss(random);
    for (const auto& [name, samples] : {std::pair{"silence.wav", silence}, std::pair{"noise.wav", noise}}) {
        SCOPED_TRACE(name);
        write_samples(dir / name, samples, 44100);
        const TapeImage image = read_tape_image((dir / name).string());
        EXPECT_EQ(image.problem, "no ZX81 program found in the recording");
        EXPECT_EQ(pulse_bursts(image.signal), std::vector<int>{});

        fresh_machine();
        const Memory before = zx81.memory;
        const Loaded loaded = real_load(image.signal);
        EXPECT_FALSE(loaded.ended);
        clear_breakpoints(zx81.debug);  // report D goes through the same place
        KeyMatrix keys = no_keys_down;
        press_key(keys, space);
        set_keys(zx81, keys);  // held until the ROM breaks off, as a user does
        for (int i = 0; i < 100 && !report_shown(zx_d); ++i) run_periods(1);
        set_keys(zx81, no_keys_down);
        run_periods(20);
        EXPECT_TRUE(report_shown(zx_d)) << screen_dump();
        EXPECT_TRUE(std::equal(before.begin() + 0x407D, before.begin() + word_at(before, 0x400C),
                               zx81.memory.begin() + 0x407D));
    }
}

// Bad tape files: each is refused with a message that says what is wrong,
// or read with a warning that says where.
TEST_F(TemporaryFolder, BadTapesSayWhatIsWrong) {
    const TapeProgram program = program_named("A", min_p());
    ASSERT_TRUE(write_tape_wav((dir / "good.wav").string(), program).ok);
    ASSERT_TRUE(write_tape_tzx((dir / "good.tzx").string(), program).ok);
    int rate = 0;
    std::vector<float> samples = read_samples(dir / "good.wav", rate);
    std::ifstream in(dir / "good.tzx", std::ios::binary);
    const std::string tzx{std::istreambuf_iterator<char>(in), {}};
    const std::vector<uint8_t> bytes = min_p();
    const std::string p81 = std::string(1, '\xA6') + std::string(bytes.begin(), bytes.end());

    write("empty.wav", "");
    write("mislabelled.wav", tzx);
    write("not.tzx", "RIFF....WAVEfmt ");
    write("cut.tzx", tzx.substr(0, 120));
    write("turbo.tzx", tzx.substr(0, 10) + std::string("\x10\xE8\x03\x02\x00\x00\xFF", 7));
    write("cut.p81", p81.substr(0, 51));
    write("empty.p81", "");
    // A recording at 6 kHz, below what the signal needs.
    write_samples(dir / "wide.wav", std::vector<float>(6000, 0.0f), 6000);
    // Three quarters of a recording: it stops in the program's data.
    const std::vector<float> cut(samples.begin(), samples.begin() + static_cast<long>(samples.size() * 3 / 4));
    write_samples(dir / "cut.wav", cut, rate);

    const std::pair<const char*, const char*> cases[] = {
        {"empty.wav", "not a sound file libsndfile reads"},
        {"mislabelled.wav", "not a sound file libsndfile reads"},
        {"not.tzx", "not a TZX file (no ZXTape! header)"},
        {"cut.tzx", "block 0x19 at offset 10 is cut short or does not hold together"},
        {"turbo.tzx", "block 0x10 at offset 10 cannot be played"},
        {"cut.p81", "not a .P81 file: a program cut short (50 of its 142 bytes)"},
        {"empty.p81", "an empty file"},
        {"wide.wav", "recorded at 6000 Hz (Orlix reads 8 kHz and more"},
        {"cut.wav", "no ZX81 program found in the recording"},
        {"missing.tzx", "No such file or directory"},
    };
    for (const auto& [file, problem] : cases) {
        const TapeImage image = read_tape_image((dir / file).string());
        EXPECT_EQ(image.problem.substr(0, std::string(problem).size()), problem) << file << ": " << image.problem;
    }
    // The cut recording: where it ends, and how far it got.
    const TapeImage ended = read_tape_image((dir / "cut.wav").string());
    ASSERT_EQ(ended.warnings.size(), 1u);
    EXPECT_NE(ended.warnings[0].find("the tape ends ("), std::string::npos) << ended.warnings[0];

    // A dropout of 50 ms inside the data: the decoder says when, and at
    // which byte, and finds no program.
    const double dropout_s = 6.0;
    std::vector<float> dropped = samples;
    for (size_t i = static_cast<size_t>(dropout_s * rate); i < static_cast<size_t>((dropout_s + 0.05) * rate); ++i)
        dropped[i] = -0.885f;
    write_samples(dir / "dropped.wav", dropped, rate);
    const TapeImage image = read_tape_image((dir / "dropped.wav").string());
    EXPECT_EQ(image.problem, "no ZX81 program found in the recording");
    ASSERT_FALSE(image.warnings.empty());
    // 5.104 s of lead-in, then bytes of 18 to 36 ms: about byte 40.
    double when = 0;
    int byte = 0;
    ASSERT_EQ(std::sscanf(image.warnings[0].c_str(), "at %lf s, byte %d", &when, &byte), 2) << image.warnings[0];
    EXPECT_NEAR(when, dropout_s, 0.01) << image.warnings[0];
    EXPECT_GT(byte, 25);
    EXPECT_LT(byte, 60);
}

// Tapes whose signal would outlast any cassette are refused before any of
// it is made: quickly, and within 64 MB of memory.
TEST_F(TemporaryFolder, TapesLongerThanACassetteAreRefusedBeforeTheyAreMade) {
    const auto le = [](uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
        return out;
    };
    const auto tzx = [&](const std::string& body) {
        return std::string("ZXTape!\x1A\x01\x14\x19", 11) + le(static_cast<uint32_t>(body.size()), 4) + body;
    };
    // One data symbol of one pulse, four billion times: 32 bytes.
    write("symbols.tzx", tzx(le(0, 2) + le(0, 4) + le(0, 2) + le(0xFFFFFFFF, 4) + le(1, 1) + le(1, 1) +
                             std::string(1, '\0') + le(1, 2)));
    // A pilot of 100 x 65,535 repeats of a symbol of 255 pulses of 65,535 T.
    std::string pilot_symbol(1, '\0');
    for (int i = 0; i < 255; ++i) pilot_symbol += le(65535, 2);
    std::string pilot_stream;
    for (int i = 0; i < 100; ++i) pilot_stream += le(0, 1) + le(65535, 2);
    write("pilot.tzx", tzx(le(0, 2) + le(100, 4) + le(255, 1) + le(1, 1) + le(0, 4) + le(0, 1) + le(2, 1) +
                           pilot_symbol + pilot_stream));
    // 3 MB of programs one after another in a .P81.
    const std::vector<uint8_t> program = min_p();
    std::string p81;
    while (p81.size() < 3 * 1024 * 1024) p81 += std::string(1, '\xA6') + std::string(program.begin(), program.end());
    write("long.p81", p81);
    const std::pair<const char*, const char*> cases[] = {
        {"symbols.tzx", "block 0x19 at offset 10 would play longer"},
        {"pilot.tzx", "block 0x19 at offset 10 would play longer"},
        {"long.p81", "its programs would play longer than a C90 cassette holds"},
    };
    EXPECT_EQ(write_tape_tzx((dir / "fits.tzx").string(), program_named("A", program)).ok, true);
    EXPECT_EQ(read_tape_image((dir / "fits.tzx").string()).problem, "") << "a real tape still fits";
    for (const auto& [file, problem] : cases) {
        const auto start = std::chrono::steady_clock::now();
        const Finished run = run_orlix({"--headless", "--tape", file}, dir, -1, {}, 64L << 20);
        EXPECT_EQ(run.status, 2) << file << ": " << run.err;
        EXPECT_NE(run.err.find(problem), std::string::npos) << file << ": " << run.err;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << file;
    }
}

class FolderAndMachine : public TemporaryFolder, public TestMachine {};

// LOAD "NAME" with the catches on takes NAME from a TZX, P81 or WAV in the
// tape folder at once.
TEST_F(FolderAndMachine, LoadTakesTheProgramFromATapeFileAtOnce) {
    const TapeProgram program = program_named("GAME", other_p(0x42));
    for (const char* file : {"GAME.TZX", "GAME.P81", "GAME.WAV"}) {
        SCOPED_TRACE(file);
        const std::string path = (dir / file).string();
        const FileResult written = path.ends_with("TZX")   ? write_tape_tzx(path, program)
                                   : path.ends_with("P81") ? write_tape_p81(path, program)
                                                           : write_tape_wav(path, program);
        ASSERT_TRUE(written.ok) << written.reason;
        start_machine(Model::simple);
        boot();
        std::vector<TapeResult> served;
        between_periods([&] {
            if (zx81.tape.command.action != TapeAction::none) served.push_back(serve_tape_command(zx81, dir.string()));
        });
        press({j});
        press({shift, p});
        type({g, a, m, e});
        press({shift, p});
        press({newline});
        for (int i = 0; i < 200 && served.empty(); ++i) run_periods(1);
        between_periods({});
        ASSERT_EQ(served.size(), 1u);
        EXPECT_TRUE(served[0].ok) << served[0].message;
        EXPECT_EQ(served[0].path, path);
        EXPECT_EQ(zx81.memory[0x4049], 0x42);  // its mark, which the ROM leaves alone
        fs::remove(path);
    }
}

}  // namespace
