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

// Name and data, one program after another.
bool read_records(const uint8_t* bytes, size_t size, std::vector<TapeProgram>& programs, std::string& problem) {
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

// A TZX's 3.5 MHz T-states as processor cycles (3.25 MHz), the rounding
// carried on so that edges never drift.
class TzxPlayer {
public:
    SignalBuilder builder;

    void pulse(bool high, uint32_t t_states) {
        total_ += t_states * 13.0 / 14.0;
        const auto edge = static_cast<uint64_t>(std::llround(total_));
        builder.add(high, edge - placed_);
        placed_ = edge;
        level_ = high;
    }
    void pause_ms(uint32_t ms) {
        if (ms) pulse(false, ms * 3500);
    }
    bool level() const { return level_; }

private:
    double total_ = 0;
    uint64_t placed_ = 0;
    bool level_ = false;
};

uint32_t le16(const uint8_t* p) {
    return p[0] | p[1] << 8;
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Plays a symbol of a generalized data block: flags, then pulse lengths
// (a 0 ends a shorter one).
void play_symbol(TzxPlayer& player, const uint8_t* definition, int pulses) {
    bool level = player.level();
    switch (definition[0] & 3) {
    case 0: level = !level; break;  // an edge
    case 1: break;                  // the same level
    case 2: level = false; break;
    case 3: level = true; break;
    }
    for (int i = 0; i < pulses; ++i) {
        const uint32_t length = le16(definition + 1 + 2 * i);
        if (length == 0) break;
        if (i > 0) level = !level;
        player.pulse(level, length);
    }
}

// How long a symbol of a generalized data block lasts, in T-states.
uint64_t symbol_t_states(const uint8_t* definition, int pulses) {
    uint64_t total = 0;
    for (int i = 0; i < pulses; ++i) {
        const uint32_t length = le16(definition + 1 + 2 * i);
        if (length == 0) break;
        total += length;
    }
    return total;
}

// What a tape may hold: as long as a C90 cassette, and no more pulses than
// a ZX81 program's bits could make of the file's bytes (nine pulses a bit,
// two edges each, and room for the pauses between).
struct TapeBudget {
    uint64_t t_states_left = static_cast<uint64_t>(longest_tape_seconds * 3'500'000);
    uint64_t edges_left;
};

// Block 0x19. Returns false with a problem for a block that does not hold
// together, or one whose signal would be longer than any tape (checked
// before anything of it is made).
bool play_generalized(TzxPlayer& player, const uint8_t* body, size_t length, TapeImage& image, TapeBudget& budget,
                      std::string& why) {
    if (length < 14) return false;
    const uint32_t pause = le16(body), totp = le32(body + 2), totd = le32(body + 8);
    const int npp = body[6], npd = body[12];
    const int asp = body[7] ? body[7] : 256, asd = body[13] ? body[13] : 256;
    size_t p = 14;
    const size_t pilot_symbol = 1 + 2 * static_cast<size_t>(npp), data_symbol = 1 + 2 * static_cast<size_t>(npd);
    const uint8_t* pilot_table = body + p;
    if (totp > 0) p += asp * pilot_symbol;
    const uint8_t* pilot_stream = body + p;
    if (totp > 0) p += 3 * static_cast<size_t>(totp);
    const uint8_t* data_table = body + p;
    if (totd > 0) p += asd * data_symbol;
    int bits_per_symbol = 0;
    while ((1 << bits_per_symbol) < asd) ++bits_per_symbol;
    const size_t stream_bytes = (static_cast<size_t>(bits_per_symbol) * totd + 7) / 8;
    if (p > length || stream_bytes > length - p) return false;
    const uint8_t* stream = body + p;
    // What playing it would make, counted first.
    for (uint32_t i = 0; i < totp; ++i)
        if (pilot_stream[3 * i] >= asp) return false;
    const auto data_symbol_at = [&](uint32_t i) {
        uint32_t symbol = 0;
        for (int b = 0; b < bits_per_symbol; ++b) {
            const size_t bit = static_cast<size_t>(i) * bits_per_symbol + b;
            symbol = symbol << 1 | (stream[bit / 8] >> (7 - bit % 8) & 1);
        }
        return symbol;
    };
    uint64_t t_states = 3500ull * pause, edges = 1;
    const auto count = [&](const uint8_t* definition, int pulses, uint64_t times) {
        t_states += times * symbol_t_states(definition, pulses);
        edges += times * static_cast<uint64_t>(pulses);
        return t_states <= budget.t_states_left && edges <= budget.edges_left;
    };
    bool fits = true;
    for (uint32_t i = 0; i < totp && fits; ++i)
        fits = count(pilot_table + pilot_stream[3 * i] * pilot_symbol, npp, le16(pilot_stream + 3 * i + 1));
    if (bits_per_symbol == 0) {
        fits = fits && count(data_table, npd, totd);  // every symbol is the only one
    } else {
        for (uint32_t i = 0; i < totd && fits; ++i) {
            const uint32_t symbol = data_symbol_at(i);
            if (symbol >= static_cast<uint32_t>(asd)) return false;
            fits = count(data_table + symbol * data_symbol, npd, 1);
        }
    }
    if (!fits) {
        why = "would play longer, or make more pulses, than any tape holds (a C90 cassette, a ZX81 program's bits)";
        return false;
    }
    budget.t_states_left -= t_states;
    budget.edges_left -= edges;
    for (uint32_t i = 0; i < totp; ++i) {
        const uint8_t symbol = pilot_stream[3 * i];
        if (symbol >= asp) return false;
        for (uint32_t r = le16(pilot_stream + 3 * i + 1); r > 0; --r)
            play_symbol(player, pilot_table + symbol * pilot_symbol, npp);
    }
    for (uint32_t i = 0; i < totd; ++i) play_symbol(player, data_table + data_symbol_at(i) * data_symbol, npd);
    player.pause_ms(pause);
    // A ZX81 program: no pilot, two symbols, the bytes as they are.
    if (totp == 0 && asd == 2 && totd % 8 == 0) {
        std::string problem;
        std::vector<TapeProgram> programs;
        if (!read_records(stream, totd / 8, programs, problem))
            image.warnings.push_back("a data block holds " + problem);
        image.programs.insert(image.programs.end(), programs.begin(), programs.end());
    }
    return true;
}

void read_tzx_blocks(const std::vector<uint8_t>& bytes, TapeImage& image) {
    static const uint8_t signature[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};
    if (bytes.size() < 10 || !std::equal(std::begin(signature), std::end(signature), bytes.begin())) {
        image.problem = "not a TZX file (no ZXTape! header)";
        return;
    }
    if (bytes[8] != 1) {
        image.problem = "a TZX of version " + std::to_string(bytes[8]) + " (Orlix reads version 1)";
        return;
    }
    TzxPlayer player;
    TapeBudget budget{.edges_left = 18 * 8 * static_cast<uint64_t>(bytes.size()) + 1024};
    size_t p = 10;
    char where[64];
    while (p < bytes.size()) {
        const uint8_t id = bytes[p];
        const size_t left = bytes.size() - p - 1;
        const uint8_t* body = bytes.data() + p + 1;
        std::snprintf(where, sizeof where, "block 0x%02X at offset %zu", id, p);
        size_t length = 0;
        bool holds = true;
        std::string why;
        switch (id) {
        case 0x19:
            holds = left >= 4 && le32(body) <= left - 4 &&
                    play_generalized(player, body + 4, le32(body), image, budget, why);
            length = 4 + (left >= 4 ? le32(body) : 0);
            break;
        case 0x20:
            holds = left >= 2 && 3500ull * le16(body) <= budget.t_states_left;
            if (holds) {
                budget.t_states_left -= 3500ull * le16(body);
                player.pause_ms(le16(body));
            }
            length = 2;
            break;
        case 0x30: length = 1 + (left >= 1 ? body[0] : 0); break;                   // text
        case 0x32: length = 2 + (left >= 2 ? le16(body) : 0); break;                 // archive info
        case 0x33: length = 1 + (left >= 1 ? 3 * static_cast<size_t>(body[0]) : 0); break;  // hardware type
        default:
            image.problem = std::string(where) +
                            " cannot be played: Orlix plays ZX81 programs in block 0x19, with blocks 0x20, 0x30, "
                            "0x32 and 0x33 around them";
            return;
        }
        if (!holds || length > left) {
            image.problem = std::string(where) + (why.empty() ? " is cut short or does not hold together" : " " + why);
            return;
        }
        p += 1 + length;
    }
    player.pause_ms(500);
    image.signal = player.builder.take();
    if (image.programs.empty()) image.problem = "no ZX81 program on this tape";
}


// Where each program is on the tape: from the signal read back, where it
// reads as the programs do (a TZX's data blocks are trusted for the bytes).
void place_programs(TapeImage& image) {
    const DecodedTape decoded = decode_signal(image.signal);
    for (size_t i = 0; i < image.programs.size() && i < decoded.programs.size(); ++i)
        if (decoded.programs[i].data == image.programs[i].data) {
            image.programs[i].start = decoded.programs[i].start;
            image.programs[i].end = decoded.programs[i].end;
        }
}


}  // namespace

void read_tzx(const std::vector<uint8_t>& bytes, TapeImage& image) {
    read_tzx_blocks(bytes, image);
    if (image.problem.empty()) place_programs(image);
}

void read_p81(const std::vector<uint8_t>& bytes, TapeImage& image) {
    std::string problem;
    if (!bytes.empty() && !read_records(bytes.data(), bytes.size(), image.programs, problem))
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
    place_programs(image);
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
