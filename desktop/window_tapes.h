// Programs and tapes in the window: the program named on the command line,
// loaded once the ZX81 is ready; a file chosen in a dialog; and LOAD and
// SAVE typed at the ZX81, served with files in the tape folder.
#pragma once

struct Desktop;
struct Zx81;

// Loads the file the dialogs name (Desktop::file_name); the title names it
// once it is in memory, and a refusal is said in a box. False when nothing
// was loaded.
bool load_named_file(Desktop& desktop, Zx81& machine);

// Loads the program named on the command line once the ROM has started and
// waits at its K prompt, as F3 would load it; it becomes the name the
// dialogs offer. A ROM that never shows the prompt gets the program after
// 10 s. True in the period it was loaded.
bool load_program_named_at_start(Desktop& desktop, Zx81& machine);

// Serves a LOAD or SAVE that the ZX81 waits on. LOAD "" with no program
// on the tape in the deck asks for the file in the F3 dialog; Cancel there
// is BREAK. A failure says why, and the ZX81 shows report D.
void serve_tape(Desktop& desktop, Zx81& machine);
