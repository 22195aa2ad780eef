// What the machine plays, written with --audio by the real program: pitch
// exact in both models, the frame syncs heard only when asked for, the AY
// on the ZON ports, and music whose notes change.
#include <gtest/gtest.h>

#include <sndfile.h>

#include "audio_file.h"
#include "run_orlix.h"
#include "temporary_folder.h"

namespace {

struct Wav {
    int rate = 0;
    std::vector<int16_t> samples;
};

Wav read_wav(const std::filesystem::path& path) {
    Wav wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return wav;
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    wav.rate = info.samplerate;
    wav.samples.resize(static_cast<size_t>(info.frames));
    sf_read_short(file, wav.samples.data(), info.frames);
    sf_close(file);
    return wav;
}

// The fundamental of a stretch of samples, from its rising zero crossings
// (placed between samples); 0 for none.
double frequency(const Wav& wav, size_t from, size_t to) {
    double first = -1, last = 0;
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < wav.samples.size(); ++i)
        if (wav.samples[i - 1] < 0 && wav.samples[i] >= 0) {
            const double at = i - 1 + double(-wav.samples[i - 1]) / (wav.samples[i] - wav.samples[i - 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    return crossings > 1 ? (crossings - 1) / ((last - first) / wav.rate) : 0;
}

// Machine code in line 1's REM (at 16514), run from FAST mode.
std::string machine_code_listing(const std::vector<int>& code) {
    std::string rem = "1 REM ";
    for (int byte : code) rem += "\\{" + std::to_string(byte) + "}";
    return rem + "\n10 FAST\n20 RAND USR 16514\n";
}

// IN A,($FE); LD B,124; DJNZ $; OUT ($FF),A; LD B,124; DJNZ $; JP 16514:
// 26 x 124 + 36 cycles a period, 996.9 Hz at 3.25 MHz.
const std::vector<int> one_bit_tone = {0xDB, 0xFE, 0x06, 124, 0x10, 0xFE, 0xD3, 0xFF,
                                       0x06, 124,  0x10, 0xFE, 0xC3, 0x82, 0x40};

class Sound : public TemporaryFolder {
protected:
    // What the program in `listing` plays when RUN for two seconds headless
    // with `option`; no samples when the run failed.
    Wav played(const std::string& listing, const char* option) {
        const Finished done = run_orlix({"--headless", option, "--type-file", listing, "--keys", "R NEWLINE",
                                         "--run-for", "2", "--audio", "played.wav"}, dir);
        EXPECT_EQ(done.status, 0) << done.err;
        return done.status == 0 ? read_wav(dir / "played.wav") : Wav{};
    }
};

TEST_F(Sound, AOneBitToneHasItsPitchInBothModels) {
    write("tone.bas", machine_code_listing(one_bit_tone));
    for (const char* model : {"--model=simple", "--model=hardware"}) {
        const Wav wav = played("tone.bas", model);
        ASSERT_EQ(wav.rate, 44100);
        const size_t end = wav.samples.size();
        EXPECT_NEAR(frequency(wav, end - 44100, end), 996.9, 996.9 * 0.005) << model;
    }
}

// A SLOW-mode screen at rest: silent, and with --sound=mic the display's
// own syncs, one a frame (64,170 cycles: 50.65 a second), each about 1,220
// cycles long.
TEST_F(Sound, TheFrameSyncsAreHeardOnlyWithMic) {
    for (const char* mode : {"--sound=on", "--sound=mic"}) {
        const Finished done = run_orlix({"--headless", "--model=hardware", mode, "--run-for", "3", "--audio",
                                         "idle.wav"}, dir);
        ASSERT_EQ(done.status, 0) << done.err;
        const Wav wav = read_wav(dir / "idle.wav");
        const std::vector<int16_t> last(wav.samples.end() - 88200, wav.samples.end());
        int pulses = 0, low = 0;
        for (size_t i = 1; i < last.size(); ++i) {
            pulses += last[i] < -8000 && last[i - 1] >= -8000;
            low += last[i] < -8000;
        }
        if (std::string(mode) == "--sound=on") {
            EXPECT_TRUE(std::all_of(last.begin(), last.end(), [](int16_t s) { return s == 0; }));
        } else {
            EXPECT_NEAR(pulses / 2.0, 50.65, 1.0);
            EXPECT_NEAR(double(low) / pulses, 1220 / 3.25e6 * 44100, 4) << "samples a pulse";
        }
    }
}

// The AY on the ZON X ports, set by a program as the notes' vector does:
// R0 = 231, R1 = 0, R7 = 0x3E, R8 = 15 gives 439.66 Hz on channel A; with no
// board, nothing.
TEST_F(Sound, TheAYPlaysOnTheZonPorts) {
    std::vector<int> code;
    for (const auto& [reg, value] : {std::pair{0, 0xE7}, {1, 0}, {7, 0x3E}, {8, 15}})
        code.insert(code.end(), {0x3E, reg, 0xD3, 0xCF, 0x3E, value, 0xD3, 0x0F});
    code.push_back(0xC9);
    write("ay.bas", machine_code_listing(code));
    for (const char* board : {"--sound-board=zonx", "--sound-board=none"}) {
        const Wav wav = played("ay.bas", board);
        ASSERT_EQ(wav.rate, 44100);
        const size_t end = wav.samples.size();
        if (std::string(board) == "--sound-board=zonx")
            EXPECT_NEAR(frequency(wav, end - 44100, end), 439.66, 439.66 * 0.005);
        else
            EXPECT_TRUE(std::all_of(wav.samples.end() - 44100, wav.samples.end(), [](int16_t s) { return s == 0; }));
    }
}

// A one-bit music routine plays a table of notes (delay, length): its pitch
// follows the notes, 3,250,000 / (26 N + 36) Hz each.
TEST_F(Sound, OneBitMusicChangesPitchWithItsNotes) {
    const std::vector<int> music = {
        0x21, 0xA0, 0x40,        // LD HL,notes
        0x7E, 0xA7, 0xC8,        // next: LD A,(HL); AND A; RET Z
        0x4F, 0x23, 0x56, 0x23,  // LD C,A; INC HL; LD D,(HL); INC HL
        0x1E, 0x00,              // LD E,0
        0xDB, 0xFE, 0x41, 0x10, 0xFE, 0xD3, 0xFF, 0x41, 0x10, 0xFE,  // tone: half periods of C
        0x1D, 0x20, 0xF3,        // DEC E; JR NZ,tone
        0x15, 0x20, 0xF0,        // DEC D; JR NZ,tone
        0x18, 0xE5,              // JR next
        124, 2, 62, 4, 200, 2, 0,  // notes
    };
    write("music.bas", machine_code_listing(music));
    const Finished done = run_orlix({"--headless", "--type-file", "music.bas", "--keys", "R NEWLINE", "--until-text",
                                     "0/20", "--audio", "music.wav"}, dir);
    ASSERT_EQ(done.status, 0) << done.err;
    const Wav wav = read_wav(dir / "music.wav");
    // The steady pitches, in the order heard: tenths of a second that agree
    // with the next (a tenth with a change of note in it agrees with none).
    std::vector<double> tenths, notes;
    for (size_t at = 0; at + 4410 <= wav.samples.size(); at += 4410) tenths.push_back(frequency(wav, at, at + 4410));
    for (size_t i = 0; i + 1 < tenths.size(); ++i) {
        const bool steady = tenths[i] > 100 && std::abs(tenths[i + 1] - tenths[i]) < tenths[i] * 0.01;
        if (steady && (notes.empty() || std::abs(tenths[i] - notes.back()) > notes.back() * 0.02))
            notes.push_back(tenths[i]);
    }
    ASSERT_EQ(notes.size(), 3u);
    const double expected[] = {3.25e6 / (26 * 124 + 36), 3.25e6 / (26 * 62 + 36), 3.25e6 / (26 * 200 + 36)};
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(notes[i], expected[i], expected[i] * 0.01) << i;
}

}  // namespace

namespace {

// A run whose sound cannot fit a WAV (4 GiB) is refused before it starts,
// and a recording stops at what a WAV holds rather than write a file whose
// sizes are wrong.
TEST_F(Sound, SoundLongerThanAWavHoldsIsRefused) {
    const Finished refused = run_orlix({"--headless", "--run-for", "49000", "--audio", "long.wav"}, dir);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("more than a WAV file holds"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "long.wav"));

    std::string problem;
    auto recording = AudioRecording::begin((dir / "short.wav").string(), 44100, problem, 16, 2000);
    ASSERT_TRUE(recording) << problem;
    EXPECT_TRUE(recording->add(std::vector<int16_t>(1000, 1)));
    EXPECT_FALSE(recording->add(std::vector<int16_t>(1, 1))) << "a 1001st sample is past 2,000 bytes";
    const FileResult finished = recording->finish();
    EXPECT_FALSE(finished.ok);
    EXPECT_NE(finished.reason.find("longer than a WAV file holds"), std::string::npos) << finished.reason;
    EXPECT_FALSE(std::filesystem::exists(dir / "short.wav"));
}

}  // namespace
