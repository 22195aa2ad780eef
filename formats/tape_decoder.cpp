#include "tape_decoder.h"

#include <cstdio>

#include "program_image.h"

namespace {

// The ROM's loader, in processor cycles. It samples the EAR input about
// every 51 cycles; a burst ends after 26 samples in a row of low. From a
// burst's first high sample to that end it counts samples, n, and reads n
// of 63 to 148 as a 0, 149 to 276 as a 1, fewer as noise, which it ignores
// (more wrap its counter round: no bit it can read).
constexpr uint64_t sample_cycles = 51;
constexpr uint64_t burst_gap = 26 * sample_cycles;
constexpr int shortest_zero = 63, shortest_one = 149, longest_one = 276;
// A burst whose count lies this close to a boundary may read either way.
constexpr int doubtful_margin = 6;
// A high shorter than this the loader misses (it samples every 51 to 68
// cycles); a low this short between two highs leaves one pulse.
constexpr uint64_t glitch = 65;
// A gap longer than any between two bits (1.5 ms, or 2.3 ms at the slowest
// speed the ROM reads) starts a program; inside one, part of the signal is
// missing.
constexpr uint64_t program_gap = 3500 * cycles_per_ms / 1000;
// After what could not be read, the rest of it is skipped up to a silence
// this long: the pause before the next program (a ROM's SAVE leaves 5 s).
constexpr uint64_t silence_after_failure = 50 * cycles_per_ms;
constexpr size_t longest_name = 255;
constexpr uint8_t end_of_variables = 0x80;

struct Burst {
    int pulses;
    uint64_t start, end;
    // The loader's sample count for it.
    int samples() const { return static_cast<int>((end - start + burst_gap) / sample_cycles); }
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

std::string milliseconds(uint64_t cycles) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(cycles) / cycles_per_ms);
    return text;
}

bool near(int samples, int boundary) {
    return samples > boundary - doubtful_margin && samples < boundary + doubtful_margin;
}

// Reads programs from bursts, one at a time.
class ProgramReader {
public:
    DecodedTape decoded;

    void burst(const Burst& b) {
        const uint64_t gap = b.start - last_end_;
        if (reading_ && gap > program_gap)
            give_up(last_end_, "the signal drops out for " + milliseconds(gap) + " (" + progress() + ")");
        const int n = b.samples();
        if (n < shortest_zero) {
            // Noise the loader ignores; inside a program, a doubt.
            if (reading_ && n > shortest_zero - 3 * doubtful_margin) doubt(b);
            return;
        }
        if (!reading_) {
            if (waiting_for_gap_ && gap <= (failed_ ? silence_after_failure : program_gap)) {
                last_end_ = b.end;
                return;  // the rest of something read or not understood
            }
            start(b);
        }
        last_end_ = b.end;
        if (n > longest_one) {
            give_up(b.start, "a burst as long as " + std::to_string(n * 10 / 192) + " pulses, which is no bit");
            return;
        }
        if (near(n, shortest_zero) || near(n, shortest_one) || near(n, longest_one)) doubt(b);
        bit(n >= shortest_one, b);
    }

    void end() {
        if (reading_) give_up(last_end_, "the tape ends (" + progress() + ")");
    }

private:
    TapeProgram program_;
    bool reading_ = false, in_data_ = false, waiting_for_gap_ = false, failed_ = false;
    uint8_t byte_ = 0;
    int bits_ = 0;
    size_t length_ = 0;  // of the data, once E_LINE is read
    uint64_t last_end_ = 0;
    int doubts_ = 0;
    uint64_t first_doubt_ = 0;
    size_t doubt_byte_ = 0;

    size_t byte_number() const { return program_.name.size() + program_.data.size() + 1; }

    std::string progress() const {
        return std::to_string(program_.data.size()) + " of " + (length_ ? std::to_string(length_) : std::string("?")) +
               " bytes of data read";
    }

    void start(const Burst& b) {
        program_ = TapeProgram{};
        program_.start = b.start;
        reading_ = true;
        in_data_ = false;
        waiting_for_gap_ = false;
        bits_ = 0;
        length_ = 0;
        doubts_ = 0;
    }

    void doubt(const Burst& b) {
        if (doubts_++ == 0) {
            first_doubt_ = b.start;
            doubt_byte_ = byte_number();
        }
    }

    void give_up(uint64_t when, const std::string& why) {
        // What fails before its first byte was noise, not a program.
        if (byte_number() > 1)
            decoded.problems.push_back(at_time(when) + ", byte " + std::to_string(byte_number()) + " of the program: " +
                                   why);
        reading_ = false;
        waiting_for_gap_ = true;
        failed_ = true;
    }

    void bit(bool one, const Burst& b) {
        byte_ = static_cast<uint8_t>(byte_ << 1 | (one ? 1 : 0));
        if (++bits_ < 8) return;
        bits_ = 0;
        if (!in_data_) {
            program_.name.push_back(byte_);
            in_data_ = byte_ & 0x80;
            if (!in_data_ && program_.name.size() > longest_name) give_up(b.end, "a name with no end");
            return;
        }
        program_.data.push_back(byte_);
        if (program_.data.size() == e_line_offset + 2) {
            length_ = saved_program_length(program_.data.data(), program_.data.size());
            if (length_ == 0) return give_up(b.end, "its E_LINE makes no program");
        }
        if (!length_ || program_.data.size() < length_) return;
        // Every program ends with the end of its variables: another byte
        // there is bits misread, or missing.
        if (byte_ != end_of_variables) {
            char why[96];
            std::snprintf(why, sizeof why, "its last byte is 0x%02X, not the 0x80 every program ends with", byte_);
            return give_up(b.start, why);
        }
        program_.end = b.end;
        if (doubts_ > 0) {
            decoded.problems.push_back(at_time(first_doubt_) + ", byte " + std::to_string(doubt_byte_) +
                                       " of the program: " + std::to_string(doubts_) +
                                       (doubts_ == 1 ? " burst" : " bursts") +
                                       " of a doubtful length, read as the ZX81 reads them; check the program");
        }
        decoded.programs.push_back(std::move(program_));
        reading_ = false;
        waiting_for_gap_ = true;
        failed_ = false;
    }
};

}  // namespace

std::vector<int> pulse_bursts(const TapeSignal& signal) {
    std::vector<int> counts;
    for (const Burst& burst : bursts_of(signal)) counts.push_back(burst.pulses);
    return counts;
}

DecodedTape decode_signal(const TapeSignal& signal) {
    ProgramReader reader;
    for (const Burst& burst : bursts_of(signal)) reader.burst(burst);
    reader.end();
    return std::move(reader.decoded);
}
