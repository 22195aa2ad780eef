// What happens between two periods, run headless: a memory bitmap stands in
// for the screen, the test sets the host key and mouse state, and the timer
// is a counter the test fills.
#include <gtest/gtest.h>

#include "offscreen.h"
#include "overlays.h"
#include "pacing.h"
#include "period_end.h"
#include "presenter.h"
#include "screen_modes.h"

namespace {

class Handler : public ::testing::Test {
protected:
    Desktop desktop;
    int& ink = desktop.ink;
    int& paper = desktop.paper;

    void SetUp() override {
        offscreen::start();
        offscreen::use_depth(desktop, 16);
        offscreen::use_screen(desktop, 0);
        mouse_b = 0;
        mouse_x = 10;
        mouse_y = 10;
        desktop.frame_parity = 1;  // the next call draws no frame unless a test wants one
        desktop.fkey_latch = 0;
        clear_quit_request();
    }

    void TearDown() override {
        offscreen::drop_screen();
        destroy_bitmap(desktop.picture);
    }

    // One end of period without a frame (the odd ones), its tick come.
    Step call() {
        timer_tick();
        desktop.frame_parity = 1;
        return end_of_period(desktop, zx81);
    }
};

TEST_F(Handler, AltF4StopsBeforeAnyOtherKeyIsLookedAt) {
    for (int k : {KEY_ALT, KEY_F4, KEY_F5, KEY_F6}) key[k] = 1;
    poke(zx81, 0x5000, 0x12);
    EXPECT_EQ(call(), Step::stop);
    EXPECT_EQ(zx81.memory[0x5000], 0x12);  // no reset
    EXPECT_EQ(ink, 0);                // no ink change
}

TEST_F(Handler, CloseRequestStops) {
    request_quit();
    EXPECT_EQ(call(), Step::stop);
}

TEST_F(Handler, HeldF6ChangesTheInkOnceAndReleaseReArms) {
    key[KEY_F6] = 1;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(call(), Step::go_on);
    EXPECT_EQ(ink, 1);
    key[KEY_F6] = 0;
    call();
    key[KEY_F6] = 1;
    call();
    EXPECT_EQ(ink, 2);
}

TEST_F(Handler, SixteenInkPressesComeBackToBlack) {
    for (int i = 0; i < 16; ++i) {
        key[KEY_F6] = 1;
        call();
        key[KEY_F6] = 0;
        call();
    }
    EXPECT_EQ(ink, 0);
}

TEST_F(Handler, PaperGoesToBrightBlackAndTheBordersFollowAtOnce) {
    key[KEY_F7] = 1;
    call();
    EXPECT_EQ(paper, 8);
    EXPECT_EQ(getpixel(screen, 0, 0), desktop.colours[8]);
    EXPECT_EQ(getpixel(screen, 100, 205), desktop.colours[8]);
}

TEST_F(Handler, F6AndF7TogetherChangeOnlyTheInk) {
    key[KEY_F6] = 1;
    key[KEY_F7] = 1;
    call();
    call();
    EXPECT_EQ(ink, 1);
    EXPECT_EQ(paper, 7);
}

TEST_F(Handler, HeldButtonOverInkRepeatsEveryCall) {
    mouse_b = 1;
    mouse_x = 297 - 20;  // left half of the colour button
    mouse_y = 127;
    call();
    call();
    call();
    EXPECT_EQ(ink, 3);
    mouse_x = 297 - 5;  // right half: paper
    call();
    EXPECT_EQ(paper, 8);
}

TEST_F(Handler, ToolbarRegionsActAtTheRightEdgeInFullScreen) {
    offscreen::use_screen(desktop, 2);
    mouse_b = 1;
    mouse_x = 315;
    mouse_y = 120;
    call();
    EXPECT_EQ(paper, 8);
    mouse_x = 296;  // x must be above W - 24 = 296: this is just outside
    call();
    EXPECT_EQ(paper, 8);
    EXPECT_EQ(ink, 0);
}

TEST_F(Handler, F9AsksForTheOtherModelOncePerPressAtAFrameBoundary) {
    // An end of period that draws a frame (the timer has ticked).
    const auto with_frame = [this] {
        timer_tick();
        desktop.frame_parity = 0;
        end_of_period(desktop, zx81);
    };
    key[KEY_F9] = 1;
    call();  // a period without a frame: the request waits
    EXPECT_EQ(zx81.requested_model, Model::simple);
    with_frame();  // the next period is the other model's
    EXPECT_EQ(zx81.requested_model, Model::hardware);
    call();  // held: once per press
    with_frame();
    EXPECT_EQ(zx81.requested_model, Model::hardware);
    key[KEY_F9] = 0;
    call();
    key[KEY_F9] = 1;
    with_frame();
    EXPECT_EQ(zx81.requested_model, Model::simple);
}

TEST(Titles, OnlyTheHardwareModelIsNamed) {
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
    key[KEY_F5] = 1;
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
    timer_ticks = 100;  // as after a long help box
    const uint64_t frames = desktop.frames_drawn.load();
    end_of_period(desktop, zx81);
    EXPECT_EQ(desktop.frames_drawn.load(), frames + 1);
    EXPECT_EQ(timer_ticks.load(), 0);
    EXPECT_EQ(desktop.frame_parity, 1);
    timer_tick();
    end_of_period(desktop, zx81);  // the simple model shows every other period
    EXPECT_EQ(desktop.frames_drawn.load(), frames + 1);
    EXPECT_EQ(timer_ticks.load(), 0);
    timer_tick();
    end_of_period(desktop, zx81);
    EXPECT_EQ(desktop.frames_drawn.load(), frames + 2);
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
        const uint64_t before = desktop.frames_drawn.load();
        timer_tick();
        end_of_period(desktop, zx81);
        EXPECT_EQ(desktop.frames_drawn.load() - before, s.shown ? 1u : 0u) << s.frames_ended;
    }
}

}  // namespace
