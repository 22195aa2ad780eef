// LOAD and SAVE typed at the ZX81, served with files in the tape folder and
// the tape in the deck: the host's side of the commands that tape.h catches.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "tape.h"
#include "tape_formats.h"

// The host's name for a ZX81 name: its letters, digits, spaces and the
// symbols Linux allows in a file name; the last character counts without its
// end mark. `problem` says why a name cannot be a file name (graphics,
// inverse characters, keywords, '/', too long); `name` is then empty.
struct HostName {
    std::string name;
    std::string problem;
};
HostName host_file_name(const std::vector<uint8_t>& zx81_name);

// The ZX81 name as text for a message: characters it has no host form for
// shown as '?'.
std::string printable_name(const std::vector<uint8_t>& zx81_name);

// What SAVE "NAME" writes: NAME.P, or the signal a real ZX81's SAVE gives,
// as NAME.WAV (44.1 kHz) or NAME.TZX. `chosen`: given by the user
// (--save-format); otherwise a NAME.WAV or NAME.TZX already in the tape
// folder is written again as such, and anything else as .P.
enum class SaveFormat { program, wav, tzx };
struct SaveChoice {
    SaveFormat format = SaveFormat::program;
    bool chosen = false;
};

// The file that LOAD "NAME" takes in `folder`: NAME.P, NAME.p, NAME.81,
// NAME.P81, NAME.TZX or NAME.WAV, in that order, in any case of the whole
// name (a NAME that already ends in .P or .81 may also be the file itself);
// `path` is empty when there is none, and `problem` says why when the
// folder cannot be read.
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
// SAVE writes as `save` says, whole or not at all. LOAD takes the program
// from the tape in the deck when it is there after the tape's place (the
// named one, past others, as the ROM finds it; the tape then stands after
// it), else from the file find_tape_file finds (a tape file's program of
// that name, or its first), with every check of load_program. A failure
// leaves the program in memory and ends in report D. LOAD "" takes the next
// program on the tape in the deck; with none there it is not served here:
// it needs a file chosen (load_tape_file) or a BREAK (break_tape_command).
TapeResult serve_tape_command(Zx81& machine, const std::string& folder, SaveChoice save = {});

// Whether LOAD "" can be served from the deck (a tape with a program after
// its place).
bool deck_has_next_program(const Zx81& machine);

// Serves the LOAD or SAVE the ZX81 waits on, as every front end does: as
// serve_tape_command in `folder`, except LOAD "" with no program on the tape
// in the deck, which takes the file `choose` names (a window's dialog), and
// is BREAK when it names none (Cancel, or a script with no one to ask): then
// `broken` is set, and the result is ok with no path.
struct TapeRequest {
    std::string folder;
    SaveChoice save;
    std::function<std::optional<std::string>()> choose;
};
TapeResult serve_tape_request(Zx81& machine, const TapeRequest& request, bool& broken);

// Ends the LOAD waiting for a file with the program in `path`, loaded as the
// ROM's LOAD loads it (from a tape file, its program of the name asked for,
// or its first; the tape goes into the deck after it); a file that is
// refused ends it in report D.
TapeResult load_tape_file(Zx81& machine, const std::string& path);

// Puts a tape file (.wav, .tzx, .p81, or a .p as its signal) into the deck,
// at its start. With the catches on, its first program is also loaded at
// once, as F3 loads one, and the tape stands after it. A tape that cannot
// be read leaves the deck and memory as they were. `warnings` get what
// reading its signal found wrong.
TapeResult open_tape(Zx81& machine, const std::string& path, std::string* warnings = nullptr);

// As open_tape, for a tape already read, with its program `which` (from 0)
// loaded, or, with the catches off, the tape wound to just before it.
TapeResult open_read_tape(Zx81& machine, const std::string& path, TapeImage tape, size_t which,
                          std::string* warnings = nullptr);

// Inserts a tape file into the deck without loading anything.
TapeResult insert_tape_file(Zx81& machine, const std::string& path, std::string* warnings = nullptr);

// What F2 and --save write: a program file (.p, .81), or the program as a
// tape under the file's name: .wav (what SAVE gives at the MIC socket), .tzx
// or .p81.
bool saveable_file_name(const std::string& name);
FileResult save_program_file(const Zx81& machine, const std::string& path);

// What F3 and a PROGRAM on the command line load: a program file as F3
// loads one (load_program), or a tape opened (open_tape).
TapeResult load_program_file(Zx81& machine, const std::string& path, std::string* warnings = nullptr);
