// The two message reporters: a warning after which the program goes on, and a
// fatal error after which it ends with exit status -1 (255).
#pragma once

#include <string>
#include <vector>

// A modal box captioned "Mensaje" in the program's window, its text at
// `scale` (the view's: its 8-pixel text then matches the ZX81's
// characters); with no window the text goes to standard error. Returns when
// the user closes the box.
void warn(const std::string& text, int scale = 1);

// A modal box captioned "Error" with a stop sign; the text also goes to
// standard error. Then the library is shut down and the process exits with -1.
[[noreturn]] void fatal_error(const std::string& text);

// Splits a message into the lines the box shows: every line of the text, long
// ones wrapped at spaces (or cut) to at most `columns` characters.
std::vector<std::string> message_lines(const std::string& text, size_t columns);
