// The printer's pages: when a page is finished, and where it goes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "printer_pages.h"
#include "run_orlix.h"
#include "temporary_folder.h"
#include "zx81.h"

namespace {

using PrinterPagesTest = TemporaryFolder;

// A page waits for the motor to stand a second (the ROM stops it between
// two LPRINTs for less); at the end of a run whatever is on the paper goes.
TEST_F(PrinterPagesTest, APageIsWrittenOnceTheMotorHasStoodASecond) {
    setenv("XDG_PICTURES_DIR", dir.c_str(), 1);
    const int64_t second = static_cast<int64_t>(processor_clock);
    struct Case {
        const char* what;
        bool running;
        int64_t stood;
        bool all, written;
    } const cases[] = {
        {"running", true, 5 * second, false, false},
        {"stopped a moment", false, second / 2, false, false},
        {"stopped a second", false, second, false, true},
        {"running, at the end", true, 0, true, true},
    };
    for (const Case& c : cases) {
        Zx81 machine;
        MachineOptions options;
        options.printer = true;
        configure(machine, options);
        PrinterPaper& paper = *printer_paper(machine);
        paper.rows.assign(3, PaperRow{});
        paper.rows[1][0] = 0x80;
        paper.motor_running = c.running;
        machine.cycles_run = static_cast<uint64_t>(10 * second);
        paper.motor_stopped_at = 10 * second - c.stood;
        PrinterPages pages;
        const PageWritten page = serve_printer(machine, pages, 0, c.all);
        EXPECT_EQ(!page.path.empty(), c.written) << c.what;
        if (!c.written) continue;
        EXPECT_TRUE(page.problem.empty()) << c.what << page.problem;
        EXPECT_TRUE(paper.rows.empty()) << c.what;
        const Png png = read_png(page.path);
        ASSERT_EQ(png.width, 256) << c.what;
        ASSERT_EQ(png.height, 3) << c.what;
        EXPECT_TRUE(png.dark(0, 1) && !png.dark(1, 1) && !png.dark(0, 0)) << c.what;
        std::filesystem::remove(page.path);
    }
    unsetenv("XDG_PICTURES_DIR");
}

// With a file named, each page is added to what it already holds.
TEST_F(PrinterPagesTest, ANamedFileHoldsEveryPage) {
    Zx81 machine;
    MachineOptions options;
    options.printer = true;
    configure(machine, options);
    PrinterPages pages{(dir / "all.png").string(), {}};
    for (size_t rows : {2u, 5u}) {
        printer_paper(machine)->rows.assign(rows, PaperRow{});
        EXPECT_EQ(serve_printer(machine, pages, 0, true).path, pages.file);
    }
    EXPECT_EQ(read_png(pages.file).height, 7);
}

}  // namespace
