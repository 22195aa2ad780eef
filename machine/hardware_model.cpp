#include "hardware_model.h"

#include <algorithm>

#include "ports.h"
#include "tape.h"
#include "z80_execute.h"
#include "zx81.h"

namespace {

// The horizontal sync pulse gates the NMI; the WAIT circuit holds the
// processor until the pulse is over, so an NMI is taken no sooner than this
// after the pulse starts (which also takes the jitter out of a HALT).
constexpr int64_t nmi_pulse_cycles = 15;
// The interrupt acknowledge re-phases the sync counter: the next scan line
// starts this long after the acknowledge begins. The ROM's own cycle budget
// puts it here; what matters is that it falls before the line's first
// character (71 cycles on) and after the last one of the line before.
constexpr int64_t hsync_after_acknowledge = 28;
// Where the picture stands in a scan line: from the horizontal sync to the
// first of its 256 pixels. The ROM's first character is fetched 71 cycles
// after the acknowledge and shifted out during the next fetch, 4 later.
constexpr int64_t picture_left = 71 + 4 - hsync_after_acknowledge;
// The scan lines from the end of the vertical sync to the picture's first,
// with the ROM's 55 border lines (31 on the 60 Hz machine).
constexpr int picture_top_50hz = 56;
constexpr int picture_top_60hz = picture_top_50hz - (55 - 31);

// A vertical sync at least this long makes the television start a new
// picture (the ROM's lasts about six lines). Shorter pulses, which display
// drivers use to reset the line counter, merge with the horizontal syncs.
constexpr int64_t shortest_vertical_sync = line_cycles;

constexpr uint8_t int_line = 0x40;  // bit 6 of the refresh address: INT while 0

int64_t time_at(const Ula& ula, int32_t cycles_left) {
    return ula.period_start + (period_cycles - cycles_left);
}

// The horizontal syncs up to `t`: each starts a scan line, steps the line
// counter (held at 0 through a vertical sync) and, with the NMI generator on,
// is an NMI pulse.
void catch_up(Ula& ula, int64_t t) {
    while (ula.next_hsync <= t) {
        const int64_t at = ula.next_hsync;
        ula.line_start = at;
        ++ula.line;
        ula.line_counter = ula.vsync ? 0 : static_cast<uint8_t>((ula.line_counter + 1) & 7);
        if (ula.nmi_generator) ula.nmi_pulse = at;
        ula.next_hsync = at + line_cycles;
    }
}

// Eight pixels shifted out from time `t` on the current scan line, at their
// place in the television's picture: the ROM's first character at the
// picture's left edge, its first display line at the top.
void shift_out(Ula& ula, int64_t t, uint8_t pixels) {
    const int64_t y = ula.line - (ula.ntsc ? picture_top_60hz : picture_top_50hz) + border_height;
    const int64_t x = 2 * (t - ula.line_start - picture_left) + border_width;
    if (y < 0 || y >= frame_height || x <= -8 || x >= frame_width || pixels == 0) return;
    uint8_t* row = &ula.building.pixels[static_cast<size_t>(y * frame_row_bytes)];
    const int column = static_cast<int>(x >= 0 ? x / 8 : -1);
    const int shift = static_cast<int>(x - 8 * column);  // 0-7 pixels into the byte
    if (column >= 0) row[column] |= static_cast<uint8_t>(pixels >> shift);
    if (shift != 0 && column + 1 < frame_row_bytes) row[column + 1] |= static_cast<uint8_t>(pixels << (8 - shift));
}

// The colour of the eight pixels shifted out from time `t`: the cell they
// fall in most, and the rest of the next.
void colour_out(Ula& ula, int64_t t, uint8_t colour) {
    const int64_t y = ula.line - (ula.ntsc ? picture_top_60hz : picture_top_50hz) + border_height;
    const int64_t x = 2 * (t - ula.line_start - picture_left) + border_width + 4;
    if (y < 0 || y >= frame_height || x < 0 || x >= frame_width) return;
    ula.building.colours[static_cast<size_t>(y * frame_row_bytes + x / 8)] = colour;
}

void start_vsync(Ula& ula, int64_t t) {
    ula.vsync = true;
    ula.vsync_start = t;
    ula.line_counter = 0;
}

// The end of a vertical sync; a long one ends the frame: what was shifted out
// since the last is the picture now, and the scan lines count from here.
void end_vsync(Ula& ula, int64_t t) {
    ula.vsync = false;
    if (t - ula.vsync_start < shortest_vertical_sync) return;
    ula.frames_by_program = ula.last_fetch >= rom_size;
    ula.line = 0;
    ula.last_frame_end = t;
    // The colours travel only when a board gave them: a frame's copy and
    // its clearing stay the pixels' alone otherwise.
    ula.shown.pixels = ula.building.pixels;
    ula.shown.coloured = ula.building.coloured;
    if (ula.building.coloured) ula.shown.colours = ula.building.colours;
    ula.building.pixels.fill(0);
    ula.building.coloured = false;
    ula.shown_timing = ula.timing;
    ula.timing = LineTiming{};
    ++ula.frames;
}

// The model can give way to the simple one at `pc` (and not while the
// program makes its own frames, which the simple model cannot).
bool program_runs(const Zx81& m, uint16_t pc) {
    return models_can_change_at(m, pc) && !m.ula.frames_by_program;
}

void acknowledge(Ula& ula, int64_t t) {
    if (ula.last_acknowledge >= 0 && t - ula.last_acknowledge < 2 * line_cycles) {
        ++ula.timing.interrupt_lines;
        if (t - ula.last_acknowledge == line_cycles) ++ula.timing.lines_of_207;
    }
    ula.last_acknowledge = t;
    ula.next_hsync = t + hsync_after_acknowledge;
}

// The processor's bus in the hardware model (a debugger's also looks at
// every memory access and instruction for what it watches).
// A character row the boards shape (char_board.h, chroma.h), shifted out
// from time `t`: out of the bus's fetch, which stays small for the machine
// without them.
[[gnu::cold, gnu::noinline]] void shift_out_through_boards(Zx81& m, const PatternFetch& fetch, uint8_t stock, int64_t t) {
    const PatternRow row = boards_pattern(m, fetch, stock);
    if (row.coloured) colour_out(m.ula, t, row.colour);
    shift_out(m.ula, t, static_cast<uint8_t>(row.invert ? ~row.pixels : row.pixels));
}

template <bool Debug>
struct HardwareBus {
    static constexpr bool refresh = true;
    static constexpr bool exact_timing = true;
    static constexpr bool watches_boundaries = true;

    Zx81* m;
    int32_t fetched_left = 0;  // when the last opcode fetch came: a memory write's time

    uint8_t memory_at(uint16_t address) const { return m->memory[decoded(m->address_map, address)]; }

    // The machine's time (cycles since power-up), for the sound.
    int64_t sound_time(int32_t cycles_left) const {
        return static_cast<int64_t>(m->cycles_run) + period_cycles -
               cycles_left;
    }

    // An opcode fetch above 0x7FFF of a byte with bit 6 clear is the display
    // file being executed: the ULA latches the byte as a character (bits 0-5
    // the code, bit 7 inverse) and gives the processor a NOP. In the fetch's
    // refresh half it reads the glyph row, which the next fetch shifts out.
    uint8_t fetch(const Z80State& s, uint16_t address, uint8_t refresh, int32_t cycles_left, int offset) {
        m->ula.refresh_seen = refresh;
        m->ula.last_fetch = address;
        fetched_left = cycles_left;
        if (in_tape_code(address)) [[unlikely]]
            return fetch_in_tape_code(*m, address, sound_time(cycles_left) + offset);
        const uint8_t byte = memory_at(address);
        if (address < 0x8000 || (byte & 0x40)) return byte;
        // The ULA's read of the display file, for a watchpoint on it when
        // the display is debugged too.
        if constexpr (Debug)
            if (!m->debug.skip_display) watch_access(m->debug, decoded(m->address_map, address), false);
        const int64_t t = time_at(m->ula, cycles_left) + offset;
        catch_up(m->ula, t);
        // The ULA puts the character and the line counter on the ROM's low
        // address lines; RAM answers the processor's own refresh address.
        const uint16_t refresh_address = static_cast<uint16_t>((s.I << 8) | refresh);
        uint8_t pixels;
        if (refresh_address & 0x4000) {
            pixels = memory_at(refresh_address);
        } else {
            pixels = memory_at(static_cast<uint16_t>(((s.I & 0xFE) << 8) | ((byte & 0x3F) << 3) | m->ula.line_counter));
            if (m->pattern_boards) [[unlikely]] {
                shift_out_through_boards(*m, {address, byte, m->ula.line_counter, s.I}, pixels, t + 4);
                return 0x00;
            }
        }
        if (byte & 0x80) pixels = static_cast<uint8_t>(~pixels);
        shift_out(m->ula, t + 4, pixels);
        return 0x00;
    }

    uint8_t read(uint16_t address) {
        if constexpr (Debug) watch_access(m->debug, address, false);
        return memory_at(address);
    }
    void write(uint16_t address, uint8_t value) {
        if constexpr (Debug) watch_access(m->debug, address, true);
        if (static_cast<uint16_t>(address - m->tap_first) <= m->tap_span) [[unlikely]]
            if (tapped_write(*m, address, value, sound_time(fetched_left))) return;
        write_memory(m->memory, m->address_map, address, value);
    }

    // A keyboard read (an even port) with the NMI generator off starts a
    // vertical sync, which holds the line counter at 0. Bit 6 says which
    // television: 0 for 60 Hz.
    uint8_t in(uint16_t port, int32_t cycles_left) {
        const uint8_t value = port_read(*m, port, sound_time(cycles_left));
        if (port & 1) return value;
        const int64_t t = time_at(m->ula, cycles_left);
        catch_up(m->ula, t);
        if (!m->ula.nmi_generator && !m->ula.vsync) {
            start_vsync(m->ula, t);
            set_sync_line(m->sound, sound_time(cycles_left), true, in_frame_sync_code(m->ula.last_fetch));
        }
        if (feeder_busy(m->key_feeder)) [[unlikely]]
            note_key_read(*m, port, m->ula.last_fetch);
        return value;
    }

    // Any output ends the vertical sync; port 0xFE (A0 low) turns the NMI
    // generator on, 0xFD (A1 low) off; a sound board may take it too.
    void out(uint16_t port, uint8_t value, int32_t cycles_left) {
        const int64_t t = time_at(m->ula, cycles_left);
        catch_up(m->ula, t);
        const int64_t heard = sound_time(cycles_left);
        if (m->ula.vsync) {
            const uint64_t frames = m->ula.frames;
            end_vsync(m->ula, t);
            if (m->ula.frames != frames) {
                boards_frame_end(*m);
                // A colour board's border, from the new frame's first line.
                if (m->pattern_boards) [[unlikely]]
                    if (const int border = boards_border(*m); border >= 0) colour_whole_frame(m->ula.building, border);
            }
        }
        set_sync_line(m->sound, heard, false, false);
        boards_out(*m, port, value, heard);
        const UlaPortWrite ula = ula_port_write(port);
        if (ula.nmi_on) m->ula.nmi_generator = true;
        if (ula.nmi_off) m->ula.nmi_generator = false;
    }

    uint16_t period_end(Z80State* s) {
        // A debugger's stop ends the period early: what was not run is not counted.
        const int64_t spent = period_cycles - s->cycles_left - m->debug.unspent;
        m->debug.unspent = 0;
        m->ula.period_start += spent;
        const uint64_t after = m->cycles_run += static_cast<uint64_t>(spent);
        advance_sound(m->sound, static_cast<int64_t>(after));
        if (without_picture(m->ula)) m->ula.shown = Frame{};
        return IRQ_STOP;
    }

    static void trap(Z80State*) {}
    // An opcode the core does not know is the program's business: nothing is said.
    static void unrecognized(const Z80State&, const char*) {}

    // Between two instructions: a pending NMI, once the pulse is over, or the
    // maskable interrupt while bit 6 of the last refresh address is low. A
    // period that is to end where the program runs ends here. Most
    // instructions end with none of that to do; that test is made in the
    // loop, the rest out of it.
    Z80_INLINE uint16_t boundary(Cpu<HardwareBus>& c) {
        const bool interrupt_line = (c.s.IFF & IFF1) && !(m->ula.refresh_seen & int_line);
        uint16_t irq = IRQ_NONE;
        if (time_at(m->ula, c.cycles) >= m->ula.next_hsync || m->ula.nmi_pulse >= 0 || interrupt_line ||
            m->ula.boundary_work) [[unlikely]]
            irq = boundary_events(c);
        if constexpr (Debug) {
            // The debugger looks where the processor goes next: into the
            // interrupt's routine when one is taken here, so that a
            // breakpoint at 0x0038 or 0x0066 stops there.
            if (irq != IRQ_NONE && (irq == IRQ_NMI || !c.after_ei)) accept_interrupt(c, irq);
            irq = IRQ_NONE;
            if (stop_at_boundary(m->debug, c.pc, at_program(*m, c.pc, c.s.IFF)) !=
                StopReason::none) {
                m->debug.unspent = c.cycles;
                c.cycles = 0;
            }
        }
        return irq;
    }

    [[gnu::noinline]] uint16_t boundary_events(Cpu<HardwareBus>& c) {
        if (m->ula.boundary_work & at_loader_pass) {
            m->ula.boundary_work &= static_cast<uint8_t>(~at_loader_pass);
            if (!(m->ula.boundary_work & end_period_in_program))
                c.cycles -= skip_loader_passes(*m, c.s, c.pc, sound_time(c.cycles), c.cycles, c.r);
        }
        const int64_t t = time_at(m->ula, c.cycles);
        catch_up(m->ula, t);
        if ((m->ula.boundary_work & end_period_in_program) && c.cycles > 0 && program_runs(*m, c.pc)) {
            // The rest of the period is not run: as if it had been spent.
            m->ula.period_start -= c.cycles;
            c.cycles = 0;
            m->ula.ended_in_program = true;
            return IRQ_NONE;
        }
        if (m->ula.nmi_pulse >= 0) {
            const int64_t taken = std::max(t, m->ula.nmi_pulse + nmi_pulse_cycles);
            c.cycles -= static_cast<int32_t>(taken - t);  // wait states
            m->ula.nmi_pulse = -1;
            return IRQ_NMI;
        }
        if ((c.s.IFF & IFF1) && !(m->ula.refresh_seen & int_line) && !c.after_ei) {
            acknowledge(m->ula, t);
            return rom::maskable_interrupt;  // the bus floats: RST 38 in mode 0
        }
        return IRQ_NONE;
    }
};

}  // namespace

bool models_can_change_at(const Zx81& machine, uint16_t pc) {
    if (pc >= 0x8000 || (machine.cpu.IFF & IFF_HALTED)) return false;
    const bool fast = !(machine.memory[sysvar::cdflag] & sysvar::slow_running);
    return !in_rom_display_code(pc) || (fast && pc == rom::display_frame_start);
}

void run_hardware_period(Zx81& machine) {
    machine.ula.ended_in_program = false;
    if (debugging(machine.debug))
        z80_execute(&machine.cpu, HardwareBus<true>{&machine});
    else
        z80_execute(&machine.cpu, HardwareBus<false>{&machine});
}
