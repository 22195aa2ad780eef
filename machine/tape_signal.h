// The ZX81's tape signal: what its SAVE sends for a program (name and data
// as bursts of pulses, four for a 0 bit and nine for a 1, most significant
// bit first). How a signal reads back into programs is a format's
// (tape_decoder.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tape_deck.h"
#include "timing.h"

// The ROM's timing, in processor cycles (3.25 MHz).
namespace tape_timing {
constexpr uint32_t pulse_high = 492;    // 151 us
constexpr uint32_t pulse_low = 483;     // 149 us
constexpr uint32_t bit_end_low = 4872;  // the last pulse's low, to the next bit: 1.5 ms
// What fetching the next byte adds to the last bit's low: of the name, of
// the data.
constexpr uint32_t name_byte_gap = 77;
constexpr uint32_t data_byte_gap = 136;
// SAVE's lead-in: 5.1 s of the line held low.
constexpr uint32_t rom_lead_in = 16'588'328;
}  // namespace tape_timing

// Builds a signal from levels, merging stretches of the same level.
class SignalBuilder {
public:
    void add(bool high, uint64_t cycles);
    TapeSignal take() { return std::move(signal_); }
    bool level() const { return signal_.stretches.size() % 2 == 0; }  // the level of the last stretch

private:
    TapeSignal signal_;
};

// Adds a program as SAVE sends it (name, then data), after `lead_in`
// cycles of the line low, to the builder.
void add_program(SignalBuilder& builder, const TapeProgram& program, uint64_t lead_in);

// The signal of programs, one after another, each after its lead-in, with
// half a second of silence at the end.
TapeSignal encode_programs(const std::vector<TapeProgram>& programs, uint64_t lead_in);

// How long the signal of programs, as encode_programs makes it, lasts in
// processor cycles: worked out from their bytes, without making it.
uint64_t encoded_length(const std::vector<TapeProgram>& programs, uint64_t lead_in);

// Where each program lies on the signal encode_programs makes of them:
// from its first burst to the end of its last.
void place_encoded(std::vector<TapeProgram>& programs, uint64_t lead_in);

// The ZX81 characters of a file's name, for a program put on tape from a .P
// (letters, digits and the symbols the ZX81 has; capitals); empty when a
// character has none. The last has its end mark.
std::vector<uint8_t> tape_name_of(const std::string& text);
