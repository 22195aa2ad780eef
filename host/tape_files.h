// LOAD and SAVE typed at the ZX81, served with files in the tape folder:
// the host's side of the commands that tape.h catches.
#pragma once

#include <string>

#include "tape.h"

// The file that LOAD "NAME" takes in `folder`: NAME.P, NAME.p or NAME.81, in
// any case of the whole name (a NAME that already ends in .P or .81 may
// also be the file itself); `path` is empty when there is none, and
// `problem` says why when the folder cannot be read.
struct TapeFile {
    std::string path;
    std::string problem;
};
TapeFile find_tape_file(const std::string& folder, const std::string& name);

// What serving a command came to. `path` is the file written or read;
// `message` is for a failure, worded for a message box.
struct TapeResult {
    bool ok = false;
    std::string path;
    std::string message;
};

// Serves a SAVE "NAME" or LOAD "NAME" in `folder` and ends the command.
// SAVE writes NAME.P (0x4009 up to E_LINE, replaced only once written in
// full); LOAD takes the file find_tape_file finds, with every check of
// load_program. A failure leaves the program in memory and ends in report D.
// LOAD "" is not served here: it needs a file chosen (load_tape_file) or a
// BREAK (break_tape_command).
TapeResult serve_tape_command(Zx81& machine, const std::string& folder);

// Ends the LOAD waiting for a file with the program in `path`, loaded as the
// ROM's LOAD loads it; a file that is refused ends it in report D.
TapeResult load_tape_file(Zx81& machine, const std::string& path);
