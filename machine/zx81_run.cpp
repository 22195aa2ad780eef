// The machine run: power, reset and its options, a period at a time on the
// simple model's bus or the hardware model's, the switch between them, and
// the key feeder's turn between two periods.
#include <algorithm>
#include <memory>

#include "char_board.h"
#include "chroma.h"
#include "hardware_model.h"
#include "joystick.h"
#include "ports.h"
#include "sound_board.h"
#include "tape.h"
#include "z80_execute.h"
#include "zx81.h"
#include "zx_printer.h"
#include "zxpand.h"

namespace {

// The ROM's SLOW/FAST check turns the NMI generator on for a moment and
// looks whether an NMI came. None comes in the simple model, and there the
// ROM would drop the program's request for SLOW mode (RES 6,(HL), then
// RET). A real ZX81 keeps the request in CDFLAG, and saves it with the
// program; the simple model keeps it too, only without acting on it: the
// instruction becomes its RET, and SLOW mode is never marked as running.
constexpr uint8_t ret_opcode = 0xC9;

// The simple model's frames: 50 a second.
constexpr uint64_t simple_frame_cycles = 2 * period_cycles;

// The time is worked out here, out of the processor's loop, from the cycles
// left in the period at the fetch.
[[gnu::cold, gnu::noinline]] uint8_t fetch_caught(Zx81& machine, uint16_t address, int32_t cycles_left) {
    if (address == rom::slow_check_saw_no_nmi)
        return machine.known_rom ? ret_opcode : machine.memory[address];
    const int64_t now = static_cast<int64_t>(machine.cycles_run) +
                        machine.cpu.period_cycles - cycles_left;
    return fetch_in_tape_code(machine, address, now);
}

// The processor's bus in the simple model: memory, the keyboard behind even
// ports, the sync line and the sound board, LOAD and SAVE caught for files,
// and the end of each period, which ends the run so that the front end has
// its turn between two. With RAM filling 0x4000-0x7FFF every address is its
// own; a smaller RAM repeats, and decoding that has a bus of its own, so
// that the usual machine pays nothing for it.
template <bool SmallRam, bool Debug>
struct SimpleBus {
    static constexpr bool refresh = false;
    static constexpr bool exact_timing = false;
    // A debugger's bus looks at every instruction's end.
    static constexpr bool watches_boundaries = Debug;

    Zx81* m;
    // The last opcode fetch: where (the instruction a port access belongs
    // to) and when (the time of a memory write, which has none of its own).
    uint16_t fetched = 0;
    int32_t fetched_left = 0;

    int64_t time(int32_t cycles_left) const {
        return static_cast<int64_t>(m->cycles_run) + m->cpu.period_cycles -
               cycles_left;
    }

    uint8_t fetch(const Z80State&, uint16_t address, uint8_t, int32_t cycles_left, int) {
        fetched = address;
        fetched_left = cycles_left;
        if (in_tape_code(address) || address == rom::slow_check_saw_no_nmi) [[unlikely]]
            return fetch_caught(*m, address, cycles_left);
        return memory_at(address);  // an opcode fetch is no data read for a watchpoint
    }
    uint8_t memory_at(uint16_t address) const {
        if constexpr (SmallRam) address = decoded(m->address_map, address);
        return m->memory[address];
    }
    uint8_t read(uint16_t address) {
        if constexpr (Debug) watch_access(m->debug, address, false);
        return memory_at(address);
    }
    void write(uint16_t address, uint8_t value) {
        if constexpr (Debug) watch_access(m->debug, address, true);
        if (static_cast<uint16_t>(address - m->tap_first) <= m->tap_span) [[unlikely]]
            if (tapped_write(*m, address, value, time(fetched_left))) return;
        if constexpr (SmallRam) address = decoded(m->address_map, address);
        if (address >= m->address_map.writable_from) m->memory[address] = value;
    }
    // An even port is the keyboard and the EAR socket; reading it with the
    // NMI generator off starts a vertical sync, which is all the sound the
    // ZX81 has.
    uint8_t in(uint16_t port, int32_t cycles_left) {
        const int64_t t = time(cycles_left);
        if (!(port & 1)) {
            if (!m->nmi_generator) set_sync_line(m->sound, t, true, in_frame_sync_code(fetched));
            if (feeder_busy(m->key_feeder)) [[unlikely]]
                note_key_read(*m, port, fetched);
        }
        return port_read(*m, port, t);
    }
    // Any output ends the sync; the NMI generator that a program turns on or
    // off is kept for the hardware model; the boards see it.
    void out(uint16_t port, uint8_t value, int32_t cycles_left) {
        const int64_t t = time(cycles_left);
        set_sync_line(m->sound, t, false, false);
        boards_out(*m, port, value, t);
        const UlaPortWrite ula = ula_port_write(port);
        if (ula.nmi_on) m->nmi_generator = true;
        if (ula.nmi_off) m->nmi_generator = false;
    }
    uint16_t period_end(Z80State* state) {
        // A stop ends the period early: what was not run is not counted.
        const auto spent = static_cast<uint64_t>(state->period_cycles - state->cycles_left - m->debug.unspent);
        m->debug.unspent = 0;
        const uint64_t after = m->cycles_run += spent;
        advance_sound(m->sound, static_cast<int64_t>(after));
        return IRQ_STOP;
    }
    static void trap(Z80State*) {}
    // An opcode the core does not know is the program's business: nothing is said.
    static void unrecognized(const Z80State&, const char*) {}
    // The debugger's bus: a stop between two instructions ends the period.
    uint16_t boundary(Cpu<SimpleBus>& c) {
        if (stop_at_boundary(m->debug, c.pc, at_program(*m, c.pc, c.s.IFF)) !=
            StopReason::none) {
            m->debug.unspent = c.cycles;
            c.cycles = 0;
        }
        return IRQ_NONE;
    }
};

// The processor's period and the display hardware, fresh, for the model.
void start_model(Zx81& machine) {
    const bool hardware = machine.model == Model::hardware;
    machine.address_map = address_map_for(machine.ram_kb, hardware, machine.low_ram);
    machine.cpu.period_cycles = period_cycles;
    machine.cpu.cycles_left = machine.cpu.period_cycles;
    if (hardware) start_hardware(machine.ula, machine.ntsc);
}

void run_simple_period(Zx81& machine) {
    // The bus ends the run after one period.
    const bool small = machine.ram_kb < 16;
    const uint64_t frame_before = machine.cycles_run / simple_frame_cycles;
    if (debugging(machine.debug))
        small ? z80_execute(&machine.cpu, SimpleBus<true, true>{&machine})
              : z80_execute(&machine.cpu, SimpleBus<false, true>{&machine});
    else
        small ? z80_execute(&machine.cpu, SimpleBus<true, false>{&machine})
              : z80_execute(&machine.cpu, SimpleBus<false, false>{&machine});
    // The simple model's television: a frame every other period.
    if (machine.cycles_run / simple_frame_cycles != frame_before) boards_frame_end(machine);
}

// The simple model runs on an instruction at a time to where the models can
// change (for at most a few frames' worth of instructions: a program halted
// for good gets the switch there), then the hardware model takes over, with
// the NMI generator as the program left it and interrupts disabled, as the
// ROM's program code and the start of its frames always have them (the
// simple model runs the ROM's display without the interrupts that would
// have disabled them again).
void switch_to_hardware(Zx81& machine) {
    const int32_t period = machine.cpu.period_cycles;
    machine.cpu.period_cycles = 1;
    for (int step = 0; step < 100000 && !models_can_change_at(machine, machine.cpu.PC.w); ++step) {
        machine.cpu.cycles_left = 1;
        run_simple_period(machine);
    }
    machine.cpu.period_cycles = period;
    machine.cpu.IFF &= static_cast<uint8_t>(~(IFF1 | IFF2));
    machine.model = Model::hardware;
    start_model(machine);
    machine.ula.nmi_generator = machine.nmi_generator;
    machine.memory[sysvar::cdflag] |= sysvar::slow_requested;
}

// Called where the program runs, not the ROM's display.
void switch_to_simple(Zx81& machine) {
    machine.nmi_generator = machine.ula.nmi_generator;
    machine.model = Model::simple;
    start_model(machine);
    if (machine.memory[sysvar::cdflag] & sysvar::slow_running) {
        // SLOW mode cannot go on without NMIs: FAST from here, as the ROM's
        // FAST command leaves it (its next check finds no NMI generator and
        // drops the request for SLOW too). Waiting for a key, the ROM spins
        // on a flag that only the NMIs set; it goes back to the start of its
        // wait, which in FAST mode scans the keys itself. The NMI generator
        // goes off with it, as FAST mode has it: carried on into the hardware
        // model, its NMIs would break into the ROM's FAST display.
        machine.memory[sysvar::cdflag] &= static_cast<uint8_t>(~sysvar::slow_running);
        machine.nmi_generator = false;
        if (machine.cpu.PC.w >= rom::key_wait_spin && machine.cpu.PC.w <= rom::key_wait_spin + 3)
            machine.cpu.PC.w = rom::key_wait;
    }
}

}  // namespace

Devices standard_devices() {
    Devices devices;
    devices.push_back(make_cassette_recorder());
    devices.push_back(make_sound_board(MachineOptions{}.sound_board));
    return devices;
}

RamChoice ram_of(const MachineOptions& options) {
    const bool zxpand = options.zxpand || options.joystick == JoystickKind::zxpand;
    return {zxpand ? std::max(options.ram_kb, 32) : options.ram_kb, options.low_ram || needs_low_ram(options.chars)};
}

void configure(Zx81& machine, const MachineOptions& options) {
    machine.model = options.model;
    machine.ntsc = options.ntsc;
    const RamChoice ram = ram_of(options);
    machine.ram_kb = ram.kb;
    machine.low_ram = ram.low;
    machine.known_rom = options.known_rom;
    machine.tape.traps = !options.real_tape;
    machine.devices.clear();
    machine.devices.push_back(make_cassette_recorder());
    if (auto board = make_sound_board(options.sound_board)) machine.devices.push_back(std::move(board));
    if (options.printer) machine.devices.push_back(make_zx_printer());
    if (options.chroma) machine.devices.push_back(make_chroma());
    if (auto board = make_char_board(options.chars, options.chr128_inverts)) machine.devices.push_back(std::move(board));
    if (auto stick = make_joystick(options.joystick)) machine.devices.push_back(std::move(stick));
    if (options.zxpand || options.joystick == JoystickKind::zxpand) machine.devices.push_back(make_zxpand());
    const AddressRange taps = tapped_by(machine.devices);
    machine.tap_first = taps.empty() ? 0 : taps.first;
    machine.tap_span = taps.empty() ? 0 : static_cast<uint16_t>(taps.last - taps.first);
    machine.pattern_boards = std::any_of(machine.devices.begin(), machine.devices.end(),
                                         [](const auto& device) { return device->shapes_picture(); });
}


void power_up(Zx81& machine, const RomImage& rom) {
    power_up_memory(machine.memory, rom, machine.low_ram);
    reset_sound(machine.sound, static_cast<int64_t>(machine.cycles_run));
    machine.tape.command = {};
    machine.keys = no_keys_down;
    machine.cpu = Z80State{};
    machine.requested_model = machine.model;
    start_model(machine);
    z80_reset(&machine.cpu);
}

void reset(Zx81& machine) {
    reset_memory(machine.memory, machine.low_ram);
    boards_reset(machine);
    machine.tape.command = {};
    start_model(machine);
    z80_reset(&machine.cpu);
}

namespace {

// A stopped machine changes model only where it stands at a place the
// models can change (else when it goes on): stepping it there would run
// instructions no debugger asked for.
void switch_while_stopped(Zx81& machine) {
    if (machine.requested_model == machine.model || !models_can_change_at(machine, machine.cpu.PC.w)) return;
    if (machine.model == Model::simple)
        switch_to_hardware(machine);
    else if (!machine.ula.frames_by_program)
        switch_to_simple(machine);
}

}  // namespace

namespace {

void run_one_period(Zx81& machine) {
    if (machine.debug.stopped) {
        switch_while_stopped(machine);
        return;
    }
    if (machine.debug.set > 0 && stops_before_period(machine.debug, machine.cpu.PC.w)) return;
    machine.debug.resumed = false;
    if (machine.requested_model == Model::hardware && machine.model == Model::simple)
        switch_to_hardware(machine);
    if (machine.model == Model::simple) {
        run_simple_period(machine);
        return;
    }
    const bool leaving = machine.requested_model == Model::simple;
    if (leaving)
        machine.ula.boundary_work |= end_period_in_program;
    else
        machine.ula.boundary_work &= static_cast<uint8_t>(~end_period_in_program);
    run_hardware_period(machine);
    // A program that never leaves the display file (run away into it, say)
    // gets the switch after two seconds anyway; one that makes its own
    // frames keeps the hardware model until it stops.
    machine.ula.periods_leaving = leaving && !machine.ula.frames_by_program ? machine.ula.periods_leaving + 1 : 0;
    if (machine.ula.ended_in_program || machine.ula.periods_leaving > 200) switch_to_simple(machine);
}

// The key feeder's turn between two periods.
void feed_keys(Zx81& machine) {
    KeyFeeder& feeder = machine.key_feeder;
    if (!feeder_busy(feeder)) return;
    feeder.known_rom = machine.known_rom;
    feeder.slow = machine.model == Model::hardware && (machine.memory[sysvar::cdflag] & sysvar::slow_running);
    advance_key_feeder(feeder, machine.keys,
                       {static_cast<int64_t>(machine.cycles_run),
                        peek(machine, sysvar::debounce), machine.cpu.PC.w});
}

}  // namespace

void run_period(Zx81& machine) {
    run_one_period(machine);
    feed_keys(machine);
}

void stop_running(Zx81& machine) {
    Debugger& debug = machine.debug;
    if (debug.stopped) return;
    if (debug.skip_display && !program_instruction(machine, machine.cpu.PC.w, machine.cpu.IFF)) {
        // A few frames at most: a display with interrupts off at a HALT
        // never ends, and the stop is then made where the processor is.
        debug.stop_asked = true;
        for (int period = 0; period < 8 && !debug.stopped; ++period) run_period(machine);
    }
    if (!debug.stopped) stop_now(debug, StopReason::asked);
}

void request_model(Zx81& machine, Model model) {
    machine.requested_model = model;
}

void type_key(Zx81& machine, ZxKey key, bool down) {
    feed_key(machine.key_feeder, key, down);
    // Shown at once where it may be: a key typed at rest needs no period's wait.
    feed_keys(machine);
}

const Frame& latest_frame(Zx81& machine) {
    if (machine.model == Model::hardware) return machine.ula.shown;
    // Paper until the ROM has made its display file, as a television shows
    // before the first picture (never memory drawn as characters).
    if (!display_file_made(machine.memory)) {
        machine.frame.pixels.fill(0);
        machine.frame.coloured = false;
        return machine.frame;
    }
    if (!machine.pattern_boards && !machine.low_ram) {
        decode_display_file(machine.memory, machine.frame);
        return machine.frame;
    }
    // The patterns as the ULA would fetch them: from the ROM's character
    // set, or with I pointing there, from RAM at 8-16K; then the boards'.
    Frame& frame = machine.frame;
    const int border = boards_border(machine);
    frame.coloured = false;
    if (border >= 0) colour_whole_frame(frame, border);
    const uint8_t i = machine.cpu.I;
    const bool own_set = machine.low_ram && i >= 0x20 && i < 0x40;
    const uint16_t base = own_set ? static_cast<uint16_t>((i & 0xFE) << 8) : rom::character_set;
    decode_display_file(machine.memory, frame, [&](uint16_t address, uint8_t code, uint8_t row) {
        const uint8_t stock = machine.memory[static_cast<uint16_t>(base + 8 * (code & 0x3F) + row)];
        const PatternRow shown = machine.pattern_boards ? boards_pattern(machine, {address, code, row, i}, stock)
                                                        : PatternRow{stock, (code & 0x80) != 0};
        if (shown.coloured) frame.coloured = true;
        return CellRow{static_cast<uint8_t>(shown.invert ? ~shown.pixels : shown.pixels), shown.colour, shown.coloured};
    });
    return frame;
}
