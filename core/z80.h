// The Z80 processor core: one state record, the operations on it, and the
// six machine callbacks that whoever links the core must provide.
#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "RegPair keeps its low byte first; the host must be little-endian");

// A 16-bit register pair, usable as one word or as its two bytes. The low
// byte (C of BC, F of AF, ...) is stored first.
struct RegPair {
    union {
        uint16_t w;
        struct {
            uint8_t l;
            uint8_t h;
        } b;
    };
};

// Bits of Z80State::IFF.
constexpr uint8_t IFF1 = 0x01;            // maskable interrupts enabled
constexpr uint8_t IFF_IM1 = 0x02;         // interrupt mode 1
constexpr uint8_t IFF_IM2 = 0x04;         // interrupt mode 2 (wins over IM1)
constexpr uint8_t IFF_EI_PENDING = 0x20;  // EI cut the period to deliver pending_irq
constexpr uint8_t IFF2 = 0x40;            // IFF1 as it was when an interrupt was taken
constexpr uint8_t IFF_HALTED = 0x80;      // HALT executed; PC points at the HALT opcode

// Bits of F.
constexpr uint8_t FLAG_S = 0x80;
constexpr uint8_t FLAG_Z = 0x40;
constexpr uint8_t FLAG_5 = 0x20;
constexpr uint8_t FLAG_H = 0x10;
constexpr uint8_t FLAG_3 = 0x08;
constexpr uint8_t FLAG_PV = 0x04;
constexpr uint8_t FLAG_N = 0x02;
constexpr uint8_t FLAG_C = 0x01;

// Interrupt values: results of machine_loop and the value of pending_irq.
// Any value other than these three is a maskable interrupt carrying it.
constexpr uint16_t IRQ_NONE = 0xFFFF;
constexpr uint16_t IRQ_STOP = 0xFFFE;
constexpr uint16_t IRQ_NMI = 0x0066;

struct Z80State {
    RegPair AF;
    RegPair BC;
    RegPair DE;
    RegPair HL;
    RegPair IX;
    RegPair IY;
    RegPair PC;
    RegPair SP;
    RegPair AF_alt;
    RegPair BC_alt;
    RegPair DE_alt;
    RegPair HL_alt;
    uint8_t IFF;
    uint8_t I;
    int32_t period_cycles;    // cycles per period; machine_loop runs once per period
    int32_t cycles_left;      // counts down; may overshoot below 0
    int32_t saved_cycles;     // cycles_left as it was when EI shortened the period
    uint16_t pending_irq;     // delivered right after EI; IRQ_NONE for none
    uint32_t cpu_id;          // printed at the head of unrecognised-opcode reports
    uint8_t report_unrecognized;
    // The refresh register, for machines whose bus counts it (see z80_bus.h):
    // its low 7 bits count opcode fetches, bit 7 changes only by LD R,A.
    uint8_t R;
};

// Operations of the core on the machine of the link-time callbacks below.
// (A machine with a bus of its own runs z80_execute<Bus> from z80_execute.h.)
void z80_reset(Z80State* state);
uint16_t z80_run(Z80State* state);
void z80_interrupt(Z80State* state, uint16_t value);
// One ED-prefixed instruction, with PC past the prefix byte: what the
// execution loop does for it.
void z80_exec_ed(Z80State* state);

// Machine callbacks: plain functions that the program linking the core
// defines. z80_run calls them for all of its memory, port and periodic work,
// and hands the report of an opcode it does not know (a line of text) to
// unrecognized_opcode: the core itself never prints.
uint8_t mem_read(uint16_t address);
void mem_write(uint16_t address, uint8_t value);
uint8_t port_in(uint16_t port);
void port_out(uint16_t port, uint8_t value);
uint16_t machine_loop(Z80State* state);
void ed_trap(Z80State* state);
void unrecognized_opcode(const Z80State* state, const char* report);
