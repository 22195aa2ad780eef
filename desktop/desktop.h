// The desktop program's own state: how the ZX81 is shown and the host-side
// settings that a reset leaves alone. One record, passed to whatever uses it.
#pragma once

#include <allegro.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gdb_stub.h"
#include "host_keys.h"
#include "pacing.h"
#include "printer_pages.h"
#include "view.h"
#include "settings.h"
#include "sound_device.h"
#include "tape_files.h"
#include "zx81.h"

struct Desktop {
    View view;            // the screen mode or window scale shown
    Layout layout = layout_for(View{}, Size{0, 0}, false);
    int ink = 0;          // indices into colour_table: black ink
    int paper = 7;        // on white paper
    // Pixel values of the sixteen colours at the screen's depth: palette
    // entries at 8 bits, packed values at 15 or 16.
    std::array<int, 16> colours{};
    bool true_colour = false;  // the screen runs at 15 or 16 bits
    // The television picture at the view's scale and the screen's depth;
    // made anew at each view.
    BITMAP* picture = nullptr;
    // For each byte of a frame, its eight pixels in ink and paper, each as
    // wide as the scale, as the picture stores them (one byte a pixel at 8
    // bits, two at 15 or 16): pattern_size bytes each.
    std::vector<uint8_t> pixel_patterns;
    size_t pattern_size = 0;
    Frame last_frame;  // the frame painted last, for drawing everything again
    bool picture_stale = true;  // the picture holds nothing of last_frame: paint it all
    int changed_first = frame_height, changed_last = -1;  // rows painted, not yet on the screen
    BITMAP* toolbar = nullptr;  // zxtool.pcx; null when it could not be loaded
    std::string toolbar_path;   // where it was found, to load it again at another depth

    HostKeyboard keyboard;  // the character key being typed

    Model title_model = Model::simple;  // the model the window's title names
    MachineOptions machine_options;     // how the machine was built: the Expansions dialog changes it
    std::string fitted;                 // the RAM and expansions, as the title names them
    int instance = 0;                   // which Orlix window this is; the title names 2 and up
    JoystickKind joystick = JoystickKind::none;  // the arrows, Right Ctrl and a gamepad move it
    bool gamepad = false;               // a gamepad was found
    int title_note_periods = 0;         // the title says where a picture went, or the sound's state, for this long
    SoundMode sound = SoundMode::on;    // what is heard; F12 turns it off and on
    SoundMode sound_when_on = SoundMode::on;  // what F12 turns it on to: on, or mic
    std::unique_ptr<SoundDevice> sound_device;  // opened the first time sound is on
    bool sound_device_tried = false;    // and if there is none, said once on standard error
    bool switch_model = false;          // F9 pressed: the other model from the next frame
    std::string file_name;        // the name the file dialogs offer
    std::string program_to_load;  // from the command line, loaded at the K prompt
    SaveChoice save_format;       // what SAVE "NAME" writes (--save-format)
    PrinterPages printer_pages;   // where the ZX Printer's pages go
    int periods_run = 0;          // since start-up, while a program waits to load
    std::unique_ptr<GdbStub> debugger;  // --gdb: served between periods
    std::string debug_status;     // in the title: "debugger attached", "stopped at PC=..."
    std::string tape_status;      // in the title while the deck plays: "tape GAME.WAV 0:12 / 7:05"
    std::string program_name;     // in the title: the program file last loaded or saved
    std::string title_shown;      // the title the window has now
    std::string note;             // over the picture (full screen) while note_periods last
    int note_periods = 0;
    View window_view;             // the last window shown: where F11 and Escape go back to

    // The settings file, and what it says: changing a setting in the window
    // changes it there.
    std::string settings_file;
    Settings remembered;
    bool settings_unwritable = false;  // said once on standard error

    int frame_parity = 0;               // the simple model draws a frame when it is 0
    uint64_t frames_presented = 0;      // the hardware model's frame last shown
    int periods_without_frame = 0;      // since the hardware model last ended one
    uint64_t frames_drawn = 0;
    Pacing pacing;                      // the clock the periods keep to
};
