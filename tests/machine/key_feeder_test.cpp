// Keys pressed as a person presses them, at a person's pace, through the key
// feeder into the real ROM: every key ends up in the program, however busy
// the ROM is when it comes; a key nothing reads is given up.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "basic_text.h"
#include "zx81_harness.h"

namespace {


struct Typed {
    ZxKey key;
    bool shifted = false;
};

class KeyFeeder : public MachineTest {
protected:
std::unique_ptr<Zx81> booted(Model model) {
    auto machine = std::make_unique<Zx81>();
    machine->model = model;
    power_up(*machine, harness::rom());
    for (int i = 0; i < 600 && !shows_k_prompt(machine->memory); ++i) run_period(*machine);
    return machine;
}
};


// A person typing: each key held `hold` periods, one every `every` periods,
// whatever the ZX81 is doing; SHIFT pressed with the key and let go with it.
void type_at_pace(Zx81& m, const std::vector<Typed>& keys, int hold, int every) {
    for (const Typed& t : keys) {
        if (t.shifted) type_key(m, zx_key::shift, true);
        type_key(m, t.key, true);
        for (int i = 0; i < hold; ++i) run_period(m);
        type_key(m, t.key, false);
        if (t.shifted) type_key(m, zx_key::shift, false);
        for (int i = hold; i < every; ++i) run_period(m);
    }
}

// Runs until the feeder has shown every key, then `more` periods.
void settle(Zx81& m, int more) {
    for (int i = 0; i < 3000 && feeder_busy(m.key_feeder); ++i) run_period(m);
    for (int i = 0; i < more; ++i) run_period(m);
}

// A program line put into the editor once the ROM waits for a key, and
// entered with NEWLINE.
void enter(Zx81& m, const std::vector<uint8_t>& codes) {
    settle(m, 0);
    for (int i = 0; i < 300 && !shows_k_prompt(m.memory); ++i) run_period(m);
    put_in_edit_line(m, codes);
    type_at_pace(m, {{zx_key::newline}}, 8, 30);
}

// The program's lines as (number, body codes without the NEWLINE).
std::vector<std::pair<int, std::vector<uint8_t>>> program_lines(const Zx81& m) {
    std::vector<std::pair<int, std::vector<uint8_t>>> lines;
    const uint16_t end = word_at(m.memory, sysvar::d_file);
    for (uint32_t p = program_lines_start; p + 4 <= end;) {
        const uint32_t length = m.memory[p + 2] | m.memory[p + 3] << 8;
        lines.push_back({m.memory[p] << 8 | m.memory[p + 1],
                         std::vector<uint8_t>(m.memory.begin() + p + 4, m.memory.begin() + p + 4 + length - 1)});
        p += 4 + length;
    }
    return lines;
}

constexpr uint8_t print_token = 0xF5;
constexpr ZxKey digit_keys[10] = {zx_key::digit0, zx_key::digit1, zx_key::digit2, zx_key::digit3,
                                  zx_key::digit4, zx_key::digit5, zx_key::digit6, zx_key::digit7,
                                  zx_key::digit8, zx_key::digit9};

// "10 PRINT 1" NEWLINE ... "40 PRINT 4" NEWLINE: the ROM lists the program
// after each line, through the keys that come meanwhile.
std::vector<Typed> four_lines() {
    std::vector<Typed> keys;
    for (int n = 1; n <= 4; ++n)
        keys.insert(keys.end(), {{digit_keys[n]}, {zx_key::digit0}, {zx_key::p}, {digit_keys[n]}, {zx_key::newline}});
    return keys;
}

TEST_F(KeyFeeder, FourLinesTypedAtTenKeysASecondAllArrive) {
    struct Case {
        Model model;
        int hold, every;  // periods of 1/100 s
    };
    const Case cases[] = {
        {Model::simple, 8, 10},   // 10 keys a second, each held 80 ms
        {Model::hardware, 8, 10},
        {Model::simple, 2, 3},    // taps of 20 ms, 33 a second
        {Model::hardware, 6, 10},
    };
    for (const Case& c : cases) {
        auto m = booted(c.model);
        type_at_pace(*m, four_lines(), c.hold, c.every);
        settle(*m, 100);
        const auto lines = program_lines(*m);
        ASSERT_EQ(lines.size(), 4u) << model_name(c.model) << " hold " << c.hold;
        for (int n = 1; n <= 4; ++n) {
            EXPECT_EQ(lines[n - 1].first, 10 * n) << model_name(c.model);
            ASSERT_GE(lines[n - 1].second.size(), 2u);
            EXPECT_EQ(lines[n - 1].second[0], print_token) << model_name(c.model) << " line " << n;
            EXPECT_EQ(lines[n - 1].second[1], zx81_code::digit_0 + n) << model_name(c.model) << " line " << n;
        }
        EXPECT_TRUE(m->key_feeder.given_up.empty());
    }
}

// A program reading INKEY$ takes a tap far shorter than its loop; one that
// reads no key at all gets the key given up after the feeder's time limit.
TEST_F(KeyFeeder, ProgramsThatReadKeysTakeThemAndOthersGiveThemUp) {
    for (Model model : {Model::simple, Model::hardware}) {
        auto m = booted(model);
        // 10 LET A$=INKEY$ / 20 IF A$="" THEN GOTO 10 / 30 PRINT A$
        enter(*m, {0x1D, 0x1C, 0xF1, 0x26, 0x0D, 0x14, 0x41});
        enter(*m, {0x1E, 0x1C, 0xFA, 0x26, 0x0D, 0x14, 0x0B, 0x0B, 0xDE, 0xEC, 0x1D, 0x1C});
        enter(*m, {0x1F, 0x1C, 0xF5, 0x26, 0x0D});
        type_at_pace(*m, {{zx_key::r}, {zx_key::newline}}, 8, 30);
        settle(*m, 0);
        type_at_pace(*m, {{zx_key::q}}, 1, 1);
        settle(*m, 60);
        EXPECT_EQ(display_code(m->memory, 0, 0), 0x36) << model_name(model) << ": Q printed";
        EXPECT_TRUE(m->key_feeder.given_up.empty());

        // 10 GOTO 10 reads no key but SPACE (BREAK): Q is given up.
        auto idle = booted(model);
        enter(*idle, {0x1D, 0x1C, 0xEC, 0x1D, 0x1C});
        type_at_pace(*idle, {{zx_key::r}, {zx_key::newline}}, 8, 30);
        idle->key_feeder.give_up_after = 2000 * key_cycles_per_ms;
        settle(*idle, 0);
        type_at_pace(*idle, {{zx_key::q}}, 1, 1);
        settle(*idle, 0);
        ASSERT_EQ(idle->key_feeder.given_up.size(), 1u) << model_name(model);
        EXPECT_EQ(idle->key_feeder.given_up[0].row, zx_key::q.row);
        EXPECT_EQ(idle->key_feeder.given_up[0].bit, zx_key::q.bit);
        EXPECT_FALSE(feeder_busy(idle->key_feeder));
        EXPECT_EQ(idle->keys, no_keys_down);
    }
}

}  // namespace
