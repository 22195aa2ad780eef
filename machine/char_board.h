// Character boards: patterns of the program's own for the ULA's fetch.
// - UDG: RAM at 8-16K that the stock fetch reads when I is $20-$3F (the
//   machine's RAM at 8-16K, which the board brings; no more is needed).
// - CHR$128: with I's bit 0 set, a code's bit 7 picks a second 64 patterns
//   at (I & $FE) * 256 + $200, so 128 characters; the ULA still inverts them
//   unless the board is told otherwise.
// - QS character board: 1 KB of RAM at $8400-$87FF that stands in for the
//   ROM's character set (I = $1E): codes 0-63 at $8400, 128-191 at $8600,
//   stored inverted since the ULA inverts them again. The processor's reads
//   of $8400-$87FF see what is there in the simple model and the ROM's echo
//   in the hardware model (the board's RAM is written, not read back).
#pragma once

#include <memory>

#include "device.h"
#include "expansions.h"

// The board for the machine's devices; none where the machine's own RAM at
// 8-16K is all it takes (UDG, none).
std::unique_ptr<Device> make_char_board(CharBoard board, bool ula_inverts = true);

// Whether the board needs RAM at 8-16K for its patterns.
constexpr bool needs_low_ram(CharBoard board) {
    return board == CharBoard::udg || board == CharBoard::chr128;
}

constexpr uint16_t qs_chars_first = 0x8400, qs_chars_last = 0x87FF;
