// The settings Orlix remembers from one run to the next, in a small
// key=value file: the view (screen mode or window scale), ink, paper, model,
// RAM and sound. The file holds the user's defaults; command-line options override
// them for one run; a setting changed in the window becomes the default.
#pragma once

#include <string>

#include "view.h"
#include "zx81.h"

// What is heard: nothing, the ZX81's sound without the display's own
// frame syncs, or with them (the 50 Hz buzz a television at full volume
// gives, as the MIC socket carries it).
enum class SoundMode { off, on, mic };
const char* sound_mode_name(SoundMode mode);

struct Settings {
    View view;
    int ink = 0;
    int paper = 7;
    Model model = Model::simple;
    int ram_kb = default_ram_kb;
    bool low_ram = false;  // RAM at 8-16K too
    SoundMode sound = SoundMode::on;
    // What is fitted, as the Expansions dialog chose it (the RAM above too).
    bool chroma = false;
    CharBoard chars = CharBoard::none;
    bool chr128_inverts = true;
    JoystickKind joystick = JoystickKind::none;
    bool zxpand = false;
    bool printer = false;
    bool operator==(const Settings&) const = default;
};

// $XDG_CONFIG_HOME/orlix/orlix.conf, or ~/.config/orlix/orlix.conf.
std::string settings_path();

// The settings in the file; what it does not say stays at its default. A
// file that cannot be read (a link to nothing, a loop of links, a folder in
// the way that cannot be read), or lines that cannot be understood, are
// described in `problem` (one line) and otherwise ignored; a missing file is
// no problem.
Settings read_settings(const std::string& path, std::string& problem);

// The settings one change in the window sets together.
enum class SettingField { view, colours, model, ram, sound, expansions };

// Writes the settings to the file, creating its folder, whole or not at all
// (write_whole_file), so that a reader or a crash never finds half a file.
// False (with the reason in `problem`) when it cannot.
bool write_settings(const std::string& path, const Settings& settings, std::string& problem);

// Changes one setting in the file, leaving the others as the file has them
// (another Orlix may have changed them meanwhile): under a lock shared by
// every Orlix, reads the file, takes `field` from `changed` and writes the
// file whole. False (with the reason) when it cannot be written.
bool change_settings(const std::string& path, const Settings& changed, SettingField field, std::string& problem);

// The machine the settings keep (RAM and expansions) into options that
// build one, and back from them: one list of the fields both have.
void machine_from_settings(const Settings& settings, MachineOptions& options);
void settings_from_machine(const MachineOptions& options, Settings& settings);
