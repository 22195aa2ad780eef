#include "tape_formats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "program_image.h"

namespace {

using namespace tape_timing;

constexpr size_t longest_name = 255;  // as the tape's reader takes them

// A program's data: its E_LINE says how long it is. Empty (with a reason)
// when it is cut short or E_LINE makes no program.
std::vector<uint8_t> program_data(const uint8_t* data, size_t available, std::string& problem) {
    if (available < e_line_offset + 2) {
        problem = "a program cut short before its E_LINE";
        return {};
    }
    const size_t length = saved_program_length(data, available);
    if (length == 0) {
        problem = "a program whose E_LINE makes no program";
        return {};
    }
    if (length > available) {
        problem = "a program cut short (" + std::to_string(available) + " of its " + std::to_string(length) +
                  " bytes)";
        return {};
    }
    return std::vector<uint8_t>(data, data + length);
}

}  // namespace

bool read_program_records(const uint8_t* bytes, size_t size, std::vector<TapeProgram>& programs, std::string& problem) {
    size_t p = 0;
    while (p < size) {
        TapeProgram program;
        while (p < size && !(bytes[p] & 0x80) && program.name.size() < longest_name) program.name.push_back(bytes[p++]);
        if (p == size || !(bytes[p] & 0x80)) {
            problem = "a name with no end";
            return false;
        }
        program.name.push_back(bytes[p++]);
        program.data = program_data(bytes + p, size - p, problem);
        if (program.data.empty()) return false;
        p += program.data.size();
        programs.push_back(std::move(program));
    }
    return true;
}

void read_p81(const std::vector<uint8_t>& bytes, TapeImage& image) {
    std::string problem;
    if (!bytes.empty() && !read_program_records(bytes.data(), bytes.size(), image.programs, problem))
        image.warnings.push_back("after its last program, " + problem);
    if (image.programs.empty()) {
        image.problem = bytes.empty() ? "an empty file" : "not a .P81 file: " + problem;
        return;
    }
    tape_of_programs(image);
}

void tape_of_programs(TapeImage& image) {
    if (encoded_length(image.programs, deck_lead_in) > static_cast<uint64_t>(longest_tape_seconds * processor_clock)) {
        image.problem = "its programs would play longer than a C90 cassette holds";
        image.programs.clear();
        return;
    }
    image.signal = encode_programs(image.programs, deck_lead_in);
    place_encoded(image.programs, deck_lead_in);
    image.playable = true;
}

std::vector<uint8_t> tzx_bytes(const TapeProgram& program) {
    std::vector<uint8_t> out = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    out.reserve(512);
    const auto put16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    const auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    std::vector<uint8_t> stream = program.name;
    stream.insert(stream.end(), program.data.begin(), program.data.end());
    // Two symbols of up to 18 pulses, each bit starting high: 4 or 9 pulses
    // of 530 T high and 520 T low (the ROM's, at 3.5 MHz), the last low
    // 5247 T.
    constexpr int pulses = 18;
    const size_t block = 14 + 2 * (1 + 2 * pulses) + stream.size();
    out.push_back(0x19);
    put32(static_cast<uint32_t>(block));
    put16(1000);                                      // pause after: 1 s
    put32(0);                                         // no pilot
    out.push_back(0);                                 // NPP
    out.push_back(0);                                 // ASP
    put32(static_cast<uint32_t>(stream.size() * 8));  // TOTD
    out.push_back(pulses);                            // NPD
    out.push_back(2);                                 // ASD
    for (int count : {4, 9}) {
        out.push_back(3);  // start high
        for (int i = 0; i < pulses; ++i) {
            const int pulse = i / 2;
            put16(pulse >= count ? 0 : i % 2 == 0 ? 530 : (pulse + 1 == count ? 5247 : 520));
        }
    }
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}


std::vector<int16_t> recording_of(const TapeProgram& program, int rate) {
    constexpr int16_t level = 29000;  // symmetric about the middle, as a MIC signal is
    const TapeSignal signal = encode_programs({program}, rom_lead_in);
    // Each edge at the sample nearest its exact time.
    std::vector<int16_t> samples;
    uint64_t at = 0;
    size_t written = 0;
    for (size_t i = 0; i < signal.stretches.size(); ++i) {
        at += signal.stretches[i];
        const auto edge = static_cast<size_t>(std::llround(static_cast<double>(at) * rate / processor_clock));
        samples.insert(samples.end(), edge - std::min(edge, written), i % 2 ? level : static_cast<int16_t>(-level));
        written = std::max(written, edge);
    }
    return samples;
}
