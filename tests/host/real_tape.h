// The real ROM loading from the deck with the file catches off: a test
// folder and a machine of the test's own.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "temporary_folder.h"
#include "program_image.h"
#include "tape_deck.h"
#include "zx81_harness.h"

// ZX81 character codes on the screen.
constexpr uint8_t zx_0 = 0x1C, zx_d = 0x29, zx_slash = 0x18;

// The real ROM in the hardware model, loading from the deck with the
// catches off, stopped where LOAD has stored its last byte.
class RealTape : public TemporaryFolder, public TestMachine {
protected:
    void SetUp() override {
        TemporaryFolder::SetUp();
        fresh_machine();
    }
    void TearDown() override {
        forget_machine();
        TemporaryFolder::TearDown();
    }
    void forget_machine() {
        clear_breakpoints(zx81.debug);
        resume(zx81.debug);
        eject_tape(zx81.tape.deck);
        zx81.tape.quick_waits = true;
        between_periods({});
    }
    void fresh_machine() {
        forget_machine();
        start_machine(Model::hardware);
        boot();
    }

    // Types LOAD "" (or LOAD "NAME") and runs until the ROM's LOAD ends or
    // the tape has played out: whether it ended, and how long the tape had
    // played.
    struct Loaded {
        bool ended = false;
        uint64_t cycles = 0;     // from NEWLINE to the end of the load
        uint64_t played = 0;     // the tape's place then
    };
    Loaded real_load(const TapeSignal& signal, std::initializer_list<ZxKey> name = {}) {
        zx81.tape.traps = false;
        insert_tape(zx81.tape.deck, signal, "test tape");
        press({zx_key::j});
        press({zx_key::shift, zx_key::p});
        for (ZxKey k : name) press({k});
        press({zx_key::shift, zx_key::p});
        add_breakpoint(zx81.debug, WatchKind::execute, 0x0207);
        const uint64_t typed = zx81.cycles_run;
        press({zx_key::newline});
        const int limit = static_cast<int>(signal.length() / 32500) + 200;
        for (int i = 0; i < limit && !zx81.debug.stopped; ++i) run_periods(1);
        return {zx81.debug.stopped, zx81.cycles_run - typed, tape_position(zx81.tape.deck)};
    }

    // DIM A(3000) typed: the program in memory, with 15 KB of variables.
    std::vector<uint8_t> fifteen_kilobytes() {
        using namespace zx_key;
        type({d, a});
        press({shift, i});
        type({digit3, digit0, digit0, digit0});
        press({shift, o});
        press({newline});
        run_periods(50);
        return program_in_memory(zx81).bytes;
    }

    bool memory_holds(const std::vector<uint8_t>& data) {
        const uint16_t e_line = word_at(zx81.memory, 0x4014);
        return e_line - 0x4009u == data.size() && std::equal(data.begin(), data.end(), zx81.memory.begin() + 0x4009);
    }

    bool report_shown(uint8_t code) const {
        return screen_code(1, 23) == zx_slash && screen_code(0, 23) == code;
    }
};

