#include "recording.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tape_decoder.h"

namespace {

// The rate the input stage makes a recording up to, and its interpolation
// filter's length for each sample made.
constexpr int stage_rate = 32000;
constexpr int taps_per_phase = 12;
// The band: a resonance at the pulses' 3.3 kHz, as wide as a tape run 25%
// fast or slow needs.
constexpr double band_centre = 3300, band_q = 1.5;
// The running mean follows the sound over about 10 ms: the AC coupling of
// the EAR input, slow beside a pulse (0.15 ms), quick beside the drift of a
// recorder's level.
constexpr double mean_time = 0.010;
// The survey's windows: 1 ms, shorter than the gap after each bit (1.5 ms),
// so that even a tape with no silence on it shows its hiss between bits.
constexpr double window_time = 0.001;
// The recent loudness fades over about 50 ms: across a bit's gap it stands,
// and after a loud passage it soon gives way to a quiet one.
constexpr double peak_time = 0.050;

// The rising threshold stands over the hiss by `over_hiss` times its level
// (noise is then rare, and the odd pulse of it the loader ignores), over
// `loud_share` of the pulses' level, and over a share of the recent
// loudness: the EAR's lower, so that a quiet pulse is not lost (the
// loader splits a burst that loses one), the decoder's a little higher.
// The falling threshold is `fall_share` of the rising one, near the mean.
constexpr double over_hiss = 1.6, loud_share = 0.05, fall_share = 0.3;
constexpr double ear_share = 0.3, decoder_share = 0.35;
// The pulses must stand this far clear of the hiss for a recording to hold
// a signal at all, and over this level (below it, what is there is the
// rounding of a digital silence).
constexpr double clear_of_hiss = 3.0, quietest_signal = 0.002;
// Pulses that swing this much further below the mean than above it are a
// recording made upside down.
constexpr double upside_down = 1.25;

// The log scale of the survey's histograms: 21 octaves up from 1e-6.
constexpr double scale_floor = 1e-6, scale_octaves = 21;

int bin_of(double level, int bins) {
    if (level <= scale_floor) return 0;
    const double at = std::log2(level / scale_floor) * bins / scale_octaves;
    return std::clamp(static_cast<int>(at), 0, bins - 1);
}

double level_of(int bin, int bins) {
    return scale_floor * std::exp2((bin + 0.5) * scale_octaves / bins);
}

// The level that `count` entries reach or pass, from the loudest down.
template <size_t N>
double loudest(const std::array<uint64_t, N>& histogram, uint64_t count) {
    uint64_t seen = 0;
    for (int bin = static_cast<int>(N) - 1; bin >= 0; --bin) {
        seen += histogram[static_cast<size_t>(bin)];
        if (seen >= count) return level_of(bin, static_cast<int>(N));
    }
    return 0;
}

// The level that `count` entries stay at or under, from the quietest up.
template <size_t N>
double quietest(const std::array<uint64_t, N>& histogram, uint64_t count) {
    uint64_t seen = 0;
    for (size_t bin = 0; bin < N; ++bin) {
        seen += histogram[bin];
        if (seen >= count) return level_of(static_cast<int>(bin), static_cast<int>(N));
    }
    return 0;
}

// A band-pass section of unit gain at its centre (the form of RBJ's
// audio-filter cookbook).
Biquad band_pass(double centre, double q, int rate) {
    const double w = 2 * std::numbers::pi * centre / rate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
    Biquad section;
    section.b0 = alpha / a0, section.b1 = 0, section.b2 = -alpha / a0;
    section.a1 = -2 * std::cos(w) / a0, section.a2 = (1 - alpha) / a0;
    return section;
}

double pull(double seconds, int rate) {
    return 1 - std::exp(-1.0 / (seconds * rate));
}

}  // namespace

InputStage::InputStage(int rate)
    : rate_(rate), factor_(std::max(1, (stage_rate + rate - 1) / rate)),
      history_(static_cast<size_t>(factor_ > 1 ? 2 * taps_per_phase : 0), 0.0),
      band_(band_pass(band_centre, band_q, rate * factor_)) {
    if (factor_ == 1) return;
    // A windowed sinc under the recording's half rate, `factor_` times as
    // loud, so that the samples made keep the level; its taps kept phase by
    // phase, for the newest sample first.
    const int length = taps_per_phase * factor_;
    const double centre = (length - 1) / 2.0, cutoff = 0.45 / factor_;
    taps_.resize(static_cast<size_t>(length));
    for (int phase = 0; phase < factor_; ++phase)
        for (int k = 0; k < taps_per_phase; ++k) {
            const double x = k * factor_ + phase - centre;
            const double sinc =
                x == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * x) / (std::numbers::pi * x);
            const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / (centre + 1));
            taps_[static_cast<size_t>(phase * taps_per_phase + k)] = factor_ * sinc * window;
        }
}

void InputStage::settle(double x) {
    std::fill(history_.begin(), history_.end(), x);
    // The band passes no constant: at rest its output is nought.
    band_.x1 = band_.x2 = x;
    band_.y1 = band_.y2 = 0;
}

RecordingSurvey::RecordingSurvey(int rate, int channels)
    : mean_pull_(pull(mean_time, InputStage(rate).rate())),
      window_(std::max<size_t>(1, static_cast<size_t>(window_time * InputStage(rate).rate()))),
      channels_(static_cast<size_t>(std::max(1, channels)), Channel{InputStage(rate)}) {}

void RecordingSurvey::add(const float* frames, size_t count) {
    const size_t n = channels_.size();
    for (size_t f = 0; f < count; ++f)
        for (size_t c = 0; c < n; ++c) {
            Channel& channel = channels_[c];
            const double x = frames[f * n + c];
            if (!channel.started) channel.input.settle(x), channel.started = true;
            // The windows are counted on the first channel, for all.
            channel.input.add(x, [&](double y) {
                take(channel, y);
                if (c == 0) end_window();
            });
        }
}

void RecordingSurvey::take(Channel& channel, double x) {
    channel.mean += (x - channel.mean) * mean_pull_;
    const double swing = x - channel.mean;
    channel.window_above = std::max(channel.window_above, swing);
    channel.window_below = std::max(channel.window_below, -swing);
}

void RecordingSurvey::end_window() {
    if (++in_window_ < window_) return;
    in_window_ = 0;
    for (Channel& channel : channels_) {
        ++channel.peaks[static_cast<size_t>(bin_of(std::max(channel.window_above, channel.window_below), bins))];
        ++channel.above[static_cast<size_t>(bin_of(channel.window_above, bins))];
        ++channel.below[static_cast<size_t>(bin_of(channel.window_below, bins))];
        channel.window_above = channel.window_below = 0;
    }
}

std::vector<ChannelLevels> RecordingSurvey::levels() const {
    std::vector<ChannelLevels> found;
    for (const Channel& channel : channels_) {
        uint64_t windows = 0;
        for (uint64_t n : channel.peaks) windows += n;
        ChannelLevels levels;
        if (windows > 0) {
            // The loudest second of windows, or a hundredth of a short
            // recording's: a program's bursts fill at least that, a click
            // or two does not.
            const uint64_t loud_windows = std::min(std::clamp<uint64_t>(windows / 100, 20, 1000), windows);
            levels.loud = loudest(channel.peaks, loud_windows);
            levels.hiss = quietest(channel.peaks, std::max<uint64_t>(1, windows / 10));
            levels.signal = levels.loud > clear_of_hiss * levels.hiss && levels.loud > quietest_signal;
            // Which way the pulses swing: the loudest windows on each side.
            levels.inverted = loudest(channel.below, loud_windows) > upside_down * loudest(channel.above, loud_windows);
        }
        found.push_back(levels);
    }
    return found;
}

EarComparator::EarComparator(int stage_rate, const ChannelLevels& levels, Listener listener)
    : cycles_per_sample_(processor_clock / stage_rate), mean_pull_(pull(mean_time, stage_rate)),
      peak_decay_(std::exp(-1.0 / (peak_time * stage_rate))),
      floor_(std::max(loud_share * levels.loud, over_hiss * levels.hiss)),
      local_share_(listener == Listener::ear ? ear_share : decoder_share) {}

void EarComparator::take(double x) {
    ++sample_;
    mean_ += (x - mean_) * mean_pull_;
    const double swing = x - mean_;
    peak_ = std::max(std::abs(swing), peak_ * peak_decay_);
    const double before = before_;
    before_ = swing;
    const double rise = std::max(floor_, local_share_ * peak_);
    const double threshold = high_ ? fall_share * rise : rise;
    if (high_ ? swing >= threshold : swing <= threshold) return;
    // The edge, where the sound crossed the threshold between this sample
    // and the one before.
    const double fraction = swing != before ? std::clamp((threshold - before) / (swing - before), 0.0, 1.0) : 1.0;
    const auto edge = static_cast<uint64_t>(
        std::llround((static_cast<double>(sample_) - 2 + fraction) * cycles_per_sample_));
    if (edge > placed_) builder_.add(high_, edge - placed_);
    placed_ = std::max(placed_, edge);
    high_ = !high_;
}

TapeSignal EarComparator::finish() {
    const auto end = static_cast<uint64_t>(std::llround(static_cast<double>(sample_) * cycles_per_sample_));
    if (end > placed_) builder_.add(high_, end - placed_);
    placed_ = std::max(placed_, end);
    TapeSignal signal = builder_.take();
    if (signal.stretches.size() % 2 == 0) signal.stretches.push_back(1);  // a tape ends low
    return signal;
}

RecordingReader::RecordingReader(int rate, const std::vector<ChannelLevels>& levels) {
    const int stage_rate = InputStage(rate).rate();
    for (const ChannelLevels& channel : levels)
        channels_.push_back({InputStage(rate), EarComparator(stage_rate, channel, Listener::ear),
                             EarComparator(stage_rate, channel, Listener::decoder), channel.inverted, channel.signal});
}

void RecordingReader::add(const float* frames, size_t count) {
    const size_t n = channels_.size();
    for (size_t c = 0; c < n; ++c) {
        Channel& channel = channels_[c];
        if (!channel.signal) {
            channel.ear.skip(count * static_cast<uint64_t>(channel.input.factor()));
            channel.decoder.skip(count * static_cast<uint64_t>(channel.input.factor()));
            continue;
        }
        for (size_t f = 0; f < count; ++f) {
            const double x = channel.inverted ? -frames[f * n + c] : frames[f * n + c];
            if (!channel.started) channel.input.settle(x), channel.started = true;
            channel.input.add(x, [&](double y) {
                channel.ear.take(y);
                channel.decoder.take(y);
            });
        }
    }
}

void RecordingReader::finish(TapeImage& image) {
    // The channel whose programs read best: the most, then the fewest
    // problems.
    size_t best = 0;
    DecodedTape chosen;
    for (size_t c = 0; c < channels_.size(); ++c) {
        DecodedTape decoded = decode_signal(channels_[c].decoder.finish());
        const bool better = c == 0 || decoded.programs.size() > chosen.programs.size() ||
                            (decoded.programs.size() == chosen.programs.size() &&
                             decoded.problems.size() < chosen.problems.size());
        if (!better) continue;
        best = c;
        chosen = std::move(decoded);
    }
    image.signal = channels_[best].ear.finish();
    image.programs = std::move(chosen.programs);
    image.warnings = std::move(chosen.problems);
    image.playable = true;
    if (image.programs.empty()) image.problem = "no ZX81 program found in the recording";
}

void read_recording(const std::vector<float>& samples, int rate, TapeImage& image) {
    RecordingSurvey survey(rate, 1);
    survey.add(samples.data(), samples.size());
    RecordingReader reader(rate, survey.levels());
    reader.add(samples.data(), samples.size());
    reader.finish(image);
}
