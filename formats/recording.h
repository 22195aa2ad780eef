// Sound recordings of tapes, read in two passes of any number of chunks so
// that a recording of any length takes little memory. The first pass (a
// survey) finds each channel's levels: how loud the tape's pulses are, how
// loud its hiss, which way up it was recorded, and whether it holds any
// signal at all. The second turns each channel into two signals: what the
// ZX81's EAR input makes of it (the deck plays that into the ROM's loader,
// with nothing decoded in front of it), and what the decoder reads programs
// from (tape_decoder.h), whose threshold stands a little higher over the
// local loudness. The channel whose programs read best is kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tape_formats.h"

// A second-order filter section.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The EAR input as a recording reaches it: at rates under 32 kHz the sound
// first made up to one (so that the pulses' peaks fall between samples no
// more), then a band around the pulses' 3.3 kHz, which keeps out what lies
// under them (a recorder's hum, the sag of its coupling over a burst) and
// the hiss over them.
class InputStage {
public:
    explicit InputStage(int rate);
    // The rate its samples come at, and how many it makes of each.
    int rate() const { return rate_ * factor_; }
    int factor() const { return factor_; }
    // One sample of the recording: `factor` samples to `take`.
    template <typename Take>
    void add(double x, Take take) {
        if (factor_ == 1) return take(band_(x));
        // The history twice over, so that the last samples always lie in a
        // row, newest first, from `at_`.
        const size_t n = history_.size() / 2;
        at_ = at_ == 0 ? n - 1 : at_ - 1;
        history_[at_] = history_[at_ + n] = x;
        const double* newest = &history_[at_];
        for (int phase = 0; phase < factor_; ++phase) {
            const double* taps = &taps_[static_cast<size_t>(phase) * n];
            double sum = 0;
            for (size_t k = 0; k < n; ++k) sum += taps[k] * newest[k];
            take(band_(sum));
        }
    }
    // As if the sound had stood at `x` for ever: no step at the start.
    void settle(double x);

private:
    int rate_, factor_;
    std::vector<double> taps_, history_;
    size_t at_ = 0;
    Biquad band_;
};

// What the survey found of a channel, in the input stage's units.
struct ChannelLevels {
    double loud = 0;        // the pulses: the level the loudest second of 1 ms windows reaches
    double hiss = 0;        // between them: the level a tenth of the windows stay under
    bool inverted = false;  // recorded upside down: the pulses swing below the mean
    bool signal = false;    // the pulses stand clear of the hiss (else all is silence)
};

// The first pass: interleaved frames of `channels` samples at `rate`.
class RecordingSurvey {
public:
    RecordingSurvey(int rate, int channels);
    void add(const float* frames, size_t count);
    std::vector<ChannelLevels> levels() const;

private:
    static constexpr int bins = 1024;
    struct Channel {
        InputStage input;
        double mean = 0;
        bool started = false;
        double window_above = 0, window_below = 0;   // the window's peaks over and under the mean
        std::array<uint64_t, bins> peaks{};           // 1 ms windows' peaks, on a log scale
        std::array<uint64_t, bins> above{}, below{};  // their peaks above and below the mean, the same
    };
    double mean_pull_;
    size_t window_, in_window_ = 0;
    std::vector<Channel> channels_;

    void take(Channel& channel, double x);
    void end_window();
};

// What the two signals are for.
enum class Listener { ear, decoder };

// One channel's comparator: a Schmitt trigger around a slowly moving mean
// (the EAR input's AC coupling), on what the input stage makes of the
// sound. High while the sound stands above the mean by the rising threshold
// (over the hiss, and a share of the recent loudness), low again once it
// falls back near the mean: silence reads low, as the ROM's loader needs.
// Edges are placed between samples, in processor cycles.
class EarComparator {
public:
    EarComparator(int stage_rate, const ChannelLevels& levels, Listener listener);
    // The input stage's next sample.
    void take(double x);
    // `count` samples of silence (a channel with no signal).
    void skip(uint64_t count) { sample_ += count; }
    TapeSignal finish();

private:
    double cycles_per_sample_, mean_pull_, peak_decay_, floor_, local_share_;
    double mean_ = 0, before_ = 0, peak_ = 0;
    bool high_ = false;
    uint64_t sample_ = 0, placed_ = 0;
    SignalBuilder builder_;
};

// The second pass, after the survey: the same frames again.
class RecordingReader {
public:
    RecordingReader(int rate, const std::vector<ChannelLevels>& levels);
    void add(const float* frames, size_t count);
    // The tape: the signal of the channel whose programs read best, those
    // programs, and what went wrong reading them.
    void finish(TapeImage& image);

private:
    struct Channel {
        InputStage input;
        EarComparator ear, decoder;
        bool inverted, signal, started = false;
    };
    std::vector<Channel> channels_;
};

// A whole recording in memory (one channel), read as above.
void read_recording(const std::vector<float>& samples, int rate, TapeImage& image);
