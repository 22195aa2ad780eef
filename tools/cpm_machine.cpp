#include "cpm_machine.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// Where the BDOS entry jumps to: ED FE (the core's trap) then RET. The word at
// 0x0006 points here, which CP/M programs take as the top of their memory.
constexpr uint16_t bdos_address = 0xFF00;
constexpr int32_t period = 1'000'000;

std::array<uint8_t, 65536> ram;
CpmRun* current = nullptr;
bool echo_output = false;
uint64_t limit = 0;

void print_char(char c) {
    current->output.push_back(c);
    if (echo_output) {
        std::putchar(c);
        if (c == '\n') std::fflush(stdout);
    }
}

}  // namespace

uint8_t mem_read(uint16_t address) {
    return ram[address];
}

void mem_write(uint16_t address, uint8_t value) {
    ram[address] = value;
}

uint8_t port_in(uint16_t) {
    return 0xFF;
}

void port_out(uint16_t, uint8_t) {}

// A CP/M program's unknown opcode is said on standard output.
void unrecognized_opcode(const Z80State*, const char* report) {
    std::fputs(report, stdout);
}

void ed_trap(Z80State* s) {
    const uint16_t trap_pc = static_cast<uint16_t>(s->PC.w - 2);
    if (trap_pc == 0x0000) {
        // Warm boot: stop at the next period end (the HALT after the trap).
        current->finished = true;
        return;
    }
    if (trap_pc != bdos_address) return;
    switch (s->BC.b.l) {
    case 2:  // console output of E
        print_char(static_cast<char>(s->DE.b.l));
        break;
    case 9:  // print the string at DE up to '$'
        for (uint16_t a = s->DE.w; ram[a] != '$'; ++a) print_char(static_cast<char>(ram[a]));
        break;
    default:
        break;
    }
}

uint16_t machine_loop(Z80State* s) {
    current->cycles += static_cast<uint64_t>(s->period_cycles - s->cycles_left);
    if (current->finished) return IRQ_STOP;
    if (limit != 0 && current->cycles >= limit) return IRQ_STOP;
    return IRQ_NONE;
}

CpmRun cpm_run_program(const std::string& path, uint64_t cycle_limit, bool echo) {
    CpmRun run;
    std::ifstream file(path, std::ios::binary);
    if (!file) return run;
    const std::vector<char> program((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    if (program.size() > 0xF000) return run;
    run.loaded = true;

    ram.fill(0);
    for (size_t i = 0; i < program.size(); ++i) ram[0x100 + i] = static_cast<uint8_t>(program[i]);
    // 0x0000: trap, HALT (the warm boot ends the period and the run).
    ram[0x0000] = 0xED;
    ram[0x0001] = 0xFE;
    ram[0x0002] = 0x76;
    // 0x0005: JP bdos_address.
    ram[0x0005] = 0xC3;
    ram[0x0006] = bdos_address & 0xFF;
    ram[0x0007] = bdos_address >> 8;
    ram[bdos_address] = 0xED;
    ram[bdos_address + 1] = 0xFE;
    ram[bdos_address + 2] = 0xC9;

    current = &run;
    echo_output = echo;
    limit = cycle_limit;

    Z80State state{};
    state.period_cycles = period;
    z80_reset(&state);
    state.PC.w = 0x0100;
    state.SP.w = bdos_address;
    z80_run(&state);
    current = nullptr;
    return run;
}
