// The General Instrument AY-3-8912 sound chip of the ZX81's sound boards:
// three square-wave tone generators, one noise generator, a mixer, and
// amplitudes fixed or from the envelope generator, summed for one speaker.
// Registers are numbered in decimal, as programs write them.
//
// The chip is run by whole stretches of time, from one change of its output
// to the next: only what can be heard is counted (the tone of a channel
// with an amplitude, the noise when such a channel takes it, the envelope
// when one uses it), so a silent chip costs nothing and a playing one a few
// steps a millisecond.
#pragma once

#include <array>
#include <cstdint>

struct AyChip {
    std::array<uint8_t, 16> registers{};
    uint8_t selected = 0;  // the register the next data write goes to

    // The generators, counted in ticks of 8 chip clocks (the chip divides
    // its clock by 8 before the tone counters; a tone's half period is its
    // period in ticks).
    std::array<uint32_t, 3> tone_count{};
    std::array<bool, 3> tone_high{};
    uint32_t noise_count = 0;
    uint32_t noise_shift = 1;  // the 17-bit shift register, never all zero
    uint32_t envelope_count = 0;
    int envelope_step = 0;     // 0-15 within the current ramp
    bool envelope_rising = false;
    bool envelope_holding = false;
    int envelope_held = 0;     // the level held once the shape stops
    // What can be heard, from the registers: bits 0-2 the tones of channels
    // A-C, bit 3 the noise, bit 4 the envelope. Kept as they change.
    uint8_t counting = 0;
};

// Chip clocks in one tick.
constexpr int ay_clocks_per_tick = 8;

// The measured output levels of the 16 amplitudes (a ZX Spectrum's chip,
// normalised to 1): logarithmic, each about 3 dB below the next.
constexpr std::array<float, 16> ay_volume_table = {0.0f,    0.0105f, 0.0154f, 0.0216f, 0.0314f, 0.0461f,
                                                   0.0635f, 0.1061f, 0.1319f, 0.2163f, 0.2973f, 0.3908f,
                                                   0.5129f, 0.6371f, 0.8186f, 1.0f};

// Selects the register for the next write or read (a value of 16 or more
// selects none: the chip's upper address bits do not match).
void ay_select(AyChip& chip, uint8_t reg);

// Writes the selected register, keeping the bits it has; writing the
// envelope shape (13) starts the envelope again.
void ay_write(AyChip& chip, uint8_t value);

// Reads the selected register: the bits it has, the rest 0 (0xFF for none).
uint8_t ay_read(const AyChip& chip);

// The chip's output now: the three channels' levels summed (0 to 3).
float ay_output(const AyChip& chip);

// Ticks until the output may next change; 0 when it never will (every
// channel silent, or holding a level).
uint32_t ay_ticks_to_change(const AyChip& chip);

// Runs the chip on for `ticks` ticks.
void ay_run(AyChip& chip, uint32_t ticks);

// The envelope's level now (0-15).
int ay_envelope_level(const AyChip& chip);

// The periods the registers give, 0 read as 1: tone (12 bits), noise (5),
// envelope (16).
uint32_t ay_tone_period(const AyChip& chip, int channel);
uint32_t ay_noise_period(const AyChip& chip);
uint32_t ay_envelope_period(const AyChip& chip);
