// The periodic machine handler: called by the core once per period of 32,000
// cycles. Paces the emulation to the 50 Hz timer, draws every second period
// and serves the function keys and the toolbar.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Incremented by the timer; waited on and cleared by machine_loop.
extern std::atomic<int32_t> timer_ticks;
// Set from outside the emulation (the window's close button) to stop the run.
extern std::atomic<bool> quit_requested;

extern int frame_parity;   // a frame is drawn on calls that find it 0
extern int fkey_latch;     // set by F6, F7, F8; cleared when F4, F6, F7, F8 are all up
extern std::string file_name;  // the last name chosen in a file dialog
// A program named on the command line, loaded (and then forgotten) as soon as
// the ROM shows its K prompt.
extern std::string program_to_load;

// Counters for the paced benchmark: emulated cycles and frames drawn so far.
extern std::atomic<uint64_t> cycles_run;
extern std::atomic<uint64_t> frames_drawn;

// The 50 Hz timer callback: one tick, and wakes a waiting machine_loop.
void timer_tick();
