// A test machine for the core: flat 64 KB memory, and a log of every
// callback in the order the core makes them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <vector>

#include "z80.h"

enum class Bus { Read, Write, In, Out, Trap, Loop };

struct BusEvent {
    Bus kind;
    uint16_t address;
    uint8_t value;
    bool operator==(const BusEvent&) const = default;
};
std::ostream& operator<<(std::ostream& out, const BusEvent& e);

inline BusEvent rd(uint16_t a, uint8_t v) { return {Bus::Read, a, v}; }
inline BusEvent wr(uint16_t a, uint8_t v) { return {Bus::Write, a, v}; }
inline BusEvent in(uint16_t port, uint8_t v) { return {Bus::In, port, v}; }
inline BusEvent out(uint16_t port, uint8_t v) { return {Bus::Out, port, v}; }

namespace test_bus {

extern std::array<uint8_t, 65536> memory;
extern std::vector<BusEvent> events;
extern bool recording;
// Answers port_in; returns 0xFF unless a test sets it.
extern std::function<uint8_t(uint16_t)> port_reader;
// Answers machine_loop; unless a test sets it, records the state and stops.
extern std::function<uint16_t(Z80State*)> loop_handler;
// cycles_left as machine_loop found it, at each call.
extern std::vector<int32_t> loop_cycles;

void reset();
void load(uint16_t address, std::initializer_list<uint8_t> bytes);

}  // namespace test_bus

// Runs exactly one instruction through z80_run, entered with cycles_left at
// 0 so that the period ends right after it, and returns its cost.
int run_one(Z80State* s);
