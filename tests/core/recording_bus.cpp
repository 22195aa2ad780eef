#include "recording_bus.h"

#include <cstdio>
#include <iomanip>

namespace test_bus {

std::array<uint8_t, 65536> memory;
std::vector<BusEvent> events;
bool recording = true;
std::function<uint8_t(uint16_t)> port_reader;
std::function<uint16_t(Z80State*)> loop_handler;
std::vector<int32_t> loop_cycles;

void reset() {
    memory.fill(0);
    events.clear();
    recording = true;
    port_reader = nullptr;
    loop_handler = nullptr;
    loop_cycles.clear();
}

void load(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) memory[address++] = b;
}

}  // namespace test_bus

using namespace test_bus;

std::ostream& operator<<(std::ostream& out, const BusEvent& e) {
    static const char* const names[] = {"read", "write", "in", "out", "trap", "loop"};
    return out << names[static_cast<int>(e.kind)] << '(' << std::hex << std::setw(4)
               << std::setfill('0') << e.address << ", " << std::setw(2)
               << static_cast<int>(e.value) << ')' << std::dec;
}

uint8_t mem_read(uint16_t address) {
    const uint8_t v = memory[address];
    if (recording) events.push_back({Bus::Read, address, v});
    return v;
}

void mem_write(uint16_t address, uint8_t value) {
    memory[address] = value;
    if (recording) events.push_back({Bus::Write, address, value});
}

uint8_t port_in(uint16_t port) {
    const uint8_t v = port_reader ? port_reader(port) : 0xFF;
    if (recording) events.push_back({Bus::In, port, v});
    return v;
}

void port_out(uint16_t port, uint8_t value) {
    if (recording) events.push_back({Bus::Out, port, value});
}

void ed_trap(Z80State* s) {
    if (recording) events.push_back({Bus::Trap, s->PC.w, 0});
}

// The test machine says what the core reports, on standard output, where the
// tests read it.
void unrecognized_opcode(const Z80State*, const char* report) {
    std::fputs(report, stdout);
}

uint16_t machine_loop(Z80State* s) {
    loop_cycles.push_back(s->cycles_left);
    if (recording) events.push_back({Bus::Loop, s->PC.w, 0});
    if (loop_handler) return loop_handler(s);
    return IRQ_STOP;
}

int run_one(Z80State* s) {
    s->cycles_left = 0;
    loop_cycles.clear();
    z80_run(s);
    return -loop_cycles.front();
}
