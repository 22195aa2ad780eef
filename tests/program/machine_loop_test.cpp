// The periodic handler's rules, run headless: a memory bitmap stands in for
// the screen, the test sets the host key and mouse state, and the timer is a
// counter the test fills.
#include <gtest/gtest.h>

#include <allegro.h>

#include <cerrno>

#include "display.h"
#include "machine_loop.h"
#include "memory_bus.h"
#include "z80.h"

namespace {

class Handler : public ::testing::Test {
protected:
    BITMAP* fake_screen = nullptr;

    void SetUp() override {
        static bool started = false;
        if (!started) {
            install_allegro(SYSTEM_NONE, &errno, atexit);
            started = true;
        }
        set_color_depth(16);
        true_colour = 1;
        use_screen(297, 208, 0);
        if (!picture) picture = create_bitmap(256, 192);
        ink = 0;
        paper = 7;
        setup_colours();
        load_rom(std::string(ORLIX_SHARED_DIR) + "/roms/zx81.rom");
        build_glyphs();
        for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
        mouse_b = 0;
        mouse_x = 10;
        mouse_y = 10;
        frame_parity = 1;  // the next call draws no frame unless a test wants one
        fkey_latch = 0;
        quit_requested = false;
        cpu = Z80State{};
        cpu.period_cycles = 32000;
        z80_reset(&cpu);
    }

    void TearDown() override {
        screen = nullptr;
        if (fake_screen) destroy_bitmap(fake_screen);
        fake_screen = nullptr;
    }

    void use_screen(int w, int h, int mode) {
        if (fake_screen) destroy_bitmap(fake_screen);
        fake_screen = create_bitmap(w, h);
        clear_to_color(fake_screen, 0);
        screen = fake_screen;
        screen_mode = mode;
    }

    // One call without a frame (the odd calls).
    uint16_t call() {
        frame_parity = 1;
        return machine_loop(&cpu);
    }
};

TEST_F(Handler, AltF4StopsBeforeAnyOtherKeyIsLookedAt) {
    for (int k : {KEY_ALT, KEY_F4, KEY_F5, KEY_F6}) key[k] = 1;
    mem_write(0x5000, 0x12);
    EXPECT_EQ(call(), IRQ_STOP);
    EXPECT_EQ(memory[0x5000], 0x12);  // no reset
    EXPECT_EQ(ink, 0);                // no ink change
}

TEST_F(Handler, CloseRequestStops) {
    quit_requested = true;
    EXPECT_EQ(call(), IRQ_STOP);
}

TEST_F(Handler, HeldF6ChangesTheInkOnceAndReleaseReArms) {
    key[KEY_F6] = 1;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(call(), IRQ_NONE);
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
    EXPECT_EQ(getpixel(screen, 0, 0), colours[8]);
    EXPECT_EQ(getpixel(screen, 100, 205), colours[8]);
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
    use_screen(320, 240, 2);
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

TEST_F(Handler, ResetKeepsModeAndColoursAndRestoresTheRomCopy) {
    ink = 3;
    paper = 5;
    mem_write(0x2000, static_cast<uint8_t>(~memory[0]));
    mem_write(0x6000, 0x00);
    cpu.PC.w = 0x1234;
    key[KEY_F5] = 1;
    EXPECT_EQ(call(), IRQ_NONE);
    EXPECT_EQ(memory[0x2000], memory[0x0000]);
    EXPECT_EQ(memory[0x6000], 0xFF);
    EXPECT_EQ(cpu.PC.w, 0);
    EXPECT_EQ(cpu.SP.w, 0xF000);
    EXPECT_EQ(ink, 3);
    EXPECT_EQ(paper, 5);
    EXPECT_EQ(screen_mode, 0);
}

TEST_F(Handler, AFrameEverySecondCallAndPiledUpTicksAreDropped) {
    frame_parity = 0;
    timer_ticks = 100;  // as after a long help box
    const uint64_t frames = frames_drawn.load();
    machine_loop(&cpu);
    EXPECT_EQ(frames_drawn.load(), frames + 1);
    EXPECT_EQ(timer_ticks.load(), 0);
    EXPECT_EQ(frame_parity, 1);
    machine_loop(&cpu);  // no frame, so no wait for a tick either
    EXPECT_EQ(frames_drawn.load(), frames + 1);
    EXPECT_EQ(frame_parity, 0);
    timer_tick();
    machine_loop(&cpu);
    EXPECT_EQ(frames_drawn.load(), frames + 2);
}

TEST_F(Handler, CyclesOfEachPeriodAreCounted) {
    const uint64_t before = cycles_run.load();
    cpu.cycles_left = -8;  // the overshoot of the period's last instruction
    call();
    EXPECT_EQ(cycles_run.load(), before + 32008);
}

}  // namespace
