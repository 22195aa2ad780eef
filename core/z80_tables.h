// Constant tables shared by every instruction group: cycle costs, the S/Z and
// S/Z/parity flag tables and the DAA results. The rule-based ones are built at
// compile time from their rules.
#pragma once

#include <array>
#include <cstdint>

using CycleTable = std::array<uint8_t, 256>;

// Unprefixed opcodes. Conditional instructions hold their cost when the
// condition fails; the prefixes CB, DD, ED and FD cost 0 here.
inline constexpr CycleTable cycles_main = {
    4,  10, 7,  6,  4,  4,  7,  4,  4,  11, 7,  6,  4,  4,  7,  4,   // 0_
    8,  10, 7,  6,  4,  4,  7,  4,  12, 11, 7,  6,  4,  4,  7,  4,   // 1_
    7,  10, 16, 6,  4,  4,  7,  4,  7,  11, 16, 6,  4,  4,  7,  4,   // 2_
    7,  10, 13, 6,  11, 11, 10, 4,  7,  11, 13, 6,  4,  4,  7,  4,   // 3_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 4_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 5_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 6_
    7,  7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7,  4,   // 7_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 8_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // 9_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // A_
    4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,   // B_
    5,  10, 10, 10, 10, 11, 7,  11, 5,  10, 10, 0,  10, 17, 7,  11,  // C_
    5,  10, 10, 11, 10, 11, 7,  11, 5,  4,  10, 11, 10, 0,  7,  11,  // D_
    5,  10, 10, 19, 10, 11, 7,  11, 5,  4,  10, 4,  10, 0,  7,  11,  // E_
    5,  10, 10, 4,  10, 11, 7,  11, 5,  6,  10, 4,  10, 0,  7,  11,  // F_
};

// ED-prefixed opcodes. 0 marks both the unrecognised ones and those that
// charge their own cost (the repeating block instructions, ED ED, ED FE).
inline constexpr CycleTable cycles_ed = {
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 0_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 1_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 2_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 3_
    12, 12, 15, 20, 8,  14, 8,  9,  12, 12, 15, 20, 0,  14, 0,  9,   // 4_
    12, 12, 15, 20, 0,  0,  8,  9,  12, 12, 15, 20, 0,  0,  8,  9,   // 5_
    12, 12, 15, 20, 0,  0,  0,  18, 12, 12, 15, 20, 0,  0,  0,  18,  // 6_
    12, 0,  15, 20, 0,  0,  0,  0,  12, 12, 15, 20, 0,  0,  0,  0,   // 7_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 8_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // 9_
    16, 16, 16, 16, 0,  0,  0,  0,  16, 16, 16, 16, 0,  0,  0,  0,   // A_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // B_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // C_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // D_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // E_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // F_
};

// DD- and FD-prefixed opcodes (one table for both). The whole cost of the
// instruction, prefix included; 0 for most opcodes that run as their
// unprefixed twins.
inline constexpr CycleTable cycles_index = {
    0,  0,  0,  0,  0,  0,  0,  0,  0,  15, 0,  0,  0,  0,  0,  0,   // 0_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  15, 0,  0,  0,  0,  0,  0,   // 1_
    0,  14, 20, 10, 9,  9,  9,  0,  0,  15, 20, 10, 9,  9,  9,  0,   // 2_
    0,  0,  0,  0,  23, 23, 19, 0,  0,  15, 0,  0,  0,  0,  0,  0,   // 3_
    0,  0,  0,  0,  9,  9,  19, 0,  0,  0,  0,  0,  9,  9,  19, 0,   // 4_
    0,  0,  0,  0,  9,  9,  19, 0,  0,  0,  0,  0,  9,  9,  19, 0,   // 5_
    9,  9,  9,  9,  9,  9,  9,  9,  9,  9,  9,  9,  9,  9,  9,  9,   // 6_
    19, 19, 19, 19, 19, 19, 19, 19, 0,  0,  0,  0,  9,  9,  19, 0,   // 7_
    0,  0,  0,  0,  9,  9,  19, 0,  0,  0,  0,  0,  9,  9,  19, 0,   // 8_
    0,  0,  0,  0,  9,  9,  19, 0,  0,  0,  0,  0,  9,  9,  19, 0,   // 9_
    0,  0,  0,  0,  9,  9,  19, 0,  0,  0,  0,  0,  9,  9,  19, 0,   // A_
    0,  0,  0,  0,  9,  9,  19, 0,  0,  0,  0,  0,  9,  9,  19, 0,   // B_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // C_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,   // D_
    0,  14, 0,  23, 0,  15, 0,  0,  0,  8,  0,  0,  0,  0,  0,  0,   // E_
    0,  0,  0,  0,  0,  0,  0,  0,  0,  10, 0,  0,  0,  0,  0,  0,   // F_
};

namespace z80_table_rules {

constexpr CycleTable build_cycles_cb() {
    CycleTable t{};
    for (int op = 0; op < 256; ++op) {
        if ((op & 7) != 6)
            t[op] = 8;
        else
            t[op] = (op >= 0x40 && op <= 0x7F) ? 12 : 15;
    }
    return t;
}

constexpr CycleTable build_cycles_index_cb() {
    CycleTable t{};
    for (int op = 0; op < 256; ++op) {
        if (op >= 0x40 && op <= 0x7F)
            t[op] = 20;
        else if ((op & 7) == 6)
            t[op] = 23;
    }
    return t;
}

constexpr std::array<uint8_t, 256> build_flags_zs() {
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v)
        t[v] = static_cast<uint8_t>((v == 0 ? 0x40 : 0) | (v & 0x80));
    return t;
}

constexpr bool even_parity(int v) {
    int ones = 0;
    for (int bit = 0; bit < 8; ++bit)
        ones += (v >> bit) & 1;
    return ones % 2 == 0;
}

constexpr std::array<uint8_t, 256> build_flags_zsp() {
    std::array<uint8_t, 256> t = build_flags_zs();
    for (int v = 0; v < 256; ++v)
        if (even_parity(v))
            t[v] |= 0x04;
    return t;
}

// Entry i: the new AF after DAA with A = i & 0xFF, C = bit 8, H = bit 9,
// N = bit 10 of i.
constexpr std::array<uint16_t, 2048> build_daa_table() {
    std::array<uint16_t, 2048> t{};
    for (int i = 0; i < 2048; ++i) {
        const int a = i & 0xFF;
        const bool carry = i & 0x100;
        const bool half = i & 0x200;
        const bool subtract = i & 0x400;
        int correction = 0;
        bool new_carry = false;
        if (carry || a > 0x99) {
            correction = 0x60;
            new_carry = true;
        }
        if (half || (a & 0x0F) > 9)
            correction += 0x06;
        const int result = (subtract ? a - correction : a + correction) & 0xFF;
        const bool new_half = subtract ? (half && (a & 0x0F) < 6) : (a & 0x0F) > 9;
        int f = (result & 0x80) | (result == 0 ? 0x40 : 0) | (result & 0x28);
        f |= new_half ? 0x10 : 0;
        f |= even_parity(result) ? 0x04 : 0;
        f |= subtract ? 0x02 : 0;
        f |= new_carry ? 0x01 : 0;
        t[i] = static_cast<uint16_t>((result << 8) | f);
    }
    return t;
}

// The DD/FD table with what a Z80 takes, for buses with exact timing: the
// prefix's own 4 cycles on every instruction that runs as its unprefixed
// twin (HALT included) or on an index register half, 19 for LD H,(X+d) and
// LD L,(X+d), 4 for a prefix that gives way to another, 8 for DD ED.
constexpr CycleTable build_cycles_index_exact(const CycleTable& index, const CycleTable& main) {
    CycleTable t = index;
    for (int x = 0; x < 256; ++x) {
        if (x == 0xCB) continue;  // the indexed bit group charges its own cost
        if (x == 0xDD || x == 0xFD)
            t[x] = 4;
        else if (x == 0xED)
            t[x] = 8;
        else if (x == 0x66 || x == 0x6E)
            t[x] = 19;
        else if (index[x] == 0 || index[x] == 9 || x == 0x76)
            t[x] = static_cast<uint8_t>(4 + main[x]);
    }
    return t;
}

// The ED table for exact timing: an opcode the group does not know is an
// 8-cycle no-operation, and the first of two ED bytes costs its 4.
constexpr CycleTable build_cycles_ed_exact(const CycleTable& ed) {
    CycleTable t = ed;
    for (int x = 0; x < 256; ++x) {
        const bool block_repeat = x >= 0xB0 && x <= 0xBB && (x & 7) <= 3;
        if (ed[x] == 0 && !block_repeat) t[x] = x == 0xED ? 4 : 8;
    }
    return t;
}

// DD CB d y and FD CB d y for exact timing: the forms that would also copy
// the result into a register take the 23 cycles of the others.
constexpr CycleTable build_cycles_index_cb_exact(const CycleTable& index_cb) {
    CycleTable t = index_cb;
    for (uint8_t& cost : t)
        if (cost == 0) cost = 23;
    return t;
}

}  // namespace z80_table_rules

// CB-prefixed opcodes: 8 on a register, 12 for BIT n,(HL), 15 for the other
// (HL) forms.
inline constexpr CycleTable cycles_cb = z80_table_rules::build_cycles_cb();
// Last byte of DD CB d y / FD CB d y: 20 for BIT, 23 for the memory forms of
// the others, 0 for the unrecognised register-copy forms.
inline constexpr CycleTable cycles_index_cb = z80_table_rules::build_cycles_index_cb();
inline constexpr std::array<uint8_t, 256> flags_zs = z80_table_rules::build_flags_zs();
inline constexpr std::array<uint8_t, 256> flags_zsp = z80_table_rules::build_flags_zsp();
inline constexpr std::array<uint16_t, 2048> daa_table = z80_table_rules::build_daa_table();

inline constexpr CycleTable cycles_index_exact =
    z80_table_rules::build_cycles_index_exact(cycles_index, cycles_main);
inline constexpr CycleTable cycles_ed_exact = z80_table_rules::build_cycles_ed_exact(cycles_ed);
inline constexpr CycleTable cycles_index_cb_exact =
    z80_table_rules::build_cycles_index_cb_exact(cycles_index_cb);

// The cost tables a bus uses: the exact ones or the core's own.
template <class Bus>
struct CostTables {
    static constexpr const CycleTable& ed = Bus::exact_timing ? cycles_ed_exact : cycles_ed;
    static constexpr const CycleTable& index = Bus::exact_timing ? cycles_index_exact : cycles_index;
    static constexpr const CycleTable& index_cb =
        Bus::exact_timing ? cycles_index_cb_exact : cycles_index_cb;
};
