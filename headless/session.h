// A headless machine of a run's own, driven a period of 1/100 s at a time:
// keys held as a person holds them, LOAD and SAVE served from the tape
// folder, and the screen read as text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio_file.h"
#include "gdb_stub.h"
#include "key_sequence.h"
#include "tape_files.h"
#include "zx81.h"

// Periods are counted in 64 bits: a week of emulated time is 60 million of
// them, and a count that overflowed would run nothing at all.
int64_t periods_in(double seconds);

struct Session {
    std::unique_ptr<Zx81> machine = std::make_unique<Zx81>();
    std::string tape_folder = ".";
    SaveChoice save;  // what SAVE "NAME" writes
    // What the machine plays is written here, when the run has --audio.
    std::unique_ptr<AudioRecording> recording;
    // A debugger's stub, when the run has --gdb: served between periods;
    // while it holds the machine stopped, the run waits for it.
    GdbStub* debugger = nullptr;

    // Runs the machine, serving LOAD and SAVE after each period (LOAD "",
    // with no tape in the deck and no one to choose a file, is BREAK), and
    // taking its sound. Time a debugger holds the machine stopped does not
    // count.
    void run(int64_t periods);

    // Answers the debugger, and waits while it holds the machine stopped.
    void answer_debugger();

    // Runs until the ZX81 shows its K prompt (or gives up after a while),
    // then a little longer: the ROM reads the keys only once it waits for
    // one, and after a line it has taken it lists the program first.
    void wait_for_prompt();

    // A key press as a person makes it, through the machine's key feeder:
    // SHIFT down before the key, the key held until the ROM or the program
    // has taken it, then both up; the run goes on until the ZX81 has seen
    // it all. A wait lets the time pass. False when the ZX81 took no key
    // within the feeder's time limit (the keys it gave up in `given_up`).
    bool press(const KeyStroke& stroke, std::vector<ZxKey>& given_up);

    // Whether the screen shows `text` on one of its lines.
    bool shows(const std::string& text);
};
