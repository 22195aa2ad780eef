#include "tape.h"

#include <algorithm>

#include "zx81.h"

namespace {

constexpr uint8_t halt_opcode = 0x76;
// A name is taken up to this long: longer than any the host can use.
constexpr size_t longest_name_taken = 256;
// A finished LOAD or SAVE goes on at the ROM's SLOW/FAST check, which
// returns to the statement loop; BREAK during one stops at RST 8 with
// report D.

// Ends the waiting command: the processor leaves the HALT it was given and
// goes on at `address`, with the stack as the ROM's command left it.
void end_command(Zx81& machine, uint16_t address) {
    machine.cpu.IFF &= static_cast<uint8_t>(~IFF_HALTED);
    machine.cpu.PC.w = address;
    machine.tape.command = {};
}

}  // namespace

uint8_t fetch_in_tape_code(Zx81& machine, uint16_t address, int64_t now) {
    if (address == rom::loader_wait_mark || address == rom::loader_bit_mark) machine.ula.boundary_work |= at_loader_pass;
    const bool caught = address == rom::save_after_name || address == rom::load_after_name;
    if (!caught || !machine.known_rom) return machine.memory[address];
    if (!machine.tape.traps) {
        if (address == rom::load_after_name) start_tape(machine.tape.deck, now);
        return machine.memory[address];
    }
    const Z80State& cpu = machine.cpu;
    TapeCommand& command = machine.tape.command;
    // Kept on the HALT, the processor fetches here again until the command
    // is served.
    if (command.action != TapeAction::none) return halt_opcode;
    command.action = address == rom::save_after_name ? TapeAction::save : TapeAction::load;
    command.name.clear();
    // LOAD "" comes with carry set. Otherwise DE holds the name's first
    // character and BC one less than its length; the ROM has set bit 7 of
    // its last. The whole name is taken, so that an inverse character
    // inside it, which would end the name on a real tape, can be told.
    const bool empty = command.action == TapeAction::load && (cpu.AF.b.l & FLAG_C);
    if (!empty) {
        const size_t length = std::min<size_t>(cpu.BC.w + 1u, longest_name_taken);
        for (size_t i = 0; i < length; ++i)
            command.name.push_back(
                machine.memory[decoded(machine.address_map, static_cast<uint16_t>(cpu.DE.w + i))]);
    }
    return halt_opcode;
}

int32_t skip_loader_passes(Zx81& machine, Z80State& cpu, uint16_t pc, int64_t now, int32_t budget, uint8_t& r) {
    // Where the marks leave the processor: before the waiting loop's IN,
    // and after the timing loop's.
    constexpr uint16_t waiting = rom::loader_wait_mark + 2, timing = rom::loader_bit_mark + 2;
    if ((pc != waiting && pc != timing) || !machine.known_rom || !machine.tape.quick_waits ||
        machine.ula.nmi_generator || (cpu.IFF & IFF1))
        return 0;
    if (debugging(machine.debug) && !quiet_between(machine.debug, rom::loader_wait_mark, rom::loader_bit_mark + 8)) return 0;
    TapeDeck& deck = machine.tape.deck;
    const int64_t edge = tape_next_change(deck, now);
    uint8_t& b = cpu.BC.b.h;
    int32_t pass;
    int64_t most;  // passes before the one that leaves the loop
    int refreshes;  // opcode fetches a pass
    bool high;
    if (pc == waiting) {
        // Each pass starts a vertical sync and ends it, which the sound
        // hears; it leaves on a high level, on SPACE, or when B runs out.
        high = tape_level(deck, now);
        const bool space = !(read_keyboard(machine.keys, 0x7FFE) & 1);
        if (high || space || machine.sound.sample_rate != 0 || machine.ula.vsync) return 0;
        pass = 68;
        most = (b ? b : 256) - 1;
        refreshes = 9;
    } else {
        // The read just made started a vertical sync that the others keep
        // on. A high level holds B; a low one counts it down to the end.
        high = cpu.AF.b.h & 0x80;
        if (!machine.ula.vsync) return 0;
        pass = high ? 50 : 51;
        most = high ? INT64_MAX : b - 1;
        refreshes = 8;
    }
    // Whole passes whose reads come before the edge, and one left for the
    // period.
    const int64_t passes = std::min({most, (edge - now - 1) / pass, static_cast<int64_t>(budget / pass) - 1});
    if (passes <= 0) return 0;
    const auto n = static_cast<uint32_t>(passes);
    if (pc == timing) cpu.DE.b.l = static_cast<uint8_t>(cpu.DE.b.l - n);
    b = pc == timing && high ? 0x1A : static_cast<uint8_t>(b - n);
    r = static_cast<uint8_t>((r & 0x80) | ((r + refreshes * n) & 0x7F));
    return static_cast<int32_t>(passes * pass);
}

void finish_tape_command(Zx81& machine) {
    if (machine.tape.command.action != TapeAction::none) end_command(machine, rom::slow_fast_check);
}

void finish_tape_load(Zx81& machine, const ProgramImage& image) {
    put_program(machine, image);
    end_command(machine, rom::slow_fast_check);
}

namespace {

class CassetteRecorder : public Device {
public:
    const char* name() const override { return "tape"; }
    bool ear(Zx81& machine, int64_t t) override {
        return machine.tape.deck.playing && tape_level(machine.tape.deck, t);
    }
};

}  // namespace

std::unique_ptr<Device> make_cassette_recorder() {
    return std::make_unique<CassetteRecorder>();
}

void break_tape_command(Zx81& machine) {
    if (machine.tape.command.action != TapeAction::none) end_command(machine, rom::break_report);
}
