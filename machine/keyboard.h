// The ZX81 keyboard: forty keys in eight rows of five, read by the processor
// through port input.
#pragma once

#include <array>
#include <cstdint>

// Row k is selected by address line A8+k low. Bits 0-4 are its five keys,
// 0 = down; bits 5-7 are always 1.
using KeyMatrix = std::array<uint8_t, 8>;
constexpr KeyMatrix no_keys_down = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A key: its row and its bit in the row.
struct ZxKey {
    uint8_t row;
    uint8_t bit;
};

namespace zx_key {
constexpr ZxKey shift{0, 0}, z{0, 1}, x{0, 2}, c{0, 3}, v{0, 4};
constexpr ZxKey a{1, 0}, s{1, 1}, d{1, 2}, f{1, 3}, g{1, 4};
constexpr ZxKey q{2, 0}, w{2, 1}, e{2, 2}, r{2, 3}, t{2, 4};
constexpr ZxKey digit1{3, 0}, digit2{3, 1}, digit3{3, 2}, digit4{3, 3}, digit5{3, 4};
constexpr ZxKey digit0{4, 0}, digit9{4, 1}, digit8{4, 2}, digit7{4, 3}, digit6{4, 4};
constexpr ZxKey p{5, 0}, o{5, 1}, i{5, 2}, u{5, 3}, y{5, 4};
constexpr ZxKey newline{6, 0}, l{6, 1}, k{6, 2}, j{6, 3}, h{6, 4};
constexpr ZxKey space{7, 0}, dot{7, 1}, m{7, 2}, n{7, 3}, b{7, 4};
}  // namespace zx_key

inline void press_key(KeyMatrix& keys, ZxKey key) {
    keys[key.row] &= static_cast<uint8_t>(~(1 << key.bit));
}

// Bit 7 of an even port is the tape input: 0 while no signal comes, as on a
// ZX81 with no tape playing (the ROM's LOAD then waits and SPACE breaks it).
constexpr uint8_t no_tape_signal = 0x7F;

// What an IN from `port` reads: 0xFF from an odd port; from an even one the
// AND of the rows whose address line is low (all eight for a high byte of 0)
// and of the tape input.
inline uint8_t read_keyboard(const KeyMatrix& keys, uint16_t port) {
    if (port & 1) return 0xFF;
    uint8_t result = no_tape_signal;
    for (int row = 0; row < 8; ++row)
        if (!(port & (0x100 << row))) result &= keys[row];
    return result;
}
