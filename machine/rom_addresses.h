// Where things are in the ZX81's ROM (version 2, the one Orlix knows, CRC32
// 4B1DD6EB): the routines the machine watches, catches or calls, in one
// place. With another ROM none of them is used.
#pragma once

#include <cstdint>

// Addresses from `first` to `last`, both included.
struct RomRange {
    uint16_t first, last;
    constexpr bool holds(uint16_t address) const { return address >= first && address <= last; }
};

namespace rom {

// The interrupt handlers: the maskable interrupt ends each display line, the
// NMI counts the border's lines.
constexpr uint16_t maskable_interrupt = 0x0038;
constexpr uint16_t nmi = 0x0066;
constexpr RomRange interrupt_handler{0x0038, 0x0052};
constexpr RomRange nmi_handler{0x0066, 0x007F};
// The routines that make a frame and read the keys (DISPLAY-1 to the end
// of KEYBOARD), which FAST mode runs too while it waits for a key.
constexpr RomRange display_routines{0x0229, 0x02E6};
constexpr uint16_t display_frame_start = 0x0229;  // DISPLAY-1

// The keyboard routine KEYBOARD, and where its call from the display's
// scan returns to.
constexpr RomRange keyboard{0x02BB, 0x02E6};
constexpr uint16_t display_scan_return = 0x0241;
// The editor's wait for a key (FAST or SLOW), and its SLOW part, which
// spins until the NMIs' scan sees a key.
constexpr uint16_t key_wait = 0x04C7;
constexpr uint16_t key_wait_spin = 0x04CF;
// The BREAK check between two statements reads SPACE here, then runs on
// into the debounce routine.
constexpr uint16_t break_check_read = 0x0F48;

// The SLOW/FAST check, and the instruction it reaches when no NMI came.
constexpr uint16_t slow_fast_check = 0x0207;
constexpr uint16_t slow_check_saw_no_nmi = 0x0226;

// SAVE once its name is checked, LOAD once its name is read (carry set for
// LOAD ""), and report D, where BREAK during either ends.
constexpr uint16_t save_after_name = 0x02FB;
constexpr uint16_t load_after_name = 0x0343;
constexpr uint16_t break_report = 0x03A2;
// The loader's two loops that read the EAR socket, each marked by an
// instruction: waiting for a burst (LD A,$7F; 68 cycles a pass) and timing
// one (IN A,($FE); 50 cycles a pass while the level is high, 51 while low).
constexpr uint16_t loader_wait_mark = 0x0350;
constexpr uint16_t loader_bit_mark = 0x038B;

// Where a program LOADed goes on: the restart after LOAD, and the
// statement loop's next line.
constexpr uint16_t restart = 0x005B;
constexpr uint16_t statement_return = 0x0676;

// DEC-TO-FP: a number's digits into its five bytes.
constexpr uint16_t decimal_to_float = 0x14D9;

// The character set: 64 characters of 8 rows.
constexpr uint16_t character_set = 0x1E00;

}  // namespace rom
