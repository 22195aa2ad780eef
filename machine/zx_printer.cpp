#include "zx_printer.h"

#include <algorithm>

#include "timing.h"
#include "zx81.h"

namespace {

// The mechanism's pace. At full speed each stylus is on the paper about
// 32 ms and off it about 16 ms. The encoder pulses about every 71 µs from a
// dot's width past the paper's edge (where the start latch rises): once for
// each of the 256 dots and once after them, where the ROM ends its line, and
// no more until the next sweep; a pulse latched off the paper would have the
// ROM burn its first dot before the first place. At slow speed (the last two
// sweeps before a stop, so that the styli stop off the paper) all of it
// takes twice as long. Progress is counted in half cycles, so that slow is
// one a cycle and fast two.
constexpr int64_t dot_progress = 2 * (71 * cycles_per_ms / 1000);
constexpr int64_t pulses_per_sweep = paper_dots + 1;
constexpr int64_t paper_progress = 2 * 32 * static_cast<int64_t>(cycles_per_ms);
constexpr int64_t gap_progress = 2 * 16 * static_cast<int64_t>(cycles_per_ms);
constexpr int64_t sweep_progress = paper_progress + gap_progress;
static_assert(pulses_per_sweep * dot_progress < paper_progress);

// Progress is counted from the start of a gap; sweep n reaches the paper
// at n * sweep_progress + gap_progress.
constexpr int64_t floor_div(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// The sweep that last reached the paper at or before `progress`.
constexpr int64_t sweep_at(int64_t progress) {
    return floor_div(progress - gap_progress, sweep_progress);
}

// How far the sweep at `progress` is past the paper's edge.
constexpr int64_t into_sweep(int64_t progress) {
    return progress - gap_progress - sweep_at(progress) * sweep_progress;
}

// The encoder's pulses counted from the first, the last at or before `progress`.
constexpr int64_t pulses_at(int64_t progress) {
    return sweep_at(progress) * pulses_per_sweep + std::min(into_sweep(progress) / dot_progress, pulses_per_sweep) - 1;
}

// The dot under the stylus: the encoder's pulses in this sweep, less one;
// -1 before the first and past the paper.
constexpr int64_t dot_at(int64_t progress) {
    const int64_t into = into_sweep(progress);
    return into < paper_progress ? into / dot_progress - 1 : -1;
}

// Port bits: out.
constexpr uint8_t stylus_on = 0x80, motor_stop = 0x04, slow_speed = 0x02;
// In: the latches, and bit 6 low for "here"; the rest read high.
constexpr uint8_t at_paper_start = 0x80, encoder_pulse = 0x01, unused_high = 0x3E;

class ZxPrinter : public Device {
public:
    PrinterPaper paper;

    const char* name() const override { return "printer"; }

    uint8_t in(Zx81&, uint16_t port, int64_t t) override {
        if (port & 0x04) return 0xFF;
        advance(t);
        return static_cast<uint8_t>(unused_high | (start_latch || stylus ? at_paper_start : 0) |
                                    (encoder_latch ? encoder_pulse : 0));
    }

    void out(Zx81&, uint16_t port, uint8_t value, int64_t t) override {
        if (port & 0x04) return;
        advance(t);
        start_latch = encoder_latch = false;
        stylus = value & stylus_on;
        slow = value & slow_speed;
        const bool running = !(value & motor_stop);
        if (paper.motor_running && !running) paper.motor_stopped_at = t;
        paper.motor_running = running;
        if (stylus && running) burn();
    }

private:
    int64_t progress = 0;       // of the belt, since power-up
    int64_t advanced_to = 0;    // the cycle `progress` stands at
    bool stylus = false, slow = false;
    bool start_latch = false, encoder_latch = false;

    // The belt moves on to cycle `t` (while the motor runs): each sweep that
    // reaches the paper feeds a new row and raises the start latch; a pulse
    // of the encoder raises its latch.
    void advance(int64_t t) {
        const int64_t cycles = t - advanced_to;
        advanced_to = t;
        if (!paper.motor_running || cycles <= 0) return;
        const int64_t before = progress;
        progress += cycles * (slow ? 1 : 2);
        const int64_t new_rows = sweep_at(progress) - sweep_at(before);
        if (new_rows > 0) {
            start_latch = true;
            feed(new_rows);
        }
        if (pulses_at(progress) > pulses_at(before)) encoder_latch = true;
    }

    void feed(int64_t rows) {
        const size_t room = paper_roll_rows - paper.rows.size();
        if (static_cast<size_t>(rows) > room) paper.ran_out = true;
        paper.rows.resize(paper.rows.size() + std::min(room, static_cast<size_t>(rows)), PaperRow{});
    }

    // The dot under the stylus, at the encoder's last pulse.
    void burn() {
        const int64_t x = dot_at(progress);
        if (x < 0 || x >= paper_dots || paper.rows.empty()) return;
        paper.rows.back()[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
};

}  // namespace

std::unique_ptr<Device> make_zx_printer() {
    return std::make_unique<ZxPrinter>();
}

PrinterPaper* printer_paper(Zx81& machine) {
    for (const auto& device : machine.devices)
        if (auto* printer = dynamic_cast<ZxPrinter*>(device.get())) return &printer->paper;
    return nullptr;
}

bool page_finished(const PrinterPaper& paper, int64_t now) {
    return !paper.rows.empty() && !paper.motor_running &&
           now - paper.motor_stopped_at >= static_cast<int64_t>(processor_clock);
}
