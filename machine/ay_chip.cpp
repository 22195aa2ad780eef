#include "ay_chip.h"

namespace {

// The bits each register keeps, and a read returns (the AY-3-8912's own).
constexpr std::array<uint8_t, 16> register_bits = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                                                   0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};

constexpr int mixer = 7, first_amplitude = 8, envelope_shape = 13;
constexpr uint8_t uses_envelope = 0x10;
// The envelope shape's bits.
constexpr uint8_t hold = 1, alternate = 2, attack = 4, go_on = 8;

uint8_t amplitude(const AyChip& chip, int channel) {
    return chip.registers[first_amplitude + channel];
}

// A channel is heard with an amplitude, fixed or from the envelope.
bool heard(const AyChip& chip, int channel) {
    return amplitude(chip, channel) & 0x1F;
}

// The mixer's bits are enables when 0.
bool tone_counts(const AyChip& chip, int channel) {
    return heard(chip, channel) && !(chip.registers[mixer] >> channel & 1);
}

bool noise_counts(const AyChip& chip) {
    for (int channel = 0; channel < 3; ++channel)
        if (heard(chip, channel) && !(chip.registers[mixer] >> (channel + 3) & 1)) return true;
    return false;
}

bool envelope_counts(const AyChip& chip) {
    if (chip.envelope_holding) return false;
    for (int channel = 0; channel < 3; ++channel)
        if (amplitude(chip, channel) & uses_envelope) return true;
    return false;
}

constexpr uint8_t noise_bit = 8, envelope_bit = 16;

void update_counting(AyChip& chip) {
    uint8_t counting = 0;
    for (int channel = 0; channel < 3; ++channel)
        if (tone_counts(chip, channel)) counting |= static_cast<uint8_t>(1 << channel);
    if (noise_counts(chip)) counting |= noise_bit;
    if (envelope_counts(chip)) counting |= envelope_bit;
    chip.counting = counting;
}

void start_envelope(AyChip& chip) {
    chip.envelope_count = 0;
    chip.envelope_step = 0;
    chip.envelope_rising = chip.registers[envelope_shape] & attack;
    chip.envelope_holding = false;
}

// One step of the envelope: 16 make a ramp; at its end the shape says what
// follows (see the datasheet's table of the 16 shapes).
void step_envelope(AyChip& chip) {
    if (chip.envelope_holding || ++chip.envelope_step < 16) return;
    const uint8_t shape = chip.registers[envelope_shape];
    if (!(shape & go_on)) {
        chip.envelope_holding = true;
        chip.envelope_held = 0;
        chip.counting &= static_cast<uint8_t>(~0x10);
    } else if (shape & hold) {
        // With alternate as well the counter goes back to where the ramp
        // started before it holds; without, it keeps the ramp's last level.
        chip.envelope_holding = true;
        const bool rising = chip.envelope_rising;
        chip.envelope_held = (shape & alternate) ? (rising ? 0 : 15) : (rising ? 15 : 0);
        chip.counting &= static_cast<uint8_t>(~0x10);
    } else {
        if (shape & alternate) chip.envelope_rising = !chip.envelope_rising;
        chip.envelope_step = 0;
    }
}

// Ticks left of a count towards a period: at least one (a period made
// shorter than the count reached ends at the next tick).
uint32_t left(uint32_t count, uint32_t period) {
    return count < period ? period - count : 1;
}

}  // namespace

void ay_select(AyChip& chip, uint8_t reg) {
    chip.selected = reg;
}

void ay_write(AyChip& chip, uint8_t value) {
    if (chip.selected >= 16) return;
    chip.registers[chip.selected] = value & register_bits[chip.selected];
    if (chip.selected == envelope_shape) start_envelope(chip);
    update_counting(chip);
}

uint8_t ay_read(const AyChip& chip) {
    return chip.selected < 16 ? chip.registers[chip.selected] : 0xFF;
}

uint32_t ay_tone_period(const AyChip& chip, int channel) {
    const uint32_t period = chip.registers[2 * channel] | (chip.registers[2 * channel + 1] & 0x0F) << 8;
    return period ? period : 1;
}

uint32_t ay_noise_period(const AyChip& chip) {
    const uint32_t period = chip.registers[6] & 0x1F;
    return period ? period : 1;
}

uint32_t ay_envelope_period(const AyChip& chip) {
    const uint32_t period = chip.registers[11] | chip.registers[12] << 8;
    return period ? period : 1;
}

int ay_envelope_level(const AyChip& chip) {
    if (chip.envelope_holding) return chip.envelope_held;
    return chip.envelope_rising ? chip.envelope_step : 15 - chip.envelope_step;
}

float ay_output(const AyChip& chip) {
    const uint8_t mix = chip.registers[mixer];
    const bool noise = chip.noise_shift & 1;
    float level = 0;
    for (int channel = 0; channel < 3; ++channel) {
        if (!heard(chip, channel)) continue;
        // A source turned off in the mixer counts as 1.
        const bool tone_on = chip.tone_high[channel] || (mix >> channel & 1);
        const bool noise_on = noise || (mix >> (channel + 3) & 1);
        if (!tone_on || !noise_on) continue;
        const uint8_t a = amplitude(chip, channel);
        level += ay_volume_table[(a & uses_envelope) ? ay_envelope_level(chip) : (a & 0x0F)];
    }
    return level;
}

uint32_t ay_ticks_to_change(const AyChip& chip) {
    uint32_t soonest = 0;
    const auto consider = [&](uint32_t ticks) {
        if (soonest == 0 || ticks < soonest) soonest = ticks;
    };
    // A tone's half period is its period in ticks; the noise steps every
    // 16 x NP chip clocks, the envelope every 16 x EP.
    for (int channel = 0; channel < 3; ++channel)
        if (chip.counting >> channel & 1) consider(left(chip.tone_count[channel], ay_tone_period(chip, channel)));
    if (chip.counting & noise_bit) consider(left(chip.noise_count, 2 * ay_noise_period(chip)));
    if (chip.counting & envelope_bit) consider(left(chip.envelope_count, 2 * ay_envelope_period(chip)));
    return soonest;
}

void ay_run(AyChip& chip, uint32_t ticks) {
    while (ticks > 0) {
        const uint32_t change = ay_ticks_to_change(chip);
        const uint32_t step = change == 0 || change > ticks ? ticks : change;
        for (int channel = 0; channel < 3; ++channel) {
            if (!(chip.counting >> channel & 1)) continue;
            chip.tone_count[channel] += step;
            if (chip.tone_count[channel] >= ay_tone_period(chip, channel)) {
                chip.tone_count[channel] = 0;
                chip.tone_high[channel] = !chip.tone_high[channel];
            }
        }
        // The noise: bit 0 XOR bit 3 into bit 16; the output is bit 0.
        if ((chip.counting & noise_bit) && (chip.noise_count += step) >= 2 * ay_noise_period(chip)) {
            chip.noise_count = 0;
            const uint32_t fed = (chip.noise_shift ^ (chip.noise_shift >> 3)) & 1;
            chip.noise_shift = (chip.noise_shift >> 1) | fed << 16;
        }
        if ((chip.counting & envelope_bit) && (chip.envelope_count += step) >= 2 * ay_envelope_period(chip)) {
            chip.envelope_count = 0;
            step_envelope(chip);
        }
        ticks -= step;
    }
}
