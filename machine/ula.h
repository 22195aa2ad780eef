// The ULA and its helpers as the hardware model keeps them (hardware_model.h
// runs them): the scan lines and the glyph row, the NMI generator, the
// vertical sync and the frame being shifted out, all timed in cycles of
// 3.25 MHz.
#pragma once

#include <cstdint>

#include "display_file.h"
#include "rom_addresses.h"
#include "timing.h"

// Without a vertical sync for this long (two frames of the host: FAST mode
// computing) the television shows no picture.
constexpr int64_t no_picture_after = 4 * period_cycles;

// How the last frame's lines were timed: the lines that ended in a maskable
// interrupt (the picture's lines) and how many of those took 207 cycles from
// acknowledge to acknowledge.
struct LineTiming {
    int interrupt_lines = 0;
    int lines_of_207 = 0;
};

// The ULA and its helpers as the hardware model keeps them. Times are
// processor cycles since the model started.
struct Ula {
    int64_t period_start = 0;     // when the current period started
    int64_t next_hsync = line_cycles;
    int64_t line_start = 0;       // when the current scan line's horizontal sync came
    int64_t line = 0;             // scan lines since the last vertical sync ended
    uint8_t line_counter = 0;     // the glyph row, 0-7
    bool nmi_generator = false;
    bool vsync = false;
    int64_t vsync_start = 0;
    int64_t last_frame_end = 0;   // when the last vertical sync long enough for a frame ended
    int64_t nmi_pulse = -1;       // an NMI pulse not yet taken; -1 for none
    uint8_t refresh_seen = 0xFF;  // R as the last opcode fetch put it on the bus
    int64_t last_acknowledge = -1;
    bool ntsc = false;            // the 60 Hz machine: bit 6 of the keyboard port reads 0
    // Work for the next instruction boundary besides interrupts (bits
    // below): one test there finds that there is none.
    uint8_t boundary_work = 0;
    bool ended_in_program = false;
    int periods_leaving = 0;
    // The program makes its frames itself, with a display routine of its
    // own: the last frame's vertical sync ended outside the ROM. The simple
    // model cannot run such a routine, so the model is not left meanwhile.
    uint16_t last_fetch = 0;      // where the last opcode was fetched
    bool frames_by_program = false;
    Frame building;               // shifted out since the last frame ended
    Frame shown;                  // the picture of the last frame
    LineTiming timing, shown_timing;
    uint64_t frames = 0;          // vertical syncs since the model started
};

// Leaving the model: the period ends at the first instruction boundary
// where the ROM's display is not running, and says so.
constexpr uint8_t end_period_in_program = 0x01;
// The ROM's loader is at the top of a pass of a loop that reads the EAR
// socket, whose passes may run at once (skip_loader_passes).
constexpr uint8_t at_loader_pass = 0x02;

// Starts the display hardware afresh, from power-up or from the simple model.
void start_hardware(Ula& ula, bool ntsc);

// The NMI generator off, with no NMI pending, as the ROM's FAST mode has it.
void stop_nmi_generator(Ula& ula);

// The ROM's display code: the interrupt handlers and the routines that make
// a frame and read the keys, which FAST mode runs too while it waits for a
// key; their state is the display hardware's, and the simple model keeps it
// otherwise.
constexpr bool in_rom_display_code(uint16_t pc) {
    return rom::interrupt_handler.holds(pc) || rom::nmi_handler.holds(pc) || rom::display_routines.holds(pc);
}

// No frame has ended for a while: the program makes no picture.
inline bool without_picture(const Ula& ula) {
    return ula.period_start - ula.last_frame_end > no_picture_after;
}
