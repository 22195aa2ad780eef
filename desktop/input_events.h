// Key presses and mouse clicks as Allegro's input thread reports them,
// queued for the emulation's thread. Polling the key and button state once a
// period misses a press shorter than a period; the queues keep every one.
#pragma once

#include <optional>

// Starts taking events: from now on every key press and release, and every
// press of the left button, is kept until taken.
void start_input_events();

// Takes one press of the Allegro key `code` made since it was last taken
// (a key held down counts once, however long the keyboard repeats it).
bool take_key_press(int code);

// Takes one press of F4 made while Alt was down.
bool take_quit_press();

// Where the left button was pressed, one click at a time, oldest first.
struct Click {
    int x, y;
};
std::optional<Click> take_click();

// The next key event for the ZX81's keyboard, oldest first: an Allegro key
// code, and whether it went down or up.
struct KeyEvent {
    int code;
    bool down;
};
bool next_key_event(KeyEvent& event);

// The window is being made anew (called before and after): the releases
// of keys held meanwhile may never come.
void input_window_changed();

// Drops everything not yet taken: what a dialog's keys and clicks were for
// was the dialog, not the ZX81 or the toolbar.
void forget_input_events();
