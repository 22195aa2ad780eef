// The ZX81 as a front end drives it: one machine record, powered up with a
// ROM, run a period at a time, given the keys that are down, and asked for
// its picture. Nothing here knows of a window, a keyboard or a timer.
#pragma once

#include <cstdint>

#include "debugger.h"
#include "device.h"
#include "display_file.h"
#include "expansions.h"
#include "key_feeder.h"
#include "keyboard.h"
#include "memory_map.h"
#include "sound.h"
#include "tape_state.h"
#include "ula.h"
#include "z80.h"

// How the machine is emulated. The simple model runs the processor flat out
// through each period, gives it no interrupts and takes its picture from the
// display file. The hardware model (hardware_model.h) has the real display
// hardware and timing.
enum class Model { simple, hardware };

// "simple" or "hardware".
const char* model_name(Model model);

// The recorder at the EAR socket and the default sound board (ZON X): what
// a machine has until configure() says otherwise.
Devices standard_devices();

struct Zx81 {
    Memory memory{};
    int ram_kb = default_ram_kb;            // RAM from 0x4000, set before power-up
    bool low_ram = false;                   // and RAM at 0x2000-0x3FFF
    AddressMap address_map = address_map_for(default_ram_kb, false);  // for the model and RAM
    Z80State cpu{};
    KeyMatrix keys = no_keys_down;          // the keys the ZX81 sees down
    KeyFeeder key_feeder;                   // presses waiting for the program to take them
    JoystickState joystick;                 // the stick a joystick interface reads
    Model model = Model::simple;
    Model requested_model = Model::simple;  // a switch waiting for a frame boundary
    bool ntsc = false;                      // the hardware model's 60 Hz machine
    Ula ula;                                // the hardware model's display hardware
    Frame frame;                            // the simple model's picture last asked for
    Tape tape;                              // LOAD and SAVE with files
    // The ROM is the ZX81's version 2, whose addresses the machine catches
    // (LOAD and SAVE, the simple model's SLOW check); set before power-up.
    bool known_rom = true;
    bool nmi_generator = false;             // as a program left it in the simple model
    Sound sound;                            // the sync line, and the sound chip a board may drive
    Debugger debug;                         // breakpoints, watchpoints, a stop
    uint64_t cycles_run = 0;                // processor cycles since power-up
    uint64_t frames = 0;                    // television frames since power-up (50 or 60 a second)
    // What is plugged in: the expansion bus's boards and the recorder at
    // the EAR socket (device.h), made by configure(); until then the usual
    // ones (standard_devices).
    Devices devices = standard_devices();
    // Memory writes from tap_first to tap_first + tap_span go to the boards
    // too; with none, only the ROM's address 0, where writes do nothing.
    uint16_t tap_first = 0, tap_span = 0;
    // A board takes part in the ULA's pattern fetch (a character board, a
    // colour board): the display's fetches go through the boards.
    bool pattern_boards = false;
};

// How a machine is built, as the command line and the settings choose it.
struct MachineOptions {
    Model model = Model::simple;
    bool ntsc = false;                       // the 60 Hz machine, in the hardware model
    int ram_kb = default_ram_kb;
    bool low_ram = false;                    // RAM at 8-16K too
    bool known_rom = true;                   // the ROM is the ZX81's own: LOAD and SAVE are caught for files
    bool real_tape = false;                  // LOAD and SAVE run the ROM's own tape routines
    SoundBoard sound_board = SoundBoard::zonx;
    bool printer = false;                    // the ZX Printer (zx_printer.h)
    bool chroma = false;                     // Chroma 81 colour (chroma.h)
    CharBoard chars = CharBoard::none;       // a character board (char_board.h)
    bool chr128_inverts = true;              // the ULA inverts CHR$128's second set
    JoystickKind joystick = JoystickKind::none;  // joystick.h
    bool zxpand = false;                     // ZXpand's joystick and RAM map (zxpand.h)
};

// The RAM a machine of these options has: ZXpand gives 32 KB, UDG and
// CHR$128 boards bring RAM at 8-16K.
RamChoice ram_of(const MachineOptions& options);

// Builds the machine as the options say, before power-up: its model, RAM
// and ROM, and what is plugged in. Every front end makes its machine so.
void configure(Zx81& machine, const MachineOptions& options);

// Each machine's processor runs on a bus of its own, so any number of them
// may run side by side.

// Power-up in the machine's model and with its RAM: memory as at power-on
// with the ROM in place, no key down, the processor reset.
void power_up(Zx81& machine, const RomImage& rom);

// The reset button: RAM cleared, the ROM copy restored, the processor reset
// (the sound board, on its own, plays on).
void reset(Zx81& machine);

// Runs the processor for one period (1/100 s at 3.25 MHz, 32,500 cycles),
// with the keys last set held down. The sound of the period is made by its
// end (in machine.sound.samples, when a sample rate is set). A breakpoint,
// watchpoint or step ends the period early with the machine stopped; a
// stopped machine does not run (resume() it first).
void run_period(Zx81& machine);

// A debugger's stop asked while the machine runs (Ctrl-C), between two
// periods: at once, or, when the display is passed over and the processor is
// in it, at the program's next instruction (the machine runs on to there,
// within a frame or so).
void stop_running(Zx81& machine);

// Switches to the other model; memory and registers go on. The simple model
// gives way at the end of its period. Entering the hardware model asks for
// SLOW mode as the ROM does at power-up (it comes at the ROM's next check,
// when a line is entered). The hardware model gives way where the program
// runs rather than the ROM's display (within a frame); SLOW mode, which needs
// the NMI generator, becomes FAST there, as the ROM's FAST command would make
// it.
void request_model(Zx81& machine, Model model);

// Everything of a machine that running it changes, to put it back later as
// it was (a listing line the ROM refused, tried again another way).
struct Zx81Snapshot {
    Memory memory;
    Z80State cpu;
    KeyMatrix keys;
    Model model, requested_model;
    AddressMap address_map;
    Ula ula;
    Tape tape;
    bool nmi_generator;
    uint64_t cycles_run;
};
Zx81Snapshot take_snapshot(const Zx81& machine);
void restore_snapshot(Zx81& machine, const Zx81Snapshot& snapshot);

// A read and a write as the processor makes them, through the machine's
// address decoding (a write to the ROM is dropped).
uint8_t peek(const Zx81& machine, uint16_t address);
void poke(Zx81& machine, uint16_t address, uint8_t value);

// What an IN from `port` reads now.
uint8_t read_port(const Zx81& machine, uint16_t port);

// The keys the ZX81 sees as down from now on, as they are (a test's, or a
// benchmark's): no feeder waits for the program to take them.
void set_keys(Zx81& machine, const KeyMatrix& keys);

// A key pressed or released as a person does it: shown to the ZX81 through
// the machine's key feeder (key_feeder.h), which holds a press until the
// program has taken it.
void type_key(Zx81& machine, ZxKey key, bool down);



// The picture of the ZX81 screen as it stands: the display file drawn now in
// the simple model, the last frame shifted out in the hardware model.
const Frame& latest_frame(Zx81& machine);
