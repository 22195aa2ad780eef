#include "cassette.h"

#include <sndfile.h>

#include <algorithm>
#include <numbers>
#include <random>

namespace {

constexpr double pi = std::numbers::pi;
constexpr double clock = 3'250'000;
// The signal is drawn at this rate before the recorder's filters.
constexpr int drawn_rate = 64000;

// A second-order section (RBJ's cookbook forms).
struct Biquad {
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

Biquad pass(bool high, double frequency, int rate) {
    const double w = 2 * pi * frequency / rate, alpha = std::sin(w) / (2 * std::sqrt(0.5)), c = std::cos(w);
    const double a0 = 1 + alpha;
    const double b1 = high ? -(1 + c) : 1 - c, b0 = high ? (1 + c) / 2 : (1 - c) / 2;
    return {b0 / a0, b1 / a0, b0 / a0, -2 * c / a0, (1 - alpha) / a0};
}

}  // namespace

std::vector<float> cassette_recording(const std::vector<TapeProgram>& programs, const Cassette& c) {
    const TapeSignal signal = encode_programs(programs, static_cast<uint64_t>(c.lead_in * clock));
    // The signal drawn: each sample the share of its time the line is high,
    // so that edges fall between samples.
    const double hiss_cycles = c.hiss_first * clock;
    const double total = hiss_cycles + static_cast<double>(signal.length());
    std::vector<float> drawn(static_cast<size_t>(total / clock * drawn_rate) + 2, 0.0f);
    double at = hiss_cycles;
    for (size_t i = 0; i < signal.stretches.size(); ++i) {
        const double end = at + signal.stretches[i];
        if (i % 2 == 1) {
            // In drawn samples: whole ones covered, and the parts at each end.
            const double from = at / clock * drawn_rate, to = end / clock * drawn_rate;
            const auto first = static_cast<size_t>(from), last = static_cast<size_t>(to);
            if (first == last) {
                drawn[first] += static_cast<float>(to - from);
            } else {
                drawn[first] += static_cast<float>(static_cast<double>(first + 1) - from);
                for (size_t k = first + 1; k < last; ++k) drawn[k] += 1;
                drawn[last] += static_cast<float>(to - static_cast<double>(last));
            }
        }
        at = end;
    }
    if (c.band_pass) {
        Biquad high = pass(true, 100, drawn_rate), low = pass(false, 5000, drawn_rate);
        for (float& x : drawn) x = static_cast<float>(low(high(x)));
    } else {
        for (float& x : drawn) x = 2 * x - 1;  // symmetric about the middle, as a MIC signal is recorded
        if (!c.square)
            for (float& x : drawn) x *= 0.9f;
    }
    // The sound card's anti-aliasing filter, under half the rate it records at.
    if (!c.square && 0.45 * c.rate < 0.4 * drawn_rate) {
        Biquad first = pass(false, 0.45 * c.rate, drawn_rate), second = pass(false, 0.45 * c.rate, drawn_rate);
        for (float& x : drawn) x = static_cast<float>(second(first(x)));
    }
    // Played back at the recording's rate: the tape's speed, its wow, the
    // gain wandering; the hiss over all of it.
    const double seconds = total / clock / c.speed;
    std::vector<float> out(static_cast<size_t>(seconds * c.rate));
    const double wow_rate = 2.5;  // wavers a second
    std::mt19937 random(c.seed);
    std::normal_distribution<double> gauss(0, 1);
    double signal_power = 0;
    size_t counted = 0;
    for (size_t j = 0; j < out.size(); ++j) {
        const double t = static_cast<double>(j) / c.rate;
        const double tape = c.speed * (t - c.wow / (2 * pi * wow_rate) * std::cos(2 * pi * wow_rate * t) +
                                       c.wow / (2 * pi * wow_rate));
        const double position = tape * drawn_rate;
        const auto i = static_cast<size_t>(position);
        if (i + 1 >= drawn.size()) break;
        const double frac = position - static_cast<double>(i);
        double x = drawn[i] * (1 - frac) + drawn[i + 1] * frac;
        x *= c.gain_low + (1 - c.gain_low) * (0.5 + 0.5 * std::sin(2 * pi * 0.13 * t));
        if (c.dropout_at >= 0 && t >= c.dropout_at && t < c.dropout_at + 0.005) x = 0;
        if (tape * clock > hiss_cycles + c.lead_in * clock) {
            signal_power += x * x;
            ++counted;
        }
        out[j] = static_cast<float>(x);
    }
    if (std::isfinite(c.snr_db) && counted > 0) {
        const double sigma = std::sqrt(signal_power / static_cast<double>(counted)) / std::pow(10, c.snr_db / 20);
        for (float& x : out) x += static_cast<float>(sigma * gauss(random));
    }
    double peak = 0;
    for (float x : out) peak = std::max(peak, static_cast<double>(std::abs(x)));
    const double scale = c.square ? 1.0 : 0.9 / std::max(peak, 1e-9);
    for (float& x : out) x = static_cast<float>((c.inverted ? -x : x) * scale);
    return out;
}

std::vector<uint8_t> program_of_size(size_t size, uint32_t seed) {
    // The smallest program (no lines, a collapsed display): 142 bytes.
    static constexpr uint8_t system_variables[] = {
        0x00, 0x00, 0x00, 0x7D, 0x40, 0x7E, 0x40, 0x96, 0x40, 0x00, 0x00, 0x97, 0x40, 0x96, 0x40, 0x00, 0x00,
        0x97, 0x40, 0x97, 0x40, 0x00, 0x5D, 0x40, 0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x37, 0x7D, 0x40,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x8D, 0x0C, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xBC, 0x21, 0x18, 0x40};
    std::vector<uint8_t> p(std::max<size_t>(size, 142), 0x00);
    std::copy(std::begin(system_variables), std::end(system_variables), p.begin());
    p[0x53] = 0x76;
    for (size_t i = 0x74; i < 0x8D; ++i) p[i] = 0x76;
    std::mt19937 random(seed);
    for (size_t i = 0x8D; i + 1 < p.size(); ++i) p[i] = static_cast<uint8_t>(random());
    p.back() = 0x80;
    // E_LINE, STKBOT and STKEND after the variables.
    const uint16_t end = static_cast<uint16_t>(0x4009 + p.size());
    for (size_t offset : {0x0Bu, 0x11u, 0x13u}) {
        p[offset] = static_cast<uint8_t>(end);
        p[offset + 1] = static_cast<uint8_t>(end >> 8);
    }
    return p;
}

bool write_wav(const std::string& path, const std::vector<float>& samples, int rate, int format, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}
