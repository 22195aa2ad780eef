// Tapes as files: WAV recordings (read and written with libsndfile), TZX
// files, .P81 (names and programs one after another), and a .P or .81 put
// on tape as the signal a SAVE of it gives (their formats: tape_formats.h).
// Each is both a signal for the deck (the ROM's own loader reads it in real
// time) and the programs on it (for loading at once).
#pragma once

#include <string>
#include <vector>

#include "file_output.h"
#include "program_image.h"
#include "tape_formats.h"

// Whether the file name is a tape's: .wav, .tzx or .p81, in any case.
bool tape_file_name(const std::string& name);

// Reads a tape image: a WAV (8 or 16 bits, mono, or stereo read from its
// louder channel, 11 to 96 kHz), a TZX, a .P81, or a .P or .81 (its name on
// the tape from the file's). A WAV's programs are decoded from its signal.
TapeImage read_tape_image(const std::string& path);

// Writes a program as SAVE sends it (5 s of lead-in, name, data, then half a
// second of silence): a WAV at 44.1 kHz, 8-bit mono, a symmetric signal a
// real ZX81 loads; or a TZX with one block 0x19. Whole or not at all.
FileResult write_tape_wav(const std::string& path, const TapeProgram& program);
FileResult write_tape_tzx(const std::string& path, const TapeProgram& program);

// Writes a program as a .P81: its name, then its bytes. Whole or not at all.
FileResult write_tape_p81(const std::string& path, const TapeProgram& program);
