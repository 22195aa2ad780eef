// Tapes as bytes, with no file access: a TZX's blocks (ZX81 programs in
// block 0x19, the generalized data block), a .P81's names and programs, and
// the programs of each found; a program as TZX bytes and as a recording's
// samples. Recordings are read in recording.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tape_decoder.h"
#include "tape_signal.h"

// A tape read from a file.
struct TapeImage {
    std::string problem;                 // why it cannot be used; empty when it can
    std::vector<std::string> warnings;   // what reading its signal found wrong, and where
    TapeSignal signal;                   // for the deck
    std::vector<TapeProgram> programs;   // for loading at once
    // A recording whose programs could not be read is still a tape: the
    // deck plays it into the ROM's own loader, which may make more of it.
    bool playable = false;
};

// What a tape may hold: as long as a C90 cassette.
constexpr double longest_tape_seconds = 90 * 60;
// A tape from a .P or .P81 starts after a second of lead-in.
constexpr uint64_t deck_lead_in = 1000 * cycles_per_ms;

// A TZX file's bytes: its signal and programs, or the problem (a block that
// cannot be played, named with its offset).
void read_tzx(const std::vector<uint8_t>& bytes, TapeImage& image);

// Name and data, one program after another, as a .P81 and a TZX's ZX81
// block hold them. False, with what is wrong in `problem`, where the bytes
// stop making programs; those before it are in `programs`.
bool read_program_records(const uint8_t* bytes, size_t size, std::vector<TapeProgram>& programs, std::string& problem);

// A .P81 file's bytes: names and programs, one after another.
void read_p81(const std::vector<uint8_t>& bytes, TapeImage& image);

// Programs put on tape as SAVE sends them, after the deck's lead-in; a tape
// of programs longer than a C90 cassette is refused (counted first).
void tape_of_programs(TapeImage& image);

// A program as a TZX with one block 0x19, as SAVE sends it.
std::vector<uint8_t> tzx_bytes(const TapeProgram& program);

// A program as a recording's samples at `rate`, as SAVE sends it (5 s of
// lead-in, name, data, then half a second of silence): a symmetric signal a
// real ZX81 loads.
std::vector<int16_t> recording_of(const TapeProgram& program, int rate);
