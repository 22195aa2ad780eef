// Tapes as files: WAV recordings (read and written with libsndfile), TZX
// files (ZX81 programs in block 0x19, the generalized data block), .P81
// (names and programs one after another), and a .P or .81 put on tape as
// the signal a SAVE of it gives. Each is both a signal for the deck (the
// ROM's own loader reads it in real time) and the programs on it (for
// loading at once).
#pragma once

#include <string>
#include <vector>

#include "program_image.h"
#include "tape_signal.h"

// A tape read from a file.
struct TapeImage {
    std::string problem;                 // why it cannot be used; empty when it can
    std::vector<std::string> warnings;   // what reading its signal found wrong, and where
    TapeSignal signal;                   // for the deck
    std::vector<TapeProgram> programs;   // for loading at once
};

// Whether the file name is a tape's: .wav, .tzx or .p81, in any case.
bool tape_file_name(const std::string& name);

// Reads a tape image: a WAV (8 or 16 bits, mono, or stereo read from its
// louder channel, 11 to 96 kHz), a TZX, a .P81, or a .P or .81 (its name on
// the tape from the file's). A WAV's programs are decoded from its signal.
TapeImage read_tape_image(const std::string& path);

// The signal of a recording: a level high where the sound rises well above
// the middle of its recent swing and low where it falls well below (so an
// AC-coupled recording reads like a clean one, at any volume), nothing
// where the swing is no larger than the recording's own noise. Edges are
// placed between samples, in processor cycles.
TapeSignal signal_from_samples(const std::vector<float>& samples, int rate);

// Writes a program as SAVE sends it (5 s of lead-in, name, data, then half a
// second of silence): a WAV at 44.1 kHz, 8-bit mono, a symmetric signal a
// real ZX81 loads; or a TZX with one block 0x19. Whole or not at all.
FileResult write_tape_wav(const std::string& path, const TapeProgram& program);
FileResult write_tape_tzx(const std::string& path, const TapeProgram& program);

// Writes a program as a .P81: its name, then its bytes. Whole or not at all.
FileResult write_tape_p81(const std::string& path, const TapeProgram& program);
