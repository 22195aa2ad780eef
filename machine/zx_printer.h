// The ZX Printer on port $FB (any port with A2 low): a motor that sweeps
// two styli across aluminised paper 256 dots wide, one row of dots a sweep,
// an encoder that marks each dot's place, and a stylus the program switches
// on to burn a dot. The ROM's LPRINT, LLIST and COPY drive it; what it
// prints collects here, as rows of paper for the host to take.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "device.h"

struct Zx81;

constexpr int paper_dots = 256;
// One row of dots: bit 7 of byte 0 is the leftmost.
using PaperRow = std::array<uint8_t, paper_dots / 8>;

// The paper that came out of the printer since the host last took it.
struct PrinterPaper {
    std::vector<PaperRow> rows;
    bool motor_running = false;
    int64_t motor_stopped_at = 0;  // the machine's cycle count when it last stopped
    bool ran_out = false;          // the roll ended: rows past its length were lost
};

// The longest roll: about 23 m of paper at 0.36 mm a row.
constexpr size_t paper_roll_rows = 65536;

std::unique_ptr<Device> make_zx_printer();

// The paper of the printer plugged into the machine; none without one.
PrinterPaper* printer_paper(Zx81& machine);

// The rows on the paper make a finished page: the motor has stood still for
// a second since it last printed.
bool page_finished(const PrinterPaper& paper, int64_t now);

// Whether a row has the dot at `x` (0 the leftmost) burnt.
constexpr bool dot_burnt(const PaperRow& row, int x) {
    return (row[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1;
}
