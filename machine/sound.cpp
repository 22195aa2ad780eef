#include "sound.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double never = std::numeric_limits<double>::infinity();
// The high-pass that takes the constant level off: about 20 Hz.
constexpr double high_pass_hz = 20;
// How loud each source is in the mix: the line swings between -1 and +1,
// the chip's three channels between 0 and 3.
constexpr double line_gain = 0.5;
constexpr double ay_gain = 0.5 / 3;
// Below this the filter's output is silence in 16 bits.
constexpr double inaudible = 0.5 / 32767;

double cycles_per_sample(const Sound& sound) {
    return processor_clock / (sound.sample_rate * sound.rate_trim);
}

double line_level(const Sound& sound) {
    return sound.sync_on && (sound.frame_syncs || !sound.sync_by_display) ? -1.0 : 1.0;
}

// What goes into the filter while nothing changes: both sources mixed.
double mixed_input(const Sound& sound) {
    return line_gain * line_level(sound) + ay_gain * ay_output(sound.ay);
}

// One sample out of the filter.
void emit(Sound& sound, double input, double retain) {
    sound.filter_out = input - sound.filter_in + retain * sound.filter_out;
    sound.filter_in = input;
    const double out = std::clamp(sound.volume * 32767 * sound.filter_out, -32767.0, 32767.0);
    sound.samples.push_back(static_cast<int16_t>(std::lrint(out)));
}

// `count` samples of a constant input: the filter's output decays, and once
// it has decayed to nothing the samples are silence, written without any
// arithmetic.
void emit_constant(Sound& sound, double input, double retain, size_t count) {
    if (count == 0) return;
    emit(sound, input, retain);
    --count;
    const double scale = sound.volume * 32767;
    double out = sound.filter_out;
    for (; count > 0 && std::abs(out) >= inaudible; --count) {
        out *= retain;
        sound.samples.push_back(static_cast<int16_t>(std::lrint(std::clamp(scale * out, -32767.0, 32767.0))));
    }
    sound.filter_out = count > 0 ? 0 : out;
    if (count > 0) sound.samples.insert(sound.samples.end(), count, 0);
}

// Renders from `at` to `end` with the input constant.
void render_constant(Sound& sound, double& at, double end, double input) {
    const double per_sample = cycles_per_sample(sound);
    const double retain = 1 - 2 * M_PI * high_pass_hz / sound.sample_rate;
    if (sound.sample_end <= end) {
        const double part = sound.sample_end - at;
        sound.sum += input * part;
        sound.span += part;
        emit(sound, sound.sum / sound.span, retain);
        sound.sum = sound.span = 0;
        at = sound.sample_end;
        sound.sample_end += per_sample;
        // Whole samples up to the end: each the input itself.
        if (sound.sample_end <= end) {
            const auto whole = static_cast<size_t>((end - sound.sample_end) / per_sample) + 1;
            emit_constant(sound, input, retain, whole);
            sound.sample_end += static_cast<double>(whole) * per_sample;
            at = sound.sample_end - per_sample;
        }
    }
    sound.sum += input * (end - at);
    sound.span += end - at;
    at = end;
}

// When the chip's output next changes, from its state at `ay_ticks`.
void schedule_chip(Sound& sound) {
    const uint32_t ticks = ay_ticks_to_change(sound.ay);
    sound.ay_change_at = ticks == 0 ? never : static_cast<double>((sound.ay_ticks + ticks) * cycles_per_ay_tick);
}

// Brings the chip to the tick of cycle `t`, before a register changes.
void bring_chip_to(Sound& sound, int64_t t) {
    const int64_t tick = t / cycles_per_ay_tick;
    if (tick > sound.ay_ticks) ay_run(sound.ay, static_cast<uint32_t>(std::min<int64_t>(tick - sound.ay_ticks, UINT32_MAX)));
    sound.ay_ticks = std::max(sound.ay_ticks, tick);
}

void write_chip(Sound& sound, int64_t t, uint8_t value) {
    advance_sound(sound, t);
    bring_chip_to(sound, t);
    ay_write(sound.ay, value);
    schedule_chip(sound);
}

}  // namespace

void reset_sound(Sound& sound, int64_t now) {
    Sound fresh;
    fresh.sample_rate = sound.sample_rate;
    fresh.frame_syncs = sound.frame_syncs;
    fresh.rate_trim = sound.rate_trim;
    fresh.volume = sound.volume;
    fresh.ay_ticks = now / cycles_per_ay_tick;
    sound = std::move(fresh);
    schedule_chip(sound);
    set_sample_rate(sound, sound.sample_rate, now);
    sound.filter_in = mixed_input(sound);  // a line at rest is silence from the start
}

void set_sample_rate(Sound& sound, int rate, int64_t now) {
    sound.sample_rate = rate;
    sound.rendered_to = now;
    sound.sum = sound.span = 0;
    if (rate > 0) sound.sample_end = static_cast<double>(now) + cycles_per_sample(sound);
}

void advance_sound(Sound& sound, int64_t t) {
    if (t <= sound.rendered_to) return;
    if (sound.sample_rate == 0) {
        sound.rendered_to = t;
        return;
    }
    double at = static_cast<double>(sound.rendered_to);
    while (at < t) {
        const double end = std::min(static_cast<double>(t), sound.ay_change_at);
        render_constant(sound, at, end, mixed_input(sound));
        if (at == sound.ay_change_at) {
            const int64_t tick = static_cast<int64_t>(at) / cycles_per_ay_tick;
            ay_run(sound.ay, static_cast<uint32_t>(tick - sound.ay_ticks));
            sound.ay_ticks = tick;
            schedule_chip(sound);
        }
    }
    sound.rendered_to = t;
}

void set_sync_line(Sound& sound, int64_t t, bool low, bool by_display) {
    if (low == sound.sync_on) return;
    advance_sound(sound, t);
    sound.sync_on = low;
    if (low) sound.sync_by_display = by_display;
}

void sound_select_register(Sound& sound, uint8_t value) {
    ay_select(sound.ay, value);
}

void sound_write_register(Sound& sound, int64_t t, uint8_t value) {
    write_chip(sound, t, value);
}
