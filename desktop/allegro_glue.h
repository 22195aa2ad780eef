// Where Allegro, X11 and the system meet the desktop program: everything
// that reaches into Allegro's private parts (its X connection, its input
// thread, the pointer it draws) is here, and so is every piece of state that
// their callbacks force to be global (a key callback, a mouse callback, a
// signal handler, Xlib's error handlers and the GUI's list getters take no
// pointer of ours). Nothing else in the program keeps global state.
#pragma once

#include <allegro.h>

#include <optional>
#include <string>
#include <vector>

#include "view.h"

// --- Key presses and clicks, as Allegro's input thread reports them ---

// Starts taking events: from now on every key press and release, and every
// press of the left button, is kept until taken. Polling the key and button
// state once a period misses a press shorter than a period; the queues keep
// every one.
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

// --- The request to quit ---

// From the program's first moments: SIGTERM, SIGINT and SIGHUP only ask the
// window's run to stop (a signal that comes before the window is open ends
// it at once, as Alt+F4 would, with status 0).
void catch_quit_signals();

// A headless run is a script's: the signals act as they usually do from
// now on, and one caught before is acted on now.
void default_quit_signals();

// Holds back SIGTERM, SIGINT and SIGHUP until quit_on_signals: called before
// Allegro starts, so that its threads are born with them held and only the
// program's own handler ever sees them.
void hold_quit_signals();

// From now on SIGTERM, SIGINT and SIGHUP end the program as Alt+F4 does:
// they only ask the emulation to stop (a flag, safe in a signal handler),
// and the program ends through its usual way out, settings written and the
// display let go. Allegro's own handlers, which shut the library down from
// inside the signal while its other thread may be talking to the X server,
// are replaced. A signal held back so far comes now.
void quit_on_signals();

// Asks the emulation to stop at the end of the period (the window's close
// button, a signal, a display gone); the period's wait ends within 1/100 s.
void request_quit();
bool quit_requested();
void clear_quit_request();

// --- The display ---

// From now on, a display that goes away ends the program instead of
// hanging it: the X connection lost (a logout, a remote display dropped, the
// server killed) ends it at once with a message and exit status 1, before
// any code that would wait on the display; the window destroyed from outside
// asks the emulation to stop, and the program then ends through its usual
// way out with exit status 1. Called whenever a window is made (Allegro
// makes a new one at each screen mode).
void watch_display();

// Whether the window was destroyed from outside: the program ends with 1.
bool display_lost();

// Allegro's input thread looks at the X server a thousand times a second,
// whatever comes: most of what a picture at rest cost. While the emulation
// runs it is held, and handle_pending_input handles the input that came,
// once a period, every key and click in the order they came. Dialogs and
// boxes, which wait on Allegro's own key and mouse state, let it run while
// they are shown (InputThreadRuns); it runs again for good before Allegro
// ends.
void hold_input_thread();
void release_input_thread();
class InputThreadRuns {
public:
    InputThreadRuns();
    ~InputThreadRuns();
    InputThreadRuns(const InputThreadRuns&) = delete;
    InputThreadRuns& operator=(const InputThreadRuns&) = delete;

private:
    bool held;
};

// Sends what was drawn to the X server and handles the input that came
// meanwhile, in the order it came (while the input thread is held). Looking
// costs no round trip; Allegro's handler, which waits for a reply each
// time, runs only when events came.
void handle_pending_input();

// The size of the desktop the program runs on (after Allegro has started).
Size desktop_size();

// The part of it windows may take: the window manager's work area
// (_NET_WORKAREA, without its panels) where it gives one, else all of it.
Size work_area_size();

// Whether the keyboard's focus is on one of the program's windows.
bool has_focus();

// A window made anew, or unmapped and mapped again, loses the focus it had,
// which a window manager would give back but an X server alone does not:
// the keys typed next would go nowhere. It takes the focus back, once it
// can be seen.
void take_focus_back();

// Whether Allegro draws the pointer now (other code shows and hides it).
bool pointer_is_shown();

// --- The window's identity ---

// Gives the window its class (orlix/Orlix, as the desktop entry's
// StartupWMClass), so that docks and task bars tell it apart. Before Allegro
// starts, which makes the window.
void name_window();

// Gives the icon (32x32 pixels in 16 colours, as XPM data) to Allegro before
// the window is shown; after the window exists, icon_was_set() tells whether
// the window really got it.
void prepare_icon();
bool icon_was_set();

// Gives the window the icon at 16, 32, 48 and 64 pixels as _NET_WM_ICON,
// which today's desktops take rather than the old pixmap hint. Once the
// window exists, after each change of screen mode. The full-screen window
// gets the class too.
void set_window_icons();

// The window's title, the full-screen window's too.
void set_title(const std::string& title);

// --- Allegro's GUI ---

// What the file dialog's callbacks reach, having no pointer of their own:
// the open dialog's state (file_dialogs.cpp) and the canvas the dialogs are
// drawn on at 1x, shown at `canvas_scale`.
struct Browser;
struct GuiCallbacks {
    Browser* browser = nullptr;
    const std::vector<std::string>* list_lines = nullptr;  // a list dialog's lines
    BITMAP* canvas = nullptr;
    int canvas_scale = 1;
};
GuiCallbacks& gui_callbacks();
