// The window's title: the program's name and version, the program file last
// loaded or saved, the model and RAM when they are not the usual, what a
// debugger does with the machine, and for a moment a note (where a picture
// went, the sound turned off), or in full screen, where there is no title,
// a line over the picture.
#pragma once

#include <string>

#include "version.h"
#include "zx81.h"

struct Desktop;

constexpr const char* window_title = "Orlix V." ORLIX_VERSION;

// The title for the program, the model and what is fitted: the name of the
// program file last loaded or saved, when there is one, the hardware
// model's name, and `fitted` (fitted_text).
std::string title_for(Model model, const std::string& fitted = {}, const std::string& program = {});

// What the options fit besides a 16K ZX81, as the title names it: a RAM
// size other than 16 KB ("1K", "16+8K"), Chroma 81, a character board, a
// joystick, ZXpand, the printer.
std::string fitted_text(const MachineOptions& options);

// The desktop's title: as above, the tape while the deck plays it, and
// what a debugger is doing with the machine.
std::string title_of(const Desktop& desktop);

// Sets the window's title to the desktop's.
void show_title(Desktop& desktop);

// The title says something for three seconds.
void note_in_title(Desktop& desktop, const std::string& note);

// Says something for a moment: in the title, or in full screen, where
// there is none, over the picture.
void tell(Desktop& desktop, const std::string& text);

// Once a period: the title follows the model, the program and the
// debugger, a note in it stays its time first.
void refresh_title(Desktop& desktop, const Zx81& machine);

// The program in memory came from, or went to, this file: the title names it.
void name_program(Desktop& desktop, const std::string& path);
