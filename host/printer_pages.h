// The ZX Printer's paper as pictures: a PNG 256 pixels wide, a pixel a dot,
// dark dots on the paper's silver. In the window each printout becomes a
// page of its own in the pictures folder once the motor has stood for a
// second; with a file named (--printer=FILE, and always headless) everything
// printed goes into that one file.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "zx_printer.h"

// The rows as the bytes of a greyscale PNG file; empty when there are none
// or it cannot be made.
std::vector<uint8_t> paper_png(const std::vector<PaperRow>& rows);

// Where the paper goes, and what has gone there.
struct PrinterPages {
    std::string file;               // everything printed, in one file; empty: a file a page
    std::vector<PaperRow> printed;  // everything so far, for `file`
};

// What serving the printer did: the file written, or why it could not be.
struct PageWritten {
    std::string path;     // empty: nothing was written
    std::string problem;  // empty: written
};

// orlix-print-YYYYMMDD-HHMMSS.png (local time) in the pictures folder; a
// name already taken gets -2, -3, ...
std::string printout_path(std::time_t when);

// Takes the machine's paper once a page is finished (or at once, with
// `all`, at the end of a run) and writes it: to the pages' file, whole,
// with everything printed before it, or to a new file in the pictures
// folder. Nothing without a printer or a finished page.
PageWritten serve_printer(Zx81& machine, PrinterPages& pages, std::time_t now, bool all = false);
