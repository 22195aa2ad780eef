// The reporters without a window, message wrapping, and the fatal paths.
#include <gtest/gtest.h>

#include "zx81_harness.h"

#include "offscreen.h"
#include "overlays.h"
#include "presenter.h"
#include "program.h"
#include "reporters.h"

namespace {

using HelpText = MachineTest;
using Reporters = MachineTest;

TEST_F(Reporters, WarnWithoutAWindowGoesToStandardError) {
    testing::internal::CaptureStderr();
    warn("line one\nline two");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mensaje: line one\nline two\n");
}

TEST_F(Reporters, FatalErrorExitsWithMinusOne) {
    EXPECT_EXIT(fatal_error("Wrong color depth!"), ::testing::ExitedWithCode(255),
                "Wrong color depth!");
}

TEST_F(Reporters, MissingRomIsFatal) {
    offscreen::start(zx81);
    Desktop desktop;
    Options options;
    options.rom = "/nonexistent/zx81.rom";
    EXPECT_EXIT(machine_init(desktop, zx81, options), ::testing::ExitedWithCode(255),
                "Cannot load zx81.rom!\nPut your ZX81 ROM, zx81.rom, in ~/.local/share/orlix/ or /usr/share/orlix/");
}

TEST_F(Reporters, MissingToolbarWarnsAndGoesOn) {
    offscreen::start(zx81);
    Desktop desktop;
    testing::internal::CaptureStderr();
    load_toolbar(desktop, "/nonexistent/zxtool.pcx");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mensaje: Cannot load toolbar gfx!\n");
    EXPECT_EQ(desktop.toolbar, nullptr);
}

TEST_F(Reporters, MessageLinesKeepEveryLineAndWrapLongOnes) {
    EXPECT_EQ(message_lines("a\n\nb\n", 10), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(message_lines("Orlix - Freeware Sinclair ZX81 Emulator", 20),
              (std::vector<std::string>{"Orlix - Freeware", "Sinclair ZX81", "Emulator"}));
    EXPECT_EQ(message_lines("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    const std::vector<std::string> help = message_lines(help_text, 40);
    EXPECT_EQ(help[0], "Orlix Mini Help");
    EXPECT_EQ(help[6], "F3; Load zx81 file");
    EXPECT_EQ(help[13], "ALT-F4 Exit");
    EXPECT_EQ(help[14], "");
    EXPECT_EQ(help[15], "");
    EXPECT_GT(help.size(), 16u);  // credit lines follow
}

}  // namespace

namespace {

TEST_F(HelpText, StartsWithTheExactTextAndEndsWithCredits) {
    const std::string quoted =
        "Orlix Mini Help\n\nOrlix - Freeware Sinclair ZX81 Emulator\n\nF1: Help\nF2: Save zx81 "
        "File\nF3; Load zx81 file\nF4: Cycle Screen Modes\nF5: Reset\nF6: Cycle Foreground "
        "Color\nF7: Cycle Background Color\nF8: Show Keyboard\n\nALT-F4 Exit\n\n\n";
    ASSERT_GT(help_text.size(), quoted.size());
    EXPECT_EQ(help_text.substr(0, quoted.size()), quoted);
}

}  // namespace
