// TZX files: their blocks played into a signal as a tape deck plays them,
// with the jumps, loops and calls that steer the deck, and the ZX81
// programs of their generalized data blocks (0x19) found where they play.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "program_image.h"
#include "tape_decoder.h"
#include "tape_formats.h"

namespace {

uint32_t le16(const uint8_t* p) {
    return p[0] | p[1] << 8;
}

uint32_t le24(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16;
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The T-states of a TZX (3.5 MHz) in a second.
constexpr uint64_t tzx_clock = 3'500'000;
// Before a ZX81 program the tape is silent at least this long, whatever
// the file puts before it: the ROM's loader needs a silence to see the
// start of a name, and most files have no pause before their first block.
constexpr uint64_t silence_before_program = 100 * cycles_per_ms;
// A malformed tape's jumps, loops and calls may run round for ever: the
// deck gives up after this many blocks.
constexpr uint64_t most_blocks_played = 1'000'000;
// The memory a tape's signal may take beyond what its bytes could make:
// four million edges (16 MB).
constexpr uint64_t spare_edges = 4'000'000;

// What a tape may hold: as long as a C90 cassette, and no more edges than
// a ZX81 program's bits could make of the file's bytes (nine pulses a bit,
// two edges each) and some to spare.
struct TapeBudget {
    uint64_t t_states_left = static_cast<uint64_t>(longest_tape_seconds * tzx_clock);
    uint64_t edges_left;
    // Takes what a block would play, if it fits.
    bool take(uint64_t t_states, uint64_t edges) {
        if (t_states > t_states_left || edges > edges_left) return false;
        t_states_left -= t_states;
        edges_left -= edges;
        return true;
    }
};

// The deck playing: a TZX's T-states as processor cycles (3.25 MHz), the
// rounding carried on so that edges never drift; the level as the blocks
// leave it.
class TzxPlayer {
public:
    SignalBuilder builder;
    std::vector<uint64_t> stops;

    void pulse(bool high, uint64_t t_states) {
        total_ += static_cast<double>(t_states) * 13.0 / 14.0;
        const auto edge = static_cast<uint64_t>(std::llround(total_));
        if (!high && level_) low_since_ = placed_;
        builder.add(high, edge - placed_);
        placed_ = edge;
        level_ = high;
    }
    // A pulse that flips the level, as the pulses of blocks 0x12-0x14 do.
    void flip(uint64_t t_states) { pulse(!level_, t_states); }
    void pause_ms(uint64_t ms) {
        if (ms) pulse(false, ms * (tzx_clock / 1000));
    }
    // Silence until the tape has been low `cycles` long.
    void silence_of(uint64_t cycles) {
        const uint64_t silent = level_ ? 0 : placed_ - low_since_;
        if (silent < cycles) pulse(false, (cycles - silent) * 14 / 13 + 1);
    }
    void set_level(bool high) {
        if (!high && level_) low_since_ = placed_;
        level_ = high;
    }
    bool level() const { return level_; }
    uint64_t position() const { return placed_; }

private:
    double total_ = 0;
    uint64_t placed_ = 0, low_since_ = 0;
    bool level_ = false;
};

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

// How long a symbol lasts, in T-states, and its pulses.
std::pair<uint64_t, uint64_t> symbol_size(const uint8_t* definition, int pulses) {
    uint64_t total = 0, count = 0;
    for (int i = 0; i < pulses; ++i) {
        const uint32_t length = le16(definition + 1 + 2 * i);
        if (length == 0) break;
        total += length;
        ++count;
    }
    return {total, count};
}

// A ZX81 program a block 0x19 holds, and where it played.
struct HeldProgram {
    TapeProgram program;
    size_t offset;  // of its block, for a message
};

// One block: where it is in the file, its id, its body and length.
struct Block {
    size_t offset;
    uint8_t id;
    const uint8_t* body;
    size_t length;  // of the body
};

// The blocks the deck knows.
bool known_block(uint8_t id) {
    for (uint8_t known : {0x12, 0x13, 0x14, 0x15, 0x19, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A,
                          0x2B, 0x30, 0x31, 0x32, 0x33, 0x35, 0x5A})
        if (id == known) return true;
    return false;
}

// The length of a block's body from its first bytes; none when the file
// ends first or the id is unknown.
std::optional<size_t> body_length(uint8_t id, const uint8_t* body, size_t left) {
    const auto need = [&](size_t header) { return left >= header; };
    switch (id) {
    case 0x12: return 4;
    case 0x13: return need(1) ? std::optional<size_t>(1 + 2 * static_cast<size_t>(body[0])) : std::nullopt;
    case 0x14: return need(10) ? std::optional<size_t>(10 + le24(body + 7)) : std::nullopt;
    case 0x15: return need(8) ? std::optional<size_t>(8 + le24(body + 5)) : std::nullopt;
    case 0x19: case 0x2A: case 0x2B:
        return need(4) ? std::optional<size_t>(4 + static_cast<size_t>(le32(body))) : std::nullopt;
    case 0x20: case 0x23: case 0x24: return 2;
    case 0x21: case 0x30: return need(1) ? std::optional<size_t>(1 + static_cast<size_t>(body[0])) : std::nullopt;
    case 0x22: case 0x25: case 0x27: return 0;
    case 0x26: return need(2) ? std::optional<size_t>(2 + 2 * static_cast<size_t>(le16(body))) : std::nullopt;
    case 0x28: case 0x32: return need(2) ? std::optional<size_t>(2 + static_cast<size_t>(le16(body))) : std::nullopt;
    case 0x31: return need(2) ? std::optional<size_t>(2 + static_cast<size_t>(body[1])) : std::nullopt;
    case 0x33: return need(1) ? std::optional<size_t>(1 + 3 * static_cast<size_t>(body[0])) : std::nullopt;
    case 0x35: return need(20) ? std::optional<size_t>(20 + static_cast<size_t>(le32(body + 16))) : std::nullopt;
    case 0x5A: return 9;
    default: return std::nullopt;
    }
}

constexpr const char* played_blocks =
    "Orlix plays ZX81 programs in block 0x19, the signal blocks 0x12-0x15, pauses and stops, groups, jumps, "
    "loops and calls, and skips the blocks of text and information";

class TzxReader {
public:
    TzxReader(const std::vector<uint8_t>& bytes, TapeImage& image)
        : bytes_(bytes), image_(image), budget_{.edges_left = 18 * 8 * static_cast<uint64_t>(bytes.size()) + spare_edges} {}

    void read() {
        if (!list_blocks()) return;
        play();
        if (!image_.problem.empty()) return;
        player_.pause_ms(500);
        image_.signal = player_.builder.take();
        image_.signal.stops = std::move(player_.stops);
        check_programs();
        if (image_.problem.empty() && image_.programs.empty()) image_.problem = "no ZX81 program on this tape";
    }

private:
    const std::vector<uint8_t>& bytes_;
    TapeImage& image_;
    TapeBudget budget_;
    TzxPlayer player_;
    std::vector<Block> blocks_;
    std::vector<HeldProgram> held_;

    std::string where(const Block& block) const {
        char text[48];
        std::snprintf(text, sizeof text, "block 0x%02X at offset %zu", block.id, block.offset);
        return text;
    }

    bool fail(const std::string& problem) {
        image_.problem = problem;
        return false;
    }

    bool list_blocks() {
        static const uint8_t signature[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};
        if (bytes_.size() < 10 || !std::equal(std::begin(signature), std::end(signature), bytes_.begin()))
            return fail("not a TZX file (no ZXTape! header)");
        if (bytes_[8] != 1) return fail("a TZX of version " + std::to_string(bytes_[8]) + " (Orlix reads version 1)");
        for (size_t p = 10; p < bytes_.size();) {
            const Block block{p, bytes_[p], bytes_.data() + p + 1, 0};
            const size_t left = bytes_.size() - p - 1;
            const std::optional<size_t> length = body_length(block.id, block.body, left);
            if (!length) {
                if (!known_block(block.id)) return fail(where(block) + " cannot be played: " + played_blocks);
                return fail(where(block) + " is cut short or does not hold together");
            }
            if (*length > left) return fail(where(block) + " is cut short or does not hold together");
            blocks_.push_back({block.offset, block.id, block.body, *length});
            p += 1 + *length;
        }
        return true;
    }

    // The block `step` blocks from `from`, as a jump or call names it.
    std::optional<size_t> relative(size_t from, uint32_t step) const {
        const auto target = static_cast<int64_t>(from) + static_cast<int16_t>(step);
        if (target < 0 || target >= static_cast<int64_t>(blocks_.size())) return std::nullopt;
        return static_cast<size_t>(target);
    }

    void play() {
        size_t loop_start = 0;
        uint32_t loops_left = 0;
        std::vector<size_t> calls;  // the call sequence's blocks still to call
        size_t call_return = 0;     // the block after the call sequence
        bool in_call = false;
        uint64_t played = 0;
        for (size_t i = 0; i < blocks_.size();) {
            if (++played > most_blocks_played) {
                fail(where(blocks_[i]) + ": the tape's jumps, loops and calls play on for ever");
                return;
            }
            const Block& block = blocks_[i];
            const uint8_t* b = block.body;
            size_t next = i + 1;
            bool ok = true;
            std::string why;
            switch (block.id) {
            case 0x12: ok = tone(le16(b), le16(b + 2)); break;
            case 0x13: ok = pulses(b + 1, b[0]); break;
            case 0x14: ok = pure_data(b, block.length, why); break;
            case 0x15: ok = direct(b, block.length, why); break;
            case 0x19: ok = generalized(block, why); break;
            case 0x20:
                if (le16(b) == 0) {
                    player_.stops.push_back(player_.position());
                } else {
                    ok = budget_.take(le16(b) * (tzx_clock / 1000), 1);
                    if (ok) player_.pause_ms(le16(b));
                }
                break;
            case 0x23: {
                const std::optional<size_t> target = relative(i, le16(b));
                if (!target || *target == i) ok = false, why = "jumps outside the tape, or to itself";
                else next = *target;
                break;
            }
            case 0x24:
                loop_start = next;
                loops_left = le16(b);
                break;
            case 0x25:
                if (loops_left > 1) {
                    --loops_left;
                    next = loop_start;
                } else {
                    loops_left = 0;
                }
                break;
            case 0x26: {
                if (in_call) {
                    ok = false, why = "calls from inside a call";
                    break;
                }
                calls.clear();
                for (uint32_t k = 0; k < le16(b); ++k) {
                    const std::optional<size_t> target = relative(i, le16(b + 2 + 2 * k));
                    if (!target) {
                        ok = false, why = "calls a block outside the tape";
                        break;
                    }
                    calls.push_back(*target);
                }
                if (!ok || calls.empty()) break;
                call_return = next;
                in_call = true;
                next = calls.front();
                calls.erase(calls.begin());
                break;
            }
            case 0x27:
                if (!in_call) break;
                if (calls.empty()) {
                    in_call = false;
                    next = call_return;
                } else {
                    next = calls.front();
                    calls.erase(calls.begin());
                }
                break;
            case 0x2B:
                if (block.length >= 5) player_.set_level(b[4] & 1);
                break;
            default: break;  // groups, the 48K stop, texts and information: nothing to play
            }
            if (!ok) {
                fail(where(block) + " " +
                     (why.empty() ? "would play longer, or make more pulses, than any tape holds (a C90 cassette, "
                                    "a ZX81 program's bits)"
                                  : why));
                return;
            }
            i = next;
        }
    }

    bool tone(uint32_t length, uint32_t count) {
        if (!budget_.take(static_cast<uint64_t>(length) * count, count)) return false;
        for (uint32_t k = 0; k < count; ++k) player_.flip(length);
        return true;
    }

    bool pulses(const uint8_t* lengths, uint32_t count) {
        uint64_t total = 0;
        for (uint32_t k = 0; k < count; ++k) total += le16(lengths + 2 * k);
        if (!budget_.take(total, count)) return false;
        for (uint32_t k = 0; k < count; ++k) player_.flip(le16(lengths + 2 * k));
        return true;
    }

    // Block 0x14: each bit two pulses of its length.
    bool pure_data(const uint8_t* b, size_t length, std::string& why) {
        const uint32_t zero = le16(b), one = le16(b + 2), last_bits = b[4], pause = le16(b + 5);
        const size_t count = le24(b + 7);
        if (count == 0 || last_bits == 0 || last_bits > 8 || 10 + count > length) {
            why = "is cut short or does not hold together";
            return false;
        }
        const uint8_t* data = b + 10;
        uint64_t total = pause * (tzx_clock / 1000);
        const uint64_t bits = 8 * (count - 1) + last_bits;
        for (uint64_t k = 0; k < bits; ++k) total += 2ull * ((data[k / 8] >> (7 - k % 8)) & 1 ? one : zero);
        if (!budget_.take(total, 2 * bits + 1)) return false;
        for (uint64_t k = 0; k < bits; ++k) {
            const uint32_t pulse = (data[k / 8] >> (7 - k % 8)) & 1 ? one : zero;
            player_.flip(pulse);
            player_.flip(pulse);
        }
        player_.pause_ms(pause);
        return true;
    }

    // Block 0x15: the level sample by sample.
    bool direct(const uint8_t* b, size_t length, std::string& why) {
        const uint32_t per_sample = le16(b), pause = le16(b + 2), last_bits = b[4];
        const size_t count = le24(b + 5);
        if (count == 0 || last_bits == 0 || last_bits > 8 || per_sample == 0 || 8 + count > length) {
            why = "is cut short or does not hold together";
            return false;
        }
        const uint8_t* data = b + 8;
        const uint64_t samples = 8 * (count - 1) + last_bits;
        if (!budget_.take(samples * per_sample + pause * (tzx_clock / 1000), samples + 1)) return false;
        for (uint64_t k = 0; k < samples; ++k) player_.pulse((data[k / 8] >> (7 - k % 8)) & 1, per_sample);
        player_.pause_ms(pause);
        return true;
    }

    // Block 0x19, the generalized data block. Everything it would play is
    // counted before any of it is made.
    bool generalized(const Block& block, std::string& why) {
        const uint8_t* body = block.body + 4;
        const size_t length = block.length - 4;
        why = "is cut short or does not hold together";
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
        for (uint32_t k = 0; k < totp; ++k)
            if (pilot_stream[3 * k] >= asp) return false;
        const auto data_symbol_at = [&](uint32_t k) {
            uint32_t symbol = 0;
            for (int bit = 0; bit < bits_per_symbol; ++bit) {
                const size_t at = static_cast<size_t>(k) * bits_per_symbol + bit;
                symbol = symbol << 1 | (stream[at / 8] >> (7 - at % 8) & 1);
            }
            return symbol;
        };
        // A ZX81 program: no pilot, two symbols, the bytes as they are. It
        // starts after a silence.
        const bool program = totp == 0 && asd == 2 && totd % 8 == 0 && totd > 0;
        uint64_t t_states = (tzx_clock / 1000) * pause + (program ? tzx_clock / 10 : 0), edges = 2;
        why = "would play longer, or make more pulses, than any tape holds (a C90 cassette, a ZX81 program's bits)";
        const auto count = [&](const uint8_t* definition, int symbol_pulses, uint64_t times) {
            const auto [symbol_t_states, symbol_edges] = symbol_size(definition, symbol_pulses);
            t_states += times * symbol_t_states;
            edges += times * symbol_edges;
            return t_states <= budget_.t_states_left && edges <= budget_.edges_left;
        };
        bool fits = true;
        for (uint32_t k = 0; k < totp && fits; ++k)
            fits = count(pilot_table + pilot_stream[3 * k] * pilot_symbol, npp, le16(pilot_stream + 3 * k + 1));
        if (bits_per_symbol == 0) {
            fits = fits && count(data_table, npd, totd);  // every symbol is the only one
        } else {
            for (uint32_t k = 0; k < totd && fits; ++k) {
                const uint32_t symbol = data_symbol_at(k);
                if (symbol >= static_cast<uint32_t>(asd)) {
                    why = "is cut short or does not hold together";
                    return false;
                }
                fits = count(data_table + symbol * data_symbol, npd, 1);
            }
        }
        if (!fits || !budget_.take(t_states, edges)) return false;
        if (program) player_.silence_of(silence_before_program);
        const uint64_t start = player_.position();
        for (uint32_t k = 0; k < totp; ++k)
            for (uint32_t r = le16(pilot_stream + 3 * k + 1); r > 0; --r)
                play_symbol(player_, pilot_table + pilot_stream[3 * k] * pilot_symbol, npp);
        for (uint32_t k = 0; k < totd; ++k) play_symbol(player_, data_table + data_symbol_at(k) * data_symbol, npd);
        const uint64_t end = player_.position();
        player_.pause_ms(pause);
        if (program) read_held(block, stream, totd / 8, start, end);
        return true;
    }

    // The names and programs of a ZX81 block's bytes; several may follow
    // each other.
    void read_held(const Block& block, const uint8_t* bytes, size_t size, uint64_t start, uint64_t end) {
        std::vector<TapeProgram> programs;
        std::string problem;
        if (!read_program_records(bytes, size, programs, problem))
            image_.warnings.push_back(where(block) + " holds " + problem);
        for (TapeProgram& program : programs) {
            program.start = start;
            program.end = end;
            held_.push_back({std::move(program), block.offset});
        }
    }

    // Each program a block holds is what its pulses make, read as the ZX81
    // reads them: else the file's bytes and its signal disagree, and LOAD
    // through the ROM would load something else.
    void check_programs() {
        const DecodedTape decoded = decode_signal(image_.signal);
        for (HeldProgram& held : held_) {
            const bool heard = std::any_of(decoded.programs.begin(), decoded.programs.end(), [&](const TapeProgram& p) {
                return p.start >= held.program.start && p.start < held.program.end && p.name == held.program.name &&
                       p.data == held.program.data;
            });
            if (!heard) {
                char text[48];
                std::snprintf(text, sizeof text, "block 0x19 at offset %zu", held.offset);
                image_.problem = std::string(text) +
                                 ": its pulses do not make the program it holds (a ZX81 reads a 0 from a burst of 3 "
                                 "to 6 pulses of 300 us, a 1 from 7 to 13)";
                image_.programs.clear();
                return;
            }
            image_.programs.push_back(std::move(held.program));
        }
    }
};

}  // namespace

void read_tzx(const std::vector<uint8_t>& bytes, TapeImage& image) {
    TzxReader(bytes, image).read();
    image.playable = image.problem.empty();
}
