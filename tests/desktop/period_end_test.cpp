// What happens between two periods, run headless: a memory bitmap stands in
// for the screen, the test sets the host key and mouse state, and the timer
// is a counter the test fills.
#include <gtest/gtest.h>

#include "zx81_harness.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host_keys.h"
#include "actions.h"
#include "allegro_glue.h"
#include "offscreen.h"
#include "overlays.h"
#include "title.h"
#include "pacing.h"
#include "period_end.h"
#include "presenter.h"
#include "screen_modes.h"

namespace {

using Titles = MachineTest;

class Handler : public ::testing::Test, public TestMachine {
protected:
    Desktop desktop;
    int& ink = desktop.ink;
    int& paper = desktop.paper;

    void SetUp() override {
        offscreen::start(zx81);
        offscreen::use_depth(desktop, 16);
        offscreen::use_screen(desktop, 0);
        mouse_b = 0;
        mouse_x = 10;
        mouse_y = 10;
        desktop.frame_parity = 1;  // the next call draws no frame unless a test wants one
        start_input_events();
        forget_key_events();
        clear_quit_request();
    }

    // Keys and clicks as Allegro's input thread reports them.
    static void key_down(int code) { keyboard_lowlevel_callback(code); }
    static void key_up(int code) { keyboard_lowlevel_callback(code | 0x80); }
    static void tap(int code) {
        key_down(code);
        key_up(code);
    }
    static void click(int x, int y) {
        mouse_x = x;
        mouse_y = y;
        mouse_callback(MOUSE_FLAG_LEFT_DOWN);
        mouse_callback(MOUSE_FLAG_LEFT_UP);
    }

    void TearDown() override {
        offscreen::drop_screen();
        destroy_bitmap(desktop.picture);
    }

    // One end of period without a frame (the odd ones), its tick come.
    Step call() {
        timer_tick(desktop.pacing);
        desktop.frame_parity = 1;
        return end_of_period(desktop, zx81);
    }
};

TEST_F(Handler, AltF4StopsBeforeAnyOtherKeyIsLookedAt) {
    key[KEY_ALT] = 1;
    for (int k : {KEY_F4, KEY_F5, KEY_F6}) tap(k);
    poke(zx81, 0x5000, 0x12);
    EXPECT_EQ(call(), Step::stop);
    key[KEY_ALT] = 0;
    EXPECT_EQ(zx81.memory[0x5000], 0x12);  // no reset
    EXPECT_EQ(ink, 0);                // no ink change
}

TEST_F(Handler, CloseRequestStops) {
    request_quit();
    EXPECT_EQ(call(), Step::stop);
}

// A key held (the keyboard repeating it, after its delay) acts once; every
// tap acts, however short, and taps within one period each act.
TEST_F(Handler, EachPressOfF6ActsOnce) {
    key_down(KEY_F6);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    for (int i = 0; i < 3; ++i) key_down(KEY_F6);  // repeats
    for (int i = 0; i < 5; ++i) EXPECT_EQ(call(), Step::go_on);
    EXPECT_EQ(ink, 1);
    key_up(KEY_F6);
    tap(KEY_F6);
    tap(KEY_F6);
    call();
    call();
    EXPECT_EQ(ink, 3);
}

// Ink and paper never take colours that look the same: from the default
// black on grey, the paper skips bright black, and the ink goes round the
// fifteen others.
TEST_F(Handler, ColoursSkipTheOnesThatLookLikeTheOther) {
    tap(KEY_F7);
    call();
    EXPECT_EQ(paper, 9);
    EXPECT_EQ(getpixel(screen, 0, 0), desktop.colours[9]);  // the borders follow at once
    EXPECT_EQ(getpixel(screen, 100, 205), desktop.colours[9]);
    std::vector<int> inks;
    for (int i = 0; i < 15; ++i) {
        tap(KEY_F6);
        call();
        inks.push_back(ink);
    }
    EXPECT_EQ(inks, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 0}));
}

TEST_F(Handler, OneClickOnTheColourButtonIsOneStep) {
    click(297 - 20, 127);  // left half of the colour button: ink
    for (int i = 0; i < 3; ++i) call();
    EXPECT_EQ(ink, 1);
    click(297 - 5, 127);  // right half: paper
    call();
    EXPECT_EQ(paper, 8);
}

TEST_F(Handler, ToolbarRegionsActAtTheRightEdgeInFullScreen) {
    offscreen::use_screen(desktop, 2);
    click(315, 120);
    call();
    EXPECT_EQ(paper, 9);
    click(296, 120);  // x must be above W - 24 = 296: this is just outside
    call();
    EXPECT_EQ(paper, 9);
    EXPECT_EQ(ink, 0);
}

// Two taps of A between two periods reach the machine's key feeder as two
// presses and releases, in order: the first shown at once, the rest waiting
// until the ZX81 has taken it.
TEST_F(Handler, TapsShorterThanAPeriodAllReachTheZx81) {
    clear_key_feeder(zx81.key_feeder, zx81.keys);
    poke(zx81, sysvar::debounce, 0);  // the ROM ready for a key
    tap(KEY_A);
    tap(KEY_A);
    call();
    EXPECT_FALSE(zx81.keys[zx_key::a.row] & (1 << zx_key::a.bit)) << "the first press shown";
    ASSERT_EQ(zx81.key_feeder.waiting.size(), 3u);
    const bool downs[] = {false, true, false};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(zx81.key_feeder.waiting[i].key.row, zx_key::a.row);
        EXPECT_EQ(zx81.key_feeder.waiting[i].key.bit, zx_key::a.bit);
        EXPECT_EQ(zx81.key_feeder.waiting[i].down, downs[i]);
    }
    clear_key_feeder(zx81.key_feeder, zx81.keys);
}

TEST_F(Handler, F9AsksForTheOtherModelOncePerPressAtAFrameBoundary) {
    // An end of period that draws a frame (the timer has ticked).
    const auto with_frame = [this] {
        timer_tick(desktop.pacing);
        desktop.frame_parity = 0;
        end_of_period(desktop, zx81);
    };
    key_down(KEY_F9);
    call();  // a period without a frame: the request waits
    EXPECT_EQ(zx81.requested_model, Model::simple);
    with_frame();  // the next period is the other model's
    EXPECT_EQ(zx81.requested_model, Model::hardware);
    call();  // held: once per press
    with_frame();
    EXPECT_EQ(zx81.requested_model, Model::hardware);
    key_up(KEY_F9);
    call();
    key_down(KEY_F9);
    with_frame();
    EXPECT_EQ(zx81.requested_model, Model::simple);
    key_up(KEY_F9);
}

TEST_F(Titles, OnlyTheHardwareModelIsNamed) {
    EXPECT_EQ(title_for(Model::simple), "Orlix V.0.3");
    EXPECT_EQ(title_for(Model::hardware), "Orlix V.0.3 - hardware model");
    const std::string hardware_help = help_text_for(Model::hardware);
    EXPECT_EQ(hardware_help.substr(0, help_text.size()), help_text);
    EXPECT_NE(hardware_help.find("Running the hardware model."), std::string::npos);
    EXPECT_NE(help_text_for(Model::simple).find("Running the simple model."), std::string::npos);
}

TEST_F(Handler, ResetKeepsModeAndColoursAndRestoresTheRomCopy) {
    ink = 3;
    paper = 5;
    poke(zx81, 0x2000, static_cast<uint8_t>(~zx81.memory[0]));
    poke(zx81, 0x6000, 0x00);
    zx81.cpu.PC.w = 0x1234;
    tap(KEY_F5);
    EXPECT_EQ(call(), Step::go_on);
    EXPECT_EQ(zx81.memory[0x2000], zx81.memory[0x0000]);
    EXPECT_EQ(zx81.memory[0x6000], 0xFF);
    EXPECT_EQ(zx81.cpu.PC.w, 0);
    EXPECT_EQ(zx81.cpu.SP.w, 0xF000);
    EXPECT_EQ(ink, 3);
    EXPECT_EQ(paper, 5);
    EXPECT_TRUE(desktop.view == View{});
}

TEST_F(Handler, EveryPeriodWaitsForATickAndPiledUpTicksAreDropped) {
    desktop.frame_parity = 0;
    desktop.pacing.ticks = 100;  // as after a long help box
    const uint64_t frames = desktop.frames_drawn;
    end_of_period(desktop, zx81);
    EXPECT_EQ(desktop.frames_drawn, frames + 1);
    EXPECT_EQ(desktop.pacing.ticks, 0);
    EXPECT_EQ(desktop.frame_parity, 1);
    timer_tick(desktop.pacing);
    end_of_period(desktop, zx81);  // the simple model shows every other period
    EXPECT_EQ(desktop.frames_drawn, frames + 1);
    EXPECT_EQ(desktop.pacing.ticks, 0);
    timer_tick(desktop.pacing);
    end_of_period(desktop, zx81);
    EXPECT_EQ(desktop.frames_drawn, frames + 2);
}

// The hardware model shows each frame its television ends, whatever the
// period; a program that makes none gets a frame every other period.
TEST_F(Handler, TheHardwareModelShowsEveryFrameItEnds) {
    zx81.model = Model::hardware;
    struct Step {
        uint64_t frames_ended;
        bool shown;
    };
    const Step steps[] = {{1, true}, {2, true}, {2, false}, {3, true}, {4, true},
                          {4, false}, {4, true}, {4, false}, {4, true}, {5, true}};
    for (const Step& s : steps) {
        zx81.ula.frames = s.frames_ended;
        const uint64_t before = desktop.frames_drawn;
        timer_tick(desktop.pacing);
        end_of_period(desktop, zx81);
        EXPECT_EQ(desktop.frames_drawn - before, s.shown ? 1u : 0u) << s.frames_ended;
    }
}

}  // namespace
