// Recordings as a cassette gives them, made from programs for the tests:
// the ROM's signal as SAVE sends it, then what a recorder, a tape and a
// sound card do to it. Nothing here is Orlix's own code for tapes.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tape_signal.h"

struct Cassette {
    const char* what = "clean";
    int rate = 44100;
    bool band_pass = false;      // a recorder's 100 Hz-5 kHz
    bool square = false;         // no band limit: the MIC signal's squares, at full scale (as Orlix writes)
    double gain_low = 1;         // the gain wanders between this and 1, slowly
    double speed = 1;            // the tape runs this much fast (1.08) or slow (0.92)
    double wow = 0;              // and wavers by this share (0.01), a few times a second
    double snr_db = INFINITY;    // white hiss this far under the signal
    double dropout_at = -1;      // seconds into the recording: 5 ms with no signal
    double hiss_first = 0;       // seconds of hiss before the tape's own lead-in
    bool inverted = false;       // recorded upside down
    double lead_in = 5.1;        // the ROM's lead-in, seconds
    uint32_t seed = 1;           // of the hiss
};

// The recording of the programs, one after another, each after its lead-in:
// samples between -1 and 1 at `c.rate`.
std::vector<float> cassette_recording(const std::vector<TapeProgram>& programs, const Cassette& c);

// A program `size` bytes long: the smallest program with variables of
// random bytes after it, ending as every program ends.
std::vector<uint8_t> program_of_size(size_t size, uint32_t seed);

// Writes samples as a WAV of `format` (SF_FORMAT_PCM_16, SF_FORMAT_FLOAT, ...),
// clipped as a recorder clips.
bool write_wav(const std::string& path, const std::vector<float>& samples, int rate, int format, int channels = 1);
