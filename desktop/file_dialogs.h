// Choosing a program file to save or load, in a dialog of our own on
// Allegro's file selector; and the window's other dialogs: a list to choose
// from, the expansions to fit.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zx81.h"

enum class FileDialog { save, open };

// Shows "Save Zx81 File" or "Open Zx81 File" at `scale` (the view's),
// starting from `name` (the last name chosen). On OK with a name, stores the
// chosen path (".P" added when it has no extension) in `name` and returns
// true; on Cancel returns false and leaves `name` alone. A name too long for
// Linux gets a message.
bool choose_program_file(FileDialog kind, std::string& name, int scale);

// The name as it will be used: ".P" appended when the file part has no
// extension.
std::string with_default_extension(const std::string& name);

// Whether Linux takes the path: a file name of at most 255 bytes in a path of
// at most 4095.
bool name_fits(const std::string& path);

// A list to choose one line from, under `caption` (the programs on a tape):
// the line chosen, by OK, Enter or a double click; none on Cancel.
std::optional<size_t> choose_from_list(const std::string& caption, const std::vector<std::string>& lines, int scale);

// "Expansions": the RAM, Chroma 81, a character board, a joystick, ZXpand
// and the ZX Printer, as `options` has them; on OK stores what was chosen
// there and returns true, on Cancel (or Escape) false.
bool choose_expansions(MachineOptions& options, int scale);
