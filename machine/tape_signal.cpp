#include "tape_signal.h"

#include <bit>
#include <cctype>
#include <cstdio>

#include "basic_text.h"
#include "program_image.h"

using namespace tape_timing;

void SignalBuilder::add(bool high, uint64_t cycles) {
    if (cycles == 0) return;
    std::vector<uint32_t>& stretches = signal_.stretches;
    // The signal starts low: a first high needs an empty low before it.
    if (stretches.empty() && high) stretches.push_back(0);
    if (!stretches.empty() && level() == high) {
        stretches.back() += static_cast<uint32_t>(cycles);
        return;
    }
    stretches.push_back(static_cast<uint32_t>(cycles));
}

void add_program(SignalBuilder& builder, const TapeProgram& program, uint64_t lead_in) {
    builder.add(false, lead_in);
    const auto send = [&](uint8_t byte, uint32_t byte_gap) {
        for (int bit = 7; bit >= 0; --bit) {
            const int pulses = byte >> bit & 1 ? 9 : 4;
            for (int p = 0; p < pulses; ++p) {
                builder.add(true, pulse_high);
                builder.add(false, p + 1 < pulses ? pulse_low : bit_end_low + (bit == 0 ? byte_gap : 0));
            }
        }
    };
    for (uint8_t byte : program.name) send(byte, name_byte_gap);
    for (uint8_t byte : program.data) send(byte, data_byte_gap);
}

TapeSignal encode_programs(const std::vector<TapeProgram>& programs, uint64_t lead_in) {
    SignalBuilder builder;
    for (const TapeProgram& program : programs) add_program(builder, program, lead_in);
    builder.add(false, 500 * cycles_per_ms);
    return builder.take();
}

namespace {

// How long a program's signal lasts, lead-in left out.
uint64_t program_length(const TapeProgram& program) {
    constexpr uint64_t pulse = pulse_high + pulse_low;
    const auto byte_length = [](uint8_t byte, uint32_t byte_gap) {
        const int ones = std::popcount(byte);
        const uint64_t pulses = 9 * static_cast<uint64_t>(ones) + 4 * static_cast<uint64_t>(8 - ones);
        return pulses * pulse + 8 * (bit_end_low - pulse_low) + byte_gap;
    };
    uint64_t total = 0;
    for (uint8_t byte : program.name) total += byte_length(byte, name_byte_gap);
    for (uint8_t byte : program.data) total += byte_length(byte, data_byte_gap);
    return total;
}

}  // namespace

uint64_t encoded_length(const std::vector<TapeProgram>& programs, uint64_t lead_in) {
    uint64_t total = 500 * cycles_per_ms;
    for (const TapeProgram& program : programs) total += lead_in + program_length(program);
    return total;
}

void place_encoded(std::vector<TapeProgram>& programs, uint64_t lead_in) {
    uint64_t at = 0;
    for (TapeProgram& program : programs) {
        program.start = at + lead_in;
        at = program.start + program_length(program);
        // Its last burst ends where the last bit's long low begins.
        program.end = at - (bit_end_low + data_byte_gap);
    }
}

std::vector<uint8_t> tape_name_of(const std::string& text) {
    // Letters (either case), digits, space and the symbols the ZX81 has.
    std::vector<uint8_t> name;
    for (char c : text) {
        const int code = zx81_code_of(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        if (code < 0) return {};
        name.push_back(static_cast<uint8_t>(code));
    }
    if (!name.empty()) name.back() |= 0x80;
    return name;
}
