// What the user asks of the window: each action's keys, its toolbar
// button, its line in the help and what it does, in one table that the
// period's key handling, the F1 help and --help's key list are all made
// from.
#pragma once

#include <optional>
#include <string>

#include "allegro_glue.h"
#include "settings.h"
#include "zx81.h"

struct Desktop;

// What an action leaves for the rest of the period: the next actions, or
// none (a file loaded or the machine reset: the period ends there).
enum class After { next, period_over };

// The actions asked for by this period's key presses and this click, run
// in the table's order. Alt+F4 is the caller's, before anything else.
After run_actions(Desktop& desktop, Zx81& machine, const std::optional<Click>& click);

// The F1 box: the help text as it has always been, then which model runs,
// the keys beyond it and how the host keys type.
std::string help_text_for(Model model);

// The keys for --help: how the host keys type, then a line for each action.
std::string key_list_text();

// Makes the machine's sound what the desktop says: off, or on (with or
// without the frame syncs) through the sound device, opened the first time
// it is needed. A machine with no device runs silently, after one line on
// standard error.
void apply_sound(Desktop& desktop, Zx81& machine);

// Hands the period's sound to the device as soon as it is made, and lets
// the device's fill steer the machine's sample rate.
void play_sound(Desktop& desktop, Zx81& machine);

// A setting changed in the window becomes the one remembered for the next
// run. A file that cannot be written is said once, on standard error.
void save_settings(Desktop& desktop, SettingField field);
