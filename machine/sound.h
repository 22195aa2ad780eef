// What the ZX81 sounds like: its one-bit sound on the sync line (the
// TV/tape output that music routines and SAVE toggle), and an AY-3-8912 on
// a sound board. Every change is timed by the processor's own cycles (3.25
// MHz in both models), and the machine turns them into samples at the rate
// the front end asks for: the line averaged over each sample, the chip's
// output likewise, each with its constant level taken off, mixed.
#pragma once

#include <cstdint>
#include <vector>

#include "ay_chip.h"
#include "rom_addresses.h"
#include "timing.h"

constexpr int cycles_per_ay_tick = 2 * ay_clocks_per_tick;  // the chip runs at half the processor's clock

// The sound board on the expansion bus (sound_board.h), and how it is
// addressed.
enum class SoundBoard {
    none,
    // ZON X-81 and its successor ZON X, and ZXpand+'s AY: register select on
    // port 0xCF or 0xDF, data on 0x0F or 0x1F (the low byte of the port;
    // A8-A15 are not decoded)
    zonx,
    // Quicksilva: memory writes to 0x7FFF select, to 0x7FFE write data; the
    // RAM at those addresses is written as well.
    quicksilva,
};

struct Sound {
    // What the front end sets.
    int sample_rate = 0;          // samples a second to make; 0: none (the state is still kept)
    bool frame_syncs = false;     // the display's own vertical syncs are heard (a TV at full volume)
    double rate_trim = 1.0;       // a nudge to the sample rate, to follow a device's own clock
    double volume = 1.0;          // 0: samples of silence (sound turned off, time still kept)

    // Samples made and not yet taken by the front end.
    std::vector<int16_t> samples;

    // The sync line: low while a vertical sync runs.
    bool sync_on = false;
    bool sync_by_display = false;  // this one was started by the ROM's display
    AyChip ay;

    // Rendering: up to which cycle, where the sample being made ends, and
    // what it has gathered (the mixed input over `span` cycles).
    int64_t rendered_to = 0;
    double sample_end = 0;
    double sum = 0, span = 0;
    // The chip: the tick its state is at (ticks of 16 processor cycles),
    // and when its output next changes (infinite while it never will).
    int64_t ay_ticks = 0;
    double ay_change_at = 0;
    // Taking the constant level off (a high-pass at about 20 Hz): the last
    // input and output.
    double filter_in = 0, filter_out = 0;
};

// Sound as at power-up: the line high, the chip reset; what the front end set
// stays. `now` is the machine's cycle count.
void reset_sound(Sound& sound, int64_t now);

// Makes the samples up to cycle `t`.
void advance_sound(Sound& sound, int64_t t);

// The sync line at cycle `t`: low (a vertical sync starts) or high again.
// `by_display` tells a sync the ROM's own display code started, which is
// heard only with frame_syncs.
void set_sync_line(Sound& sound, int64_t t, bool low, bool by_display);

// Whether the ROM's display code (its frame's syncs and the keyboard scan
// in them) is running at `pc`.
constexpr bool in_frame_sync_code(uint16_t pc) {
    return rom::display_routines.holds(pc);
}

// The AY chip's register select, and a write to the register selected at
// cycle `t`, as a sound board (sound_board.h) makes them.
void sound_select_register(Sound& sound, uint8_t value);
void sound_write_register(Sound& sound, int64_t t, uint8_t value);

// Starts making samples at `rate` from cycle `now` on (0: stops).
void set_sample_rate(Sound& sound, int rate, int64_t now);
