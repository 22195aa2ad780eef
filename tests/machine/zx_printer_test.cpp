// The ZX Printer driven by the real ROM's LPRINT and COPY: the rows of dots
// on its paper against the ROM's own character patterns.
#include <gtest/gtest.h>

#include "ports.h"
#include "zx81_harness.h"
#include "zx_printer.h"

namespace {

constexpr uint16_t rom_patterns = 0x1E00;
constexpr uint8_t code_a = 0x26, inverse = 0x80;

class ZxPrinter : public MachineTest, public ::testing::WithParamInterface<Model> {
protected:
    void start(bool printer) {
        MachineOptions options;
        options.model = GetParam();
        options.printer = printer;
        configure(zx81, options);
        power_up(zx81, harness::rom());
        boot();
    }

    // The eight dots of character column `column` on row `row` of the paper.
    uint8_t cell(int column, int row) {
        return printer_paper(zx81)->rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
    }

    uint8_t pattern(uint8_t code, int row) {
        const uint8_t dots = zx81.memory[rom_patterns + (code & 0x3F) * 8 + row];
        return code & inverse ? static_cast<uint8_t>(~dots) : dots;
    }

    // The display file's character at (column, line), as COPY reads it.
    void put_on_screen(int column, int line, uint8_t code) {
        const uint16_t d_file = static_cast<uint16_t>(peek(zx81, sysvar::d_file) | peek(zx81, sysvar::d_file + 1) << 8);
        poke(zx81, static_cast<uint16_t>(d_file + 1 + line * 33 + column), code);
    }
};

// LPRINT "A": one line of eight rows, the ROM's A at the left and nothing
// after it; the paper feeds no row more.
TEST_P(ZxPrinter, LprintPrintsTheRomsPatternInEightRows) {
    start(true);
    press({zx_key::shift, zx_key::s});  // LPRINT
    press({zx_key::shift, zx_key::p});
    type({zx_key::a});
    press({zx_key::shift, zx_key::p});
    type({zx_key::newline});
    run_periods(200);
    const PrinterPaper& paper = *printer_paper(zx81);
    ASSERT_EQ(paper.rows.size(), 8u);
    EXPECT_FALSE(paper.motor_running);
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(cell(0, row), pattern(code_a, row)) << "row " << row;
        for (int column = 1; column < 32; ++column) EXPECT_EQ(cell(column, row), 0) << row << "," << column;
    }
}

// COPY: the 22 lines above the editing lines, 176 rows, inverse characters
// inverted, the last column at the paper's right edge.
TEST_P(ZxPrinter, CopyPrintsTwentyTwoLines) {
    start(true);
    put_on_screen(0, 0, code_a | inverse);
    put_on_screen(31, 21, code_a);
    type({zx_key::z, zx_key::newline});  // COPY
    run_periods(1200);
    ASSERT_EQ(printer_paper(zx81)->rows.size(), 176u);
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(cell(0, row), pattern(code_a | inverse, row)) << "row " << row;
        EXPECT_EQ(cell(31, 168 + row), pattern(code_a, row)) << "row " << row;
    }
}

// Without a printer the port reads $FF and COPY returns at once: the ROM's
// report (0/0) is back within a second.
TEST_P(ZxPrinter, NoPrinterCopyReturnsAtOnce) {
    start(false);
    EXPECT_EQ(printer_paper(zx81), nullptr);
    EXPECT_EQ(port_read(zx81, 0xFB, 0), 0xFF);
    type({zx_key::z, zx_key::newline});
    run_periods(100);
    EXPECT_EQ(screen_code(0, 23), 0x1C) << screen_dump();  // "0/0"
}

// The printer answers on A2 low with bit 6 low ("here") and bits 1-5 high;
// other ports are left to the rest of the machine.
TEST_P(ZxPrinter, PortBits) {
    start(true);
    EXPECT_EQ(port_read(zx81, 0xFB, 0) & 0x7E, 0x3E);
    EXPECT_EQ(port_read(zx81, 0xFF, 0), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(BothModels, ZxPrinter, ::testing::Values(Model::simple, Model::hardware),
                         [](const auto& info) { return std::string(model_name(info.param)); });

}  // namespace
