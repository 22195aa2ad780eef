#include "tape_decoder.h"

#include <cstdio>

#include "program_image.h"

namespace {

using namespace tape_timing;

// A high shorter than this is missed by the ROM's loader (it samples every
// 51 to 68 cycles); a low this short between two highs leaves one pulse.
constexpr uint64_t glitch = 65;
// A low this long ends a burst (the ROM's 26 samples of low, 408 us).
constexpr uint64_t burst_gap = 1300;
// A silence this long before a burst starts a program; one this long inside
// a program ends it (the ROM gives up after 5.36 ms).
constexpr uint64_t silence_before = 100 * cycles_per_ms;
constexpr uint64_t longest_gap = 17408;
constexpr size_t longest_name = 255;

struct Burst {
    int pulses;
    uint64_t start, end;
};

// The signal's bursts of pulses, glitches left out.
std::vector<Burst> bursts_of(const TapeSignal& signal) {
    std::vector<Burst> bursts;
    uint64_t at = 0;
    bool in_pulse = false;
    uint64_t pulse_start = 0, pulse_end = 0;
    const auto end_pulse = [&] {
        if (pulse_end - pulse_start < glitch) return;
        if (!bursts.empty() && pulse_start - bursts.back().end < burst_gap) {
            ++bursts.back().pulses;
            bursts.back().end = pulse_end;
        } else {
            bursts.push_back({1, pulse_start, pulse_end});
        }
    };
    for (size_t i = 0; i < signal.stretches.size(); ++i) {
        const uint64_t length = signal.stretches[i];
        if (i % 2 == 1) {  // high
            if (!in_pulse) pulse_start = at;
            in_pulse = true;
            pulse_end = at + length;
        } else if (in_pulse && length >= glitch) {
            end_pulse();
            in_pulse = false;
        }
        at += length;
    }
    if (in_pulse) end_pulse();
    return bursts;
}

std::string at_time(uint64_t cycles) {
    char text[32];
    std::snprintf(text, sizeof text, "at %.3f s", static_cast<double>(cycles) / (1000.0 * cycles_per_ms));
    return text;
}

}  // namespace

std::vector<int> pulse_bursts(const TapeSignal& signal) {
    std::vector<int> counts;
    for (const Burst& burst : bursts_of(signal)) counts.push_back(burst.pulses);
    return counts;
}

DecodedTape decode_signal(const TapeSignal& signal) {
    DecodedTape decoded;
    const std::vector<Burst> bursts = bursts_of(signal);
    TapeProgram program;
    bool reading = false, in_data = false;
    bool need_silence = false;  // after a program, or what could not be read, until a silence
    uint8_t byte = 0;
    int bits = 0;
    size_t length = 0;  // of the data, once E_LINE is read
    uint64_t last_end = 0;
    const auto give_up = [&](uint64_t when, const std::string& why) {
        const size_t at_byte = program.name.size() + program.data.size();
        decoded.problems.push_back(at_time(when) + ", byte " + std::to_string(at_byte + 1) + " of the program: " +
                                   why);
        reading = false;
        need_silence = true;
    };
    for (const Burst& burst : bursts) {
        const uint64_t silence = burst.start - last_end;
        if (reading && silence > longest_gap) {
            give_up(last_end, "the signal stops (" + std::to_string(program.data.size()) + " of " +
                                  (length ? std::to_string(length) : std::string("?")) + " bytes of data read)");
        }
        if (burst.pulses < 3) continue;  // noise: the ROM ignores it too
        if (!reading) {
            if (need_silence && silence < silence_before) {
                last_end = burst.end;
                continue;  // the rest of something read or not understood
            }
            need_silence = false;
            program = TapeProgram{};
            program.start = burst.start;
            reading = true;
            in_data = false;
            bits = 0;
            length = 0;
        }
        last_end = burst.end;
        if (burst.pulses > 13) {
            give_up(burst.start, "a burst of " + std::to_string(burst.pulses) + " pulses, which is no bit");
            continue;
        }
        byte = static_cast<uint8_t>(byte << 1 | (burst.pulses >= 7 ? 1 : 0));
        if (++bits < 8) continue;
        bits = 0;
        if (!in_data) {
            program.name.push_back(byte);
            in_data = byte & 0x80;
            if (!in_data && program.name.size() > longest_name) give_up(burst.end, "a name with no end");
            continue;
        }
        program.data.push_back(byte);
        if (program.data.size() == e_line_offset + 2) {
            length = saved_program_length(program.data.data(), program.data.size());
            if (length == 0) {
                give_up(burst.end, "its E_LINE makes no program");
                continue;
            }
        }
        if (length && program.data.size() == length) {
            program.end = burst.end;
            decoded.programs.push_back(program);
            reading = false;
            need_silence = true;
        }
    }
    if (reading)
        give_up(last_end, "the tape ends (" + std::to_string(program.data.size()) + " of " +
                              (length ? std::to_string(length) : std::string("?")) + " bytes of data read)");
    return decoded;
}

