#!/usr/bin/env python3
"""Drives the real Orlix program in its own Xvfb server with xdotool and
checks what it shows through screenshots read back to pixels."""
import os
import random
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM = sys.argv.pop(1)
PICTURES = sys.argv.pop(1)
SHARED = sys.argv.pop(1)
ROM = os.path.join(SHARED, "roms", "zx81.rom")
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
with open(ROM, "rb") as f:
    ROM_BYTES = f.read()

PAPER = (210, 210, 210)
FACE = (224, 224, 224)  # the message box
INK = (0, 0, 0)


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


class Screen:
    """A screenshot of one window (or a picture file) as rows of RGB tuples."""

    def __init__(self, wid, display, path=None):
        command = ["convert", path, "-depth", "8", "ppm:-"] if path else \
            ["import", "-window", wid, "-depth", "8", "ppm:-"]
        ppm = subprocess.run(command, capture_output=True, env=display).stdout
        # Binary PPM: P6, width, height, maxval, then the pixels.
        fields = []
        i = 0
        while len(fields) < 4:
            while ppm[i:i + 1].isspace():
                i += 1
            j = i
            while not ppm[j:j + 1].isspace():
                j += 1
            fields.append(ppm[i:j])
            i = j
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[i + 1:]

    def pixel(self, x, y):
        o = 3 * (y * self.width + x)
        return tuple(self.data[o:o + 3])


class Orlix:
    def __init__(self, workdir, display, program=PROGRAM, args=(), env=None):
        # Settings of its own, so that one test's colours and modes do not
        # carry over into the next (or into the user's).
        config = os.path.join(workdir, ".config")
        # And instance numbers of its own: an Orlix the user runs meanwhile
        # does not make the test's the second.
        runtime = os.path.join(workdir, ".run")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime, **(env or {}))
        self.proc = subprocess.Popen([program, *args], cwd=workdir, env=self.env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def xdo(self, *args):
        return run("xdotool", *args, env=self.env).stdout.strip()

    def window(self, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            ids = self.xdo("search", "--onlyvisible", "--name", "Orlix").split()
            if ids:
                return ids[-1]
            time.sleep(0.1)
        state = self.proc.poll()
        detail = "" if state is None else " (program exited with %d: %s)" % (
            state, self.proc.stderr.read().decode(errors="replace"))
        raise AssertionError("no Orlix window" + detail)

    def geometry(self, wid):
        out = run("xwininfo", "-id", wid, env=self.env).stdout
        w = int(out.split("Width:")[1].split()[0])
        h = int(out.split("Height:")[1].split()[0])
        return w, h

    def focus(self):
        wid = self.window()
        self.xdo("windowfocus", "--sync", wid)
        self.xdo("mousemove", "--window", wid, "60", "60")
        return wid

    def key(self, *keys, hold=0.15):
        for k in keys:
            self.xdo("keydown", k)
            time.sleep(hold)
            self.xdo("keyup", k)
            time.sleep(hold)

    def click(self, x, y, hold=0.06):
        wid = self.window()
        self.xdo("mousemove", "--window", wid, str(x), str(y))
        time.sleep(0.1)
        self.xdo("mousedown", "1")
        time.sleep(hold)
        self.xdo("mouseup", "1")
        time.sleep(0.3)

    def shot(self):
        return Screen(self.window(), self.env)

    def stop(self):
        self.focus()
        self.xdo("keydown", "alt")
        self.xdo("keydown", "F4")
        time.sleep(0.3)
        self.xdo("keyup", "F4")
        self.xdo("keyup", "alt")
        return self.proc.wait(timeout=10)


def near(a, b):
    """Colours equal but for the rounding of 6-bit palette components, or of
    5-bit ones at 15 bits a pixel."""
    return all(abs(x - y) <= 6 for x, y in zip(a, b))


def box_shown(screen):
    """A message box covers a good part of the window in its face colour."""
    count = 0
    for y in range(0, screen.height, 2):
        for x in range(0, screen.width, 2):
            if near(screen.pixel(x, y), FACE):
                count += 1
    return count > 500


def note_shown(screen):
    """White text at the foot of the screen: a note over the picture."""
    return any(screen.pixel(x, y) == (255, 255, 255)
               for y in range(screen.height - 40, screen.height, 2) for x in range(0, screen.width, 2))


def glyph_matches(screen, x0, y0, code, scale=1, ink=INK, paper=PAPER):
    base = code & 0x3F
    inverse = bool(code & 0x80)
    for y in range(8):
        row = ROM_BYTES[0x1E00 + 8 * base + y]
        for x in range(8):
            lit = bool(row & (0x80 >> x)) != inverse
            want = ink if lit else paper
            for dy in range(scale):
                for dx in range(scale):
                    got = screen.pixel(x0 + scale * x + dx, y0 + scale * y + dy)
                    if not near(got, want):
                        return False
    return True


def program_file_size(path):
    """The length of a program file, checked against the E_LINE it holds: a
    ZX81 program file runs from 0x4009 up to E_LINE."""
    with open(path, "rb") as f:
        data = f.read()
    e_line = data[0x4014 - 0x4009] + 256 * data[0x4015 - 0x4009]
    assert len(data) == e_line - 0x4009, (len(data), hex(e_line))
    return len(data)


class WindowTest(unittest.TestCase):
    @staticmethod
    def start_xvfb(size):
        """An X server of its own: Xvfb picks a free display number and
        writes it to the pipe."""
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                 size + "x24", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        return xvfb, ":" + number

    @classmethod
    def setUpClass(cls):
        cls.xvfb, cls.display = cls.start_xvfb("1024x768")

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.terminate()
        cls.xvfb.wait()

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="orlix-window-")
        shutil.copy(ROM, self.dir)
        for name in ("zxtool.pcx", "zx81key.pcx"):
            shutil.copy(os.path.join(PICTURES, name), self.dir)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def start(self, workdir=None, args=(), boot=2.5):
        # The tests' pixel positions are mode 0's: a first start (no settings
        # yet) opens larger unless told.
        settings = os.path.join(workdir or self.dir, ".config", "orlix", "orlix.conf")
        if not os.path.exists(settings) and not any(a.split("=")[0] in ("--mode", "--scale") for a in args):
            args = ["--mode", "0", *args]
        app = Orlix(workdir or self.dir, self.display, args=args)
        self.addCleanup(lambda: app.proc.poll() is None and app.proc.kill())
        app.focus()
        time.sleep(boot)  # the ROM needs about 1.5 emulated seconds to boot
        return app

    def print_two_plus_two(self, app, wait):
        """Types PRINT 2+2 and sees 4 at the top left and 0/0 at the bottom."""
        app.key("p", "2", "shift+k", "2", "Return")
        time.sleep(wait)
        s = app.shot()
        self.assertTrue(glyph_matches(s, 7, 7, 0x20), "4 at the top left")
        for i, code in enumerate((0x1C, 0x18, 0x1C)):
            self.assertTrue(glyph_matches(s, 7 + 8 * i, 7 + 23 * 8, code), "0/0 at the bottom")

    def title(self, app):
        return run("xdotool", "getwindowname", app.window(), env=app.env).stdout.strip()

    def settled_title(self, app, pattern, timeout=2.0):
        """The title once it matches `pattern` (the window takes it at the
        end of a period, a moment after what changed it), or as it stands
        when the time is up."""
        end = time.time() + timeout
        title = self.title(app)
        while not re.search(pattern, title) and time.time() < end:
            time.sleep(0.05)
            title = self.title(app)
        return title

    def test_boot_screen_typing_modes_and_exit(self):
        app = self.start()
        wid = app.window()
        self.assertEqual(run("xdotool", "getwindowname", wid, env=app.env).stdout.strip(), "Orlix V.0.3")
        self.assertEqual(app.geometry(wid), (297, 208))
        hints = run("xprop", "-id", wid, "WM_HINTS", env=app.env).stdout
        self.assertIn("bitmap id # to use for icon", hints)
        s = app.shot()
        self.assertTrue(near(s.pixel(0, 0), PAPER))
        self.assertTrue(near(s.pixel(3, 100), PAPER))
        self.assertTrue(glyph_matches(s, 7, 7 + 23 * 8, 0xB0), "inverse K at the bottom left")
        self.assertEqual(s.pixel(272, 0), (0, 0, 0))       # toolbar strip
        self.assertNotEqual(s.pixel(284, 17), (0, 0, 0))   # reset button

        self.print_two_plus_two(app, wait=0.5)

        app.key("F4")
        time.sleep(1)
        wid = app.window()
        self.assertEqual(app.geometry(wid), (553, 400))
        time.sleep(0.3)
        s = app.shot()
        self.assertTrue(glyph_matches(s, 8, 8, 0x20, scale=2), "picture doubled")
        app.key("F4")
        time.sleep(1)
        # Xvfb has no 320x240 mode: full screen takes its 1024x768, the whole
        # television picture three times its size, centred.
        s = Screen("root", app.env)
        self.assertTrue(glyph_matches(s, 32 + 3 * 32, 24 + 3 * 24, 0x20, scale=3), "picture tripled, centred")
        self.assertTrue(near(s.pixel(10, 10), PAPER), "paper around it")
        app.key("F4")  # three times mode 0's window fits the 1024x768 screen
        time.sleep(1)
        self.assertEqual(app.geometry(app.window()), (891, 624))
        time.sleep(0.3)
        self.assertTrue(glyph_matches(app.shot(), 21, 21, 0x20, scale=3), "picture tripled")
        app.key("F4")  # four times does not: back to mode 0
        time.sleep(1)
        self.assertEqual(app.geometry(app.window()), (297, 208))
        self.assertEqual(app.stop(), 0)

    def test_hardware_model(self):
        # In SLOW mode the ROM takes nearly three emulated seconds to start.
        app = self.start(args=["--model=hardware"], boot=4)
        self.assertEqual(self.title(app), "Orlix V.0.3 - hardware model")
        self.assertTrue(glyph_matches(app.shot(), 7, 7 + 23 * 8, 0xB0), "inverse K at the bottom left")
        self.print_two_plus_two(app, wait=2)  # SLOW mode takes its time
        app.key("F9")  # to the simple model: its title is the usual one
        time.sleep(0.5)
        self.assertEqual(self.title(app), "Orlix V.0.3")
        app.key("p", "2", "Return")
        time.sleep(1)
        self.assertTrue(glyph_matches(app.shot(), 7, 7, 0x1E), "the keyboard still works: 2")
        self.assertEqual(app.stop(), 0)

    def test_ink_paper_help_and_keyboard_picture(self):
        app = self.start()
        app.key("F7")  # paper 7 -> 9, bright blue: 8 is black, as the ink
        time.sleep(0.3)
        s = app.shot()
        self.assertEqual(s.pixel(0, 0), (0, 0, 255))
        self.assertEqual(s.pixel(100, 203), (0, 0, 255))
        app.key("F6")  # ink 1, blue
        time.sleep(0.3)
        s = app.shot()
        self.assertEqual(s.pixel(0, 0), (0, 0, 255))
        self.assertTrue(glyph_matches(s, 7, 7 + 23 * 8, 0xB0, ink=(0, 0, 210), paper=(0, 0, 255)))

        app.key("F1")
        time.sleep(0.5)
        s = app.shot()
        self.assertTrue(box_shown(s), "help box")
        # The help is longer than the window: Return shows the next page,
        # and after the last closes the box.
        pages = 1
        while pages < 6:
            app.key("Return")
            time.sleep(0.5)
            if not box_shown(app.shot()):
                break
            pages += 1
        self.assertGreater(pages, 1, "more than one page")
        self.assertFalse(box_shown(app.shot()), "help box closed after %d pages" % pages)

        app.key("F8")
        time.sleep(0.5)
        s = app.shot()
        self.assertNotEqual(s.pixel(0, 0), (0, 0, 255), "keyboard picture shown")
        time.sleep(0.5)
        self.assertNotEqual(app.shot().pixel(0, 0), (0, 0, 255), "still shown, no key yet")
        app.key("space")
        time.sleep(0.5)
        self.assertEqual(app.shot().pixel(0, 0), (0, 0, 255), "back to the emulator")
        self.assertEqual(app.stop(), 0)

    def test_save_reset_load_and_list(self):
        app = self.start()
        app.key("1", "0", "p", "2", "shift+k", "2", "Return")
        time.sleep(1)
        app.key("F2")
        time.sleep(0.8)
        app.key("p", "r", "o", "g", "Return", hold=0.08)
        time.sleep(1)
        saved = os.path.join(self.dir, "prog.P")
        self.assertTrue(os.path.exists(saved), os.listdir(self.dir))
        size = program_file_size(saved)
        self.assertLess(size, 1000)
        app.key("F5")
        time.sleep(2.5)
        s = app.shot()
        self.assertTrue(glyph_matches(s, 7, 7 + 23 * 8, 0xB0), "K cursor after reset")
        self.assertFalse(glyph_matches(s, 7 + 16, 7, 0x1D), "listing gone after reset")
        app.key("F2")         # saving over it asks first; No keeps the file
        time.sleep(0.8)
        app.key("Return", hold=0.08)
        time.sleep(0.5)
        app.key("n", hold=0.08)
        time.sleep(0.3)
        app.key("Escape", hold=0.08)
        time.sleep(0.5)
        self.assertEqual(os.path.getsize(saved), size)
        app.key("F3")
        time.sleep(0.8)
        app.key("Return", hold=0.08)  # the last name is offered again
        time.sleep(1.5)
        app.key("k", "Return")  # LIST
        time.sleep(1)
        s = app.shot()
        # "  10 PRINT 2+2": the line number right-aligned in four columns.
        self.assertTrue(glyph_matches(s, 7 + 16, 7, 0x1D), "1 of line 10 listed")
        self.assertTrue(glyph_matches(s, 7 + 24, 7, 0x1C), "0 of line 10 listed")
        self.assertEqual(app.stop(), 0)

        # Named on the command line, from a folder with nothing of Orlix in
        # it: the ROM and the pictures are found beside the program, and the
        # program comes up listed once the ROM shows its K prompt.
        elsewhere = os.path.join(self.dir, "elsewhere")
        os.mkdir(elsewhere)
        app = self.start(workdir=elsewhere, args=[saved])
        s = app.shot()
        self.assertTrue(glyph_matches(s, 7 + 16, 7, 0x1D), "1 of line 10 listed at start")
        self.assertTrue(glyph_matches(s, 7 + 24, 7, 0x1C), "0 of line 10 listed at start")
        self.assertNotEqual(s.pixel(284, 17), (0, 0, 0), "toolbar picture found")
        app.key("F3")  # the dialog offers the program named at start
        time.sleep(0.8)
        app.key("Return", hold=0.08)
        time.sleep(1.5)
        self.assertFalse(box_shown(app.shot()), "loaded again without a message")
        self.assertEqual(app.stop(), 0)

    def test_symbol_keys_and_tape_by_name(self):
        app = self.start()
        # PRINT 1.5,2: the key right of L is the ZX81 ., the host , types ,
        app.key("p", "1", "semicolon", "5", "comma", "2", "Return")
        time.sleep(0.5)
        s = app.shot()
        for i, code in enumerate((0x1D, 0x1B, 0x21)):  # 1.5
            self.assertTrue(glyph_matches(s, 7 + 8 * i, 7, code), "1.5 at the left")
        self.assertTrue(glyph_matches(s, 7 + 8 * 16, 7, 0x1E), "2 in the second print zone")
        # PRINT 1.5+1 and PRINT "A" with the host's . + and " keys (each
        # command prints from the top again).
        app.key("p", "1", "period", "5", "shift+equal", "1", "Return")
        time.sleep(0.5)
        s = app.shot()
        for i, code in enumerate((0x1E, 0x1B, 0x21)):  # 2.5
            self.assertTrue(glyph_matches(s, 7 + 8 * i, 7, code), "2.5")
        app.key("p", "shift+apostrophe", "a", "shift+apostrophe", "Return")
        time.sleep(0.5)
        self.assertTrue(glyph_matches(app.shot(), 7, 7, 0x26), "A")

        # 10 PRINT 42, SAVE "TEST": TEST.P in the working folder, as long as
        # the ZX81 sends it; NEW, LOAD "TEST", LIST brings it back.
        app.key("1", "0", "p", "4", "2", "Return")
        time.sleep(0.5)  # the ROM lists the program
        app.key("s", "shift+p", "t", "e", "s", "t", "shift+p", "Return")
        time.sleep(1)
        saved = os.path.join(self.dir, "TEST.P")
        self.assertTrue(os.path.exists(saved), os.listdir(self.dir))
        self.assertLess(program_file_size(saved), 1000)
        app.key("a", "Return")
        time.sleep(1.5)  # NEW checks the memory as at power-up
        app.key("j", "shift+p", "t", "e", "s", "t", "shift+p", "Return")
        time.sleep(1)
        app.key("k", "Return")
        time.sleep(0.5)
        s = app.shot()
        self.assertTrue(glyph_matches(s, 7 + 16, 7, 0x1D), "1 of line 10 listed")
        self.assertTrue(glyph_matches(s, 7 + 24, 7, 0x1C), "0 of line 10 listed")
        self.assertEqual(app.stop(), 0)

    def test_scale_window_class_picture_key_and_remembered_settings(self):
        app = self.start(args=["--scale", "3"])
        wid = app.window()
        self.assertEqual(app.geometry(wid), (891, 624))
        self.assertIn('"orlix", "Orlix"', run("xprop", "-id", wid, "WM_CLASS", env=app.env).stdout)
        icons = run("xprop", "-id", wid, "_NET_WM_ICON", env=app.env).stdout
        for size in (16, 32, 48, 64):
            self.assertIn("Icon (%d x %d)" % (size, size), icons)
        self.assertTrue(glyph_matches(app.shot(), 21, 21 + 23 * 24, 0xB0, scale=3), "K at three times")
        app.key("F10")
        time.sleep(0.5)
        pictures = [f for f in os.listdir(self.dir) if f.startswith("orlix-") and f.endswith(".png")]
        self.assertEqual(len(pictures), 1, os.listdir(self.dir))
        self.assertIn("saved", self.title(app))
        png = Screen(None, app.env, os.path.join(self.dir, pictures[0]))
        self.assertEqual((png.width, png.height), (816, 624), "the picture area, border included")
        self.assertTrue(glyph_matches(png, 21, 21 + 23 * 24, 0xB0, scale=3), "the K in the PNG")
        app.key("Print")  # the other key for it
        time.sleep(0.5)
        pictures = [f for f in os.listdir(self.dir) if f.startswith("orlix-") and f.endswith(".png")]
        self.assertEqual(len(pictures), 2, "Print Screen: another picture, not the first replaced")
        app.key("F7")  # paper 9, bright blue: remembered for the next run
        time.sleep(0.3)
        self.assertEqual(app.stop(), 0)
        with open(os.path.join(self.dir, ".config", "orlix", "orlix.conf")) as f:
            self.assertIn("paper=9", f.read())
        app = self.start()
        self.assertEqual(app.geometry(app.window()), (297, 208), "the scale was the command line's")
        self.assertEqual(app.shot().pixel(0, 0), (0, 0, 255), "the paper remembered")
        self.assertEqual(app.stop(), 0)

    def test_save_and_load_buttons_take_typing(self):
        app = self.start()
        app.key("1", "0", "p", "7", "Return")
        time.sleep(0.8)
        app.click(284, 62)  # S: the name field has the focus, as with F2
        time.sleep(0.8)
        for k in "clicked":
            app.key(k, hold=0.05)
        app.key("Return", hold=0.08)
        time.sleep(1)
        saved = os.path.join(self.dir, "clicked.P")
        self.assertTrue(os.path.exists(saved), os.listdir(self.dir))
        self.assertIn("saved", self.title(app))  # where it went, for a moment
        self.assertIn("clicked.P", self.title(app))
        app.key("F5")
        time.sleep(2.5)
        app.click(284, 40)  # L: typing there too; the last name is offered
        time.sleep(0.8)
        # The selected rows of the file list and of the filter list are
        # white on black, not black on black.
        s = app.shot()
        for top in (35, 153):
            shades = [s.pixel(x, y)[0] for y in range(top, top + 6) for x in range(6, 60)]
            self.assertGreater(sum(v > 200 for v in shades), 20, "white text in the row at %d" % top)
            self.assertGreater(sum(v < 60 for v in shades), 100, "on black")
        app.key("Return", hold=0.08)
        time.sleep(1.5)
        app.key("k", "Return")  # LIST
        time.sleep(1)
        self.assertTrue(glyph_matches(app.shot(), 7 + 16, 7, 0x1D), "1 of line 10 listed")
        self.assertEqual(app.stop(), 0)

    def test_a_refused_load_keeps_the_save_folder_and_a_reset_shows_paper(self):
        """A file F3 cannot load leaves the folder SAVE "NAME" writes to as
        it was; F5 shows paper, not memory drawn as characters, until the
        ROM has made its display file."""
        os.mkdir(os.path.join(self.dir, "sub"))
        with open(os.path.join(self.dir, "sub", "bad.p"), "wb") as f:
            f.write(b"not a ZX81 program")
        app = self.start()
        app.key("F3")
        time.sleep(0.8)
        for k in "sub/bad.p":
            app.key({"/": "slash", ".": "period"}.get(k, k), hold=0.05)
        app.key("Return", hold=0.08)
        time.sleep(0.8)
        app.key("Return", hold=0.08)  # closes the box that says why
        time.sleep(0.5)
        app.key("s", "shift+p", "k", "shift+p", "Return")  # SAVE "K"
        time.sleep(1.5)
        self.assertTrue(os.path.exists(os.path.join(self.dir, "K.P")), os.listdir(self.dir))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "sub", "K.P")))
        app.key("F5")
        time.sleep(0.05)
        s = app.shot()
        inked = sum(s.pixel(x, y) != s.pixel(0, 0) for y in range(7, 7 + 192, 3) for x in range(7, 7 + 256, 3))
        self.assertEqual(inked, 0, "paper while the ROM starts again")
        self.assertEqual(app.stop(), 0)

    def test_a_second_window_says_which_it_is(self):
        """Two Orlix windows at once: the second's title says (2), each
        window names its process; once the first has gone, a new one is the
        first again."""
        first = self.start()
        second = self.start()

        def titles():
            ids = first.xdo("search", "--onlyvisible", "--name", "Orlix").split()
            return sorted(run("xdotool", "getwindowname", i, env=first.env).stdout.strip() for i in ids)

        self.assertEqual(titles(), ["Orlix V.0.3", "Orlix V.0.3 (2)"])
        # Each window names its process (_NET_WM_PID).
        for app in (first, second):
            found = app.xdo("search", "--onlyvisible", "--pid", str(app.proc.pid)).split()
            self.assertEqual(len(found), 1, "the window of process %d" % app.proc.pid)
        first.proc.send_signal(signal.SIGTERM)
        self.assertEqual(first.proc.wait(timeout=10), 0)
        third = self.start()
        self.assertEqual(titles(), ["Orlix V.0.3", "Orlix V.0.3 (2)"], "the first number came free")
        for app in (second, third):
            app.proc.send_signal(signal.SIGTERM)
            self.assertEqual(app.proc.wait(timeout=10), 0)

    def test_toolbar_buttons(self):
        app = self.start()
        # One click is one step, however long the button is held: paper 7
        # goes to 9 (8 is black, as the ink), then 10.
        app.click(290, 127)
        self.assertEqual(app.shot().pixel(0, 0), (0, 0, 255))
        app.click(290, 127, hold=0.5)
        self.assertEqual(app.shot().pixel(0, 0), (255, 0, 0))
        app.key("p")
        time.sleep(0.3)
        before = app.shot()
        app.click(278, 127)  # ink 1: the PRINT keyword in blue
        self.assertTrue(glyph_matches(app.shot(), 7, 7 + 23 * 8, 0x35, ink=(0, 0, 210), paper=(255, 0, 0)),
                        "P of PRINT in the new ink")
        app.click(284, 105)   # keyboard picture, until a key is pressed
        time.sleep(0.5)
        shown = app.shot()
        self.assertTrue(shown.data != before.data, "keyboard picture")
        # The picture covers the whole window, the toolbar too.
        self.assertNotEqual(shown.pixel(284, 17), before.pixel(284, 17), "keyboard picture")
        app.key("space")
        time.sleep(0.5)
        self.assertEqual(app.shot().pixel(100, 100), before.pixel(100, 100), "picture closed")
        app.key("shift+0")    # rub the keyword out again
        app.click(284, 84)    # screen mode
        time.sleep(1)
        self.assertEqual(app.geometry(app.window()), (553, 400))
        app.click(540, 84)
        time.sleep(1)
        app.key("F4")  # full screen, then a window three times mode 0's
        time.sleep(1)
        self.assertEqual(app.geometry(app.window()), (891, 624))
        app.key("F4")  # four times does not fit the 1024x768 screen: mode 0
        time.sleep(1)
        self.assertEqual(app.geometry(app.window()), (297, 208))
        app.click(284, 150)   # help
        time.sleep(0.5)
        self.assertTrue(box_shown(app.shot()))
        app.key("Escape")
        time.sleep(0.3)
        app.key("p", "Return")
        time.sleep(0.5)
        app.click(284, 17)    # reset
        time.sleep(2.5)
        s = app.shot()
        paper = s.pixel(0, 0)  # ink and paper were changed by the clicks above
        ink = s.pixel(7, 7 + 23 * 8)
        self.assertNotEqual(ink, paper)
        self.assertTrue(glyph_matches(s, 7, 7 + 23 * 8, 0xB0, ink=ink, paper=paper), "K after reset")
        self.assertEqual(app.stop(), 0)

    def test_signals_end_the_program_as_alt_f4_does(self):
        """SIGTERM at random moments, keys held or not, in a box or not: the
        program ends cleanly (status 0, the library shut down by the program,
        not by its signal handler), and the next start always works."""
        rng = random.Random(81)
        keys = ["a", "p", "Return", "space", "shift", "2", "BackSpace"]
        cases = [(signal.SIGTERM, None)] * 20 + [(signal.SIGINT, None), (signal.SIGHUP, None),
                                                  (signal.SIGTERM, "F1"), (signal.SIGTERM, "F2")]
        for n, (sig, box) in enumerate(cases):
            app = Orlix(self.dir, self.display)
            self.addCleanup(lambda app=app: app.proc.poll() is None and app.proc.kill())
            app.focus()  # the start works: its window shows
            if box:
                time.sleep(2)
                app.key(box)
                time.sleep(0.5)
            end = time.time() + rng.uniform(0.0, 1.5)
            while time.time() < end:
                k = rng.choice(keys)
                app.xdo("keydown", k)
                time.sleep(0.02)
                if rng.random() < 0.8:  # some keys are still down at the signal
                    app.xdo("keyup", k)
            app.proc.send_signal(sig)
            err = app.proc.communicate(timeout=10)[1].decode(errors="replace")
            status = app.proc.returncode
            for k in keys:
                app.xdo("keyup", k)
            self.assertEqual(status, 0, "run %d (%s, box %s): %s" % (n, signal.Signals(sig).name, box, err))
            self.assertNotIn("Shutting down Allegro", err)

    def test_a_display_a_moment_late_is_waited_for(self):
        """An X server that is not there yet when the program starts (a
        desktop starting, a server resetting) is tried again for a moment."""
        number = next(n for n in range(150, 250) if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                      and not os.path.exists("/tmp/.X%d-lock" % n))
        app = Orlix(self.dir, ":%d" % number)
        time.sleep(0.5)
        server = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "640x480x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            app.window()
            app.proc.send_signal(signal.SIGTERM)
            self.assertEqual(app.proc.wait(timeout=10), 0)
        finally:
            app.proc.poll() is None and app.proc.kill()
            server.terminate()
            server.wait()

    def pulse(self):
        """A PulseAudio server of the test's own with a null sink, reached
        through ALSA's default device as on a desktop: the environment for
        the program and for recording what it plays."""
        if not shutil.which("pulseaudio") or not shutil.which("parec"):
            self.skipTest("PulseAudio is not installed")
        runtime = os.path.join(self.dir, "pulse")
        os.mkdir(runtime)
        socket = os.path.join(runtime, "native")
        config = os.path.join(runtime, "default.pa")
        with open(config, "w") as f:
            f.write("load-module module-null-sink sink_name=null rate=44100\nset-default-sink null\n"
                    "load-module module-native-protocol-unix socket=%s auth-anonymous=1\n" % socket)
        env = dict(os.environ, HOME=self.dir, PULSE_RUNTIME_PATH=runtime)
        server = subprocess.Popen(["pulseaudio", "-n", "-F", config, "--exit-idle-time=-1", "--daemonize=no",
                                   "--disallow-exit", "--disable-shm"], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (server.terminate(), server.wait()))
        end = time.time() + 10
        while not os.path.exists(socket) and time.time() < end:
            time.sleep(0.1)
        self.assertTrue(os.path.exists(socket), "PulseAudio did not start")
        with open(os.path.join(self.dir, ".asoundrc"), "w") as f:
            f.write("pcm.!default { type pulse }\nctl.!default { type pulse }\n")
        return {"HOME": self.dir, "PULSE_SERVER": "unix:" + socket}

    def record(self, env, seconds):
        """What the null sink plays for a while, as 16-bit samples."""
        rec = subprocess.run(["timeout", str(seconds), "parec", "-d", "null.monitor", "--raw",
                              "--format=s16le", "--channels=1", "--rate=44100"],
                             capture_output=True, env=dict(os.environ, **env))
        data = rec.stdout[:len(rec.stdout) // 2 * 2]
        return struct.unpack("<%dh" % (len(data) // 2), data)

    def test_sound_plays_and_f12_turns_it_off(self):
        """A one-bit tone (996.9 Hz) reaches the sound device; F12 silences
        it and brings it back, the title says so, and the choice is kept."""
        env = self.pulse()
        code = [0xDB, 0xFE, 0x06, 124, 0x10, 0xFE, 0xD3, 0xFF, 0x06, 124, 0x10, 0xFE, 0xC3, 0x82, 0x40]
        with open(os.path.join(self.dir, "tone.bas"), "w") as f:
            f.write("1 REM " + "".join("\\{%d}" % b for b in code) + "\n10 FAST\n20 RAND USR 16514\n")
        made = run(PROGRAM, "--headless", "--type-file", "tone.bas", "--save", "tone.p", cwd=self.dir)
        self.assertEqual(made.returncode, 0, made.stderr)
        app = Orlix(self.dir, self.display, args=["tone.p"], env=env)
        self.addCleanup(lambda: app.proc.poll() is None and app.proc.kill())
        app.focus()
        time.sleep(2.5)
        app.key("r", "Return")
        time.sleep(0.5)

        def pitch(samples):
            cross = [i for i in range(1, len(samples)) if samples[i - 1] < 0 <= samples[i]]
            return (len(cross) - 1) / ((cross[-1] - cross[0]) / 44100) if len(cross) > 2 else 0

        self.assertAlmostEqual(pitch(self.record(env, 1.5)), 996.9, delta=996.9 * 0.02)
        app.key("F12")
        self.assertTrue(self.title(app).endswith(" - sound off"), self.title(app))
        time.sleep(0.3)
        self.assertEqual(max(abs(v) for v in self.record(env, 1)), 0)
        app.key("F12")
        self.assertTrue(self.title(app).endswith(" - sound on"), self.title(app))
        time.sleep(0.3)
        self.assertAlmostEqual(pitch(self.record(env, 1.5)), 996.9, delta=996.9 * 0.02)
        err = app.proc.stderr  # not read while it runs
        self.assertEqual(app.stop(), 0)
        with open(os.path.join(self.dir, ".config", "orlix", "orlix.conf")) as f:
            self.assertIn("sound=on\n", f.read())
        self.assertNotIn(b"no sound", err.read())

    def test_without_a_sound_device_one_warning(self):
        empty = os.path.join(self.dir, "no-alsa.conf")
        open(empty, "w").close()
        app = Orlix(self.dir, self.display, env={"ALSA_CONFIG_PATH": empty})
        self.addCleanup(lambda: app.proc.poll() is None and app.proc.kill())
        app.focus()
        time.sleep(1)
        self.assertEqual(app.stop(), 0)
        lines = app.proc.stderr.read().decode(errors="replace").splitlines()
        warnings = [line for line in lines if "sound" in line]
        self.assertEqual(len(warnings), 1, lines)
        self.assertTrue(warnings[0].startswith("orlix: no sound (") and warnings[0].endswith("running silently"),
                        warnings[0])

    def test_debugger_attached_stopped_and_gone(self):
        """A gdb client attaches to the window's machine: the title says so,
        a breakpoint stops it there, F5 and F9 reset it and switch its model
        while it stays stopped, and
        when the client detaches the ZX81 runs and types again."""
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        app = self.start(args=["--gdb=%d" % port])
        gdb = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.addCleanup(gdb.close)
        received = b""

        def ask(packet):
            nonlocal received
            body = packet.encode()
            gdb.sendall(b"$%s#%02x" % (body, sum(body) & 0xFF))
            while True:
                received = received.lstrip(b"+")  # acknowledgements
                end = received.find(b"#")
                if end >= 0 and len(received) >= end + 3:
                    data, received = received[1:end].decode(), received[end + 3:]
                    return data
                received += gdb.recv(4096)

        self.assertTrue(ask("?").startswith("T05"))  # attaching stops it
        self.assertRegex(self.settled_title(app, r"stopped"), r"^Orlix V\.0\.3 - stopped at PC=[0-9A-F]{4}$")
        self.assertEqual(ask("Z0,0038,0"), "OK")
        self.assertIn("0b:3800", ask("c"))
        time.sleep(0.3)
        self.assertEqual(self.title(app), "Orlix V.0.3 - stopped at PC=0038")
        app.key("F5")  # a reset, seen by the client; the machine stays stopped
        time.sleep(0.3)
        self.assertEqual(self.title(app), "Orlix V.0.3 - stopped at PC=0000")
        app.key("F9")  # and the model switch
        time.sleep(0.3)
        self.assertEqual(self.title(app), "Orlix V.0.3 - hardware model - stopped at PC=0000")
        self.assertEqual(ask("p0b"), "0000")
        self.assertEqual(ask("z0,0038,0"), "OK")
        gdb.sendall(b"$c#63")  # no reply while it runs
        time.sleep(0.3)
        self.assertEqual(self.title(app), "Orlix V.0.3 - hardware model - debugger attached")
        self.assertEqual(ask("D"), "OK")
        time.sleep(4)  # the reset ZX81 boots again, in SLOW mode
        self.assertEqual(self.title(app), "Orlix V.0.3 - hardware model")
        self.print_two_plus_two(app, wait=2)
        self.assertEqual(app.stop(), 0)

    def test_a_real_gdb_drives_the_window(self):
        """GDB for the Z80 (tools/z80-gdb.sh builds it) takes the window's
        ZX81 in both models: every register, a breakpoint, a step, a
        watchpoint on FRAMES, a disassembly, $pc set, a monitor command,
        detach; then again, and kill; the ZX81 runs on."""
        gdb = os.environ.get("ORLIX_Z80_GDB") or run(os.path.join(SOURCE, "tools", "z80-gdb.sh"), "--path").stdout.strip()
        if not gdb:
            self.skipTest("no Z80 GDB here: tools/z80-gdb.sh builds one")
        with open(os.path.join(SOURCE, "tests", "gdb", "fixtures", "first_session.gdb")) as f:
            session = f.read()

        def run_gdb(port, commands):
            script = os.path.join(self.dir, "session.gdb")
            with open(script, "w") as f:
                f.write("set pagination off\nset confirm off\nset width 0\n")
                f.write("target remote 127.0.0.1:%d\n%s" % (port, commands))
            done = subprocess.run([gdb, "-nx", "-batch", "-x", script], stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True, timeout=600)
            return done.stdout

        for model in ("simple", "hardware"):
            with self.subTest(model=model):
                with socket.socket() as probe:
                    probe.bind(("127.0.0.1", 0))
                    port = probe.getsockname()[1]
                app = self.start(args=["--gdb=%d" % port, "--model", model])
                first = run_gdb(port, session)
                for name in ("af", "bc", "de", "hl", "sp", "pc", "ix", "iy", "af'", "bc'", "de'", "hl'", "ir",
                             "iff1", "iff2", "im", "tstates", "frames"):
                    self.assertRegex(first, r"\n%s +0x[0-9a-f]+" % re.escape(name))
                self.assertIn("Breakpoint 1, 0x00000038", first)
                self.assertRegex(first, r"\$1 = 0x38\n")
                sp = int(re.search(r"\$2 = (0x[0-9a-f]+)", first).group(1), 16)
                self.assertTrue(0x4000 <= sp < 0x8000, hex(sp))
                self.assertRegex(first, r"\$3 = 0x39\n")
                old = int(re.search(r"Old value = (\d+)", first).group(1))
                self.assertEqual(int(re.search(r"New value = (\d+)", first).group(1)), old - 1, "FRAMES counts down")
                self.assertRegex(first, r"=> 0x[0-9a-f]+:\t\w+")
                self.assertRegex(first, r"\$4 = 0x1234\n")
                self.assertRegex(first, r"I=[0-9A-F]{2} R=[0-9A-F]{2} IFF1=[01] IFF2=[01] IM=1 HALT=(yes|no)")
                self.assertIn("[Inferior 1 (Remote target) detached]", first)
                second = run_gdb(port, "p/x $pc\nkill\n")
                self.assertRegex(second, r"\$1 = 0x[0-9a-f]+")
                self.assertIn("[Inferior 1 (Remote target) killed]", second)
                self.assertNotIn("debugger", self.settled_title(app, r"^Orlix V\.[0-9.]+( - hardware model)?$"))
                self.assertEqual(app.stop(), 0)
                self.assertNotIn("refused", app.proc.stderr.read().decode(errors="replace"))

    def test_windows_fit_the_desktop(self):
        """A first start opens at the largest scale that takes two thirds of
        the work area's height; a scale that does not fit falls back, with
        one line; the window manager's work area counts, not the screen."""
        xvfb, display = self.start_xvfb("1920x1080")
        self.addCleanup(xvfb.wait)
        self.addCleanup(xvfb.terminate)
        app = Orlix(self.dir, display)
        self.addCleanup(lambda: app.proc.poll() is None and app.proc.kill())
        self.assertEqual(app.geometry(app.window()), (891, 624), "scale 3 at 1080 lines")
        self.assertEqual(app.stop(), 0)
        app = self.start(args=["--scale", "6"], boot=1)
        self.assertEqual(app.geometry(app.window()), (891, 624), "scale 6 does not fit 1024x768: 3")
        self.assertEqual(app.stop(), 0)
        self.assertEqual(app.proc.stderr.read().decode().count("does not fit"), 1)
        # Panels take 200 lines: scale 3 (624 lines) no longer fits, nor does
        # the next step of F4 from mode 1.
        run("xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", "0, 100, 1024, 568",
            env=dict(os.environ, DISPLAY=self.display))
        self.addCleanup(run, "xprop", "-root", "-remove", "_NET_WORKAREA",
                        env=dict(os.environ, DISPLAY=self.display))
        app = self.start(args=["--scale", "3"], boot=1)
        self.assertEqual(app.geometry(app.window()), (594, 416))
        self.assertEqual(app.stop(), 0)

    def test_full_screen_has_a_way_out(self):
        """F11 enters full screen and says how to leave; Escape and F11 leave
        it; the full-screen window is Orlix's, and the only one shown; F10
        and F12 say what they did over the picture."""
        app = self.start()
        for leave in ("Escape", "F11"):
            app.key("F11")
            time.sleep(1)
            children = re.split(r"child(?:ren)?:", run("xwininfo", "-root", "-children", env=app.env).stdout)[1]
            shown = [w for w in re.findall(r"^\s+(0x[0-9a-f]+)", children, re.M)
                     if "IsViewable" in run("xwininfo", "-id", w, env=app.env).stdout]
            self.assertEqual(len(shown), 1, "one window shown")
            self.assertEqual(run("xdotool", "getwindowname", shown[0], env=app.env).stdout.strip(), "Orlix V.0.3")
            self.assertIn('"orlix", "Orlix"', run("xprop", "-id", shown[0], "WM_CLASS", env=app.env).stdout)
            self.assertIn("Icon (64 x 64)", run("xprop", "-id", shown[0], "_NET_WM_ICON", env=app.env).stdout)
            self.assertTrue(note_shown(Screen("root", app.env)), "the note at the foot")
            time.sleep(2.2)
            self.assertFalse(note_shown(Screen("root", app.env)), "gone after two seconds")
            app.key("F10")  # where the picture went, without a box
            time.sleep(0.5)
            self.assertTrue(note_shown(Screen("root", app.env)))
            self.assertFalse(box_shown(Screen("root", app.env)))
            time.sleep(2.2)
            app.key("F12")  # the sound's state, said over the picture too
            time.sleep(0.5)
            self.assertTrue(note_shown(Screen("root", app.env)), "F12 in full screen")
            app.key("F12")
            app.key(leave)
            time.sleep(1)
            self.assertEqual(app.geometry(app.window()), (297, 208), leave)
        self.assertEqual(app.stop(), 0)

    def test_from_full_screen_to_a_window_with_its_toolbar(self):
        """Started in full screen, Escape gives the window a first start
        opens (scale 2 here), its toolbar drawn as in a window started so;
        the colour button shows the ink and the paper."""
        reference = self.start(args=["--scale", "2"], boot=1)
        expected = reference.shot()
        self.assertEqual(reference.stop(), 0)
        app = self.start(args=["--mode", "2"], boot=2)
        app.key("Escape")
        time.sleep(1)
        self.assertEqual(app.geometry(app.window()), (594, 416))
        s = app.shot()
        differing = sum(s.pixel(x, y) != expected.pixel(x, y) for y in range(0, 416, 2) for x in range(574, 594))
        self.assertEqual(differing, 0, "the toolbar column")
        # The colour button's strips: ink (black) left, paper (white) right;
        # F7 changes the paper's.
        left = 594 - 25 * 2
        self.assertEqual(s.pixel(left + 8 * 2, 135 * 2), (0, 0, 0))
        self.assertTrue(near(s.pixel(left + 18 * 2, 135 * 2), PAPER), s.pixel(left + 18 * 2, 135 * 2))
        app.key("F7")  # paper 9, bright blue
        time.sleep(0.5)
        self.assertTrue(near(app.shot().pixel(left + 18 * 2, 135 * 2), (0, 0, 255)))
        self.assertEqual(app.stop(), 0)

    def test_quick_keys_are_all_taken(self):
        """Twenty-one F4 taps far shorter than a period are twenty-one mode
        changes (mode 0, 1, full screen, scale 3, round five times, then
        mode 1); thirty quick taps of ZX81 keys type thirty letters."""
        app = self.start()
        for _ in range(21):  # each tap 5 ms long, ten a second
            app.xdo("keydown", "F4")
            time.sleep(0.005)
            app.xdo("keyup", "F4")
            time.sleep(0.1)
        time.sleep(3)
        self.assertEqual(app.geometry(app.window()), (553, 400))
        app.key("F4", "F4", "F4")  # round to mode 0
        time.sleep(2)
        app.focus()
        app.key("e")  # REM
        app.xdo("key", "--delay", "5", *["a", "s"] * 15)
        time.sleep(5)
        s = app.shot()
        letters = sum(glyph_matches(s, 7 + 8 * x, 7 + 8 * y, code)
                      for x in range(32) for y in range(24) for code in (0x26, 0x38))
        self.assertEqual(letters, 30)
        self.assertEqual(app.stop(), 0)

    def test_lines_typed_at_ten_keys_a_second_all_arrive(self):
        """Four lines typed at an ordinary pace (keys held 80 ms, ten a
        second), whatever the ROM is doing after each NEWLINE: every key
        reaches the program, in both models."""
        for model in ("simple", "hardware"):
            app = self.start(args=["--model", model])
            for n in "1234":
                for k in (n, "0", "p", n, "Return"):
                    app.xdo("keydown", k)
                    time.sleep(0.08)
                    app.xdo("keyup", k)
                    time.sleep(0.02)
            time.sleep(6)
            s = app.shot()
            for row in range(4):  # "  10 PRINT 1" ... "  40 PRINT 4"
                self.assertTrue(glyph_matches(s, 7 + 8 * 2, 7 + 8 * row, 0x1D + row), "%s: line %d" % (model, row))
                self.assertTrue(glyph_matches(s, 7 + 8 * 11, 7 + 8 * row, 0x1D + row),
                                "%s: PRINT %d" % (model, row + 1))
            self.assertEqual(app.stop(), 0)

    def test_a_lost_display_ends_the_program(self):
        """The X server killed under a running window, or the window
        destroyed from outside: the program ends within a few seconds with
        status 1, its settings as they were last changed."""
        for how in ("server killed", "window destroyed"):
            xvfb, display = self.start_xvfb("1024x768")
            self.addCleanup(lambda xvfb=xvfb: xvfb.poll() is None and xvfb.kill())
            app = Orlix(self.dir, display, args=["--mode", "0"])
            self.addCleanup(lambda app=app: app.proc.poll() is None and app.proc.kill())
            wid = app.focus()
            time.sleep(1)
            app.key("F6")  # ink 1, written to the settings at once
            time.sleep(0.5)
            if how == "server killed":
                xvfb.kill()
            else:
                app.xdo("windowclose", wid)
            start = time.time()
            try:
                err = app.proc.communicate(timeout=5)[1].decode(errors="replace")
            except subprocess.TimeoutExpired:
                self.fail("%s: the program still runs after 5 s" % how)
            self.assertEqual(app.proc.returncode, 1, "%s: %s" % (how, err))
            self.assertLess(time.time() - start, 5)
            with open(os.path.join(self.dir, ".config", "orlix", "orlix.conf")) as f:
                self.assertIn("ink=1\n", f.read(), how)
            os.remove(os.path.join(self.dir, ".config", "orlix", "orlix.conf"))
            xvfb.kill()
            xvfb.wait()

    def test_a_signal_right_after_start_ends_the_program_cleanly(self):
        """SIGTERM, SIGINT or SIGHUP the moment the program can take one
        (its handler seen in /proc, before its window is open) or a little
        later: status 0, as when the window runs."""
        def catches(pid, sig):
            try:
                with open("/proc/%d/status" % pid) as f:
                    caught = next(line for line in f if line.startswith("SigCgt:"))
            except (OSError, StopIteration):
                return False
            return bool(int(caught.split()[1], 16) >> (sig - 1) & 1)

        for delay, sig in ((0, signal.SIGTERM), (0, signal.SIGINT), (0, signal.SIGHUP),
                           (0.02, signal.SIGTERM), (0.05, signal.SIGHUP)):
            app = Orlix(self.dir, self.display)
            self.addCleanup(lambda app=app: app.proc.poll() is None and app.proc.kill())
            end = time.time() + 5
            while not catches(app.proc.pid, sig) and time.time() < end:
                time.sleep(0.0002)
            time.sleep(delay)
            app.proc.send_signal(sig)
            err = app.proc.communicate(timeout=10)[1].decode(errors="replace")
            self.assertEqual(app.proc.returncode, 0, "%s after %g s: %s" % (signal.Signals(sig).name, delay, err))

    def test_the_title_names_the_program(self):
        with open(os.path.join(self.dir, "game.bas"), "w") as f:
            f.write("10 PRINT 1\n")
        made = run(PROGRAM, "--headless", "--type-file", "game.bas", "--save", "game.p", cwd=self.dir)
        self.assertEqual(made.returncode, 0, made.stderr)
        app = self.start(args=["--model=hardware", "game.p"], boot=4)
        self.assertEqual(self.title(app), "Orlix V.0.3 - game.p - hardware model")
        app.key("F5")  # a reset leaves no program
        time.sleep(0.3)
        self.assertEqual(self.title(app), "Orlix V.0.3 - hardware model")
        self.assertEqual(app.stop(), 0)

    def test_chroma_colours_and_a_joystick_in_the_window(self):
        """A program that turns Chroma's attribute mode on and colours one
        cell shows those colours pixel for pixel, border included, and the
        title names what is fitted; the arrows and Right Ctrl move the
        Kempston joystick (a program prints what IN 31 reads), and Scroll
        Lock gives the arrows back to the keys."""
        with open(os.path.join(self.dir, "chroma.bas"), "w") as f:
            f.write("10 POKE 32000,62\n20 POKE 32001,52\n30 POKE 32002,1\n40 POKE 32003,239\n"
                    "50 POKE 32004,127\n60 POKE 32005,237\n70 POKE 32006,121\n80 POKE 32007,201\n"
                    "90 PRINT \"A\"\n100 POKE PEEK 16396+256*PEEK 16397+32769,23\n110 RAND USR 32000\n"
                    "112 LET D=PEEK 16396+256*PEEK 16397+32769+5*33\n114 FOR K=0 TO 3\n116 POKE D+K,112\n"
                    "118 NEXT K\n"
                    "120 POKE 32008,219\n130 POKE 32009,31\n140 POKE 32010,79\n150 POKE 32011,6\n"
                    "160 POKE 32012,0\n170 POKE 32013,201\n180 PRINT AT 5,0;USR 32008;\" \"\n190 GOTO 180\n")
        made = run(PROGRAM, "--headless", "--type-file", "chroma.bas", "--save", "chroma.p", cwd=self.dir)
        self.assertEqual(made.returncode, 0, made.stderr)
        app = self.start(args=["--chroma", "--joystick", "kempston", "chroma.p"], boot=4)
        self.assertEqual(self.title(app), "Orlix V.0.3 - chroma.p - Chroma 81, Kempston joystick")
        app.key("r", "Return")
        time.sleep(1.5)
        s = app.shot()
        blue, white, green = (0, 0, 210), (210, 210, 210), (0, 210, 0)
        self.assertTrue(near(s.pixel(0, 0), green), "the border: %s" % (s.pixel(0, 0),))
        for x in range(8):
            self.assertTrue(near(s.pixel(7 + x, 8), white if 2 <= x < 6 else blue), (x, s.pixel(7 + x, 8)))  # A's second row
            self.assertTrue(near(s.pixel(7 + x, 7), blue), (x, s.pixel(7 + x, 7)))

        # Line 5 black on white (112), where the program shows what IN 31 reads.
        def number_shown():
            shot = app.shot()
            return [code for code in range(0x1C, 0x26) if glyph_matches(shot, 7, 7 + 5 * 8, code)]

        self.assertEqual(number_shown(), [0x1C], "0 with nothing held")
        app.xdo("keydown", "Up")
        app.xdo("keydown", "Control_R")
        time.sleep(0.5)
        shot = app.shot()
        app.xdo("keyup", "Control_R")
        app.xdo("keyup", "Up")
        # 24 = up 8 + fire 16: "2" then "4".
        self.assertTrue(glyph_matches(shot, 7, 7 + 5 * 8, 0x1E) and glyph_matches(shot, 15, 7 + 5 * 8, 0x20))
        app.key("Scroll_Lock")
        app.xdo("keydown", "Up")
        time.sleep(0.5)
        self.assertEqual(number_shown(), [0x1C], "the arrow is key 7 now, not the stick")
        app.xdo("keyup", "Up")
        self.assertEqual(app.stop(), 0)

    def test_the_expansions_dialog_fits_and_keeps_what_is_chosen(self):
        """Insert opens "Expansions"; ticking Chroma 81 and OK starts the
        ZX81 again with it: the title names it, the settings keep it, and
        the next start has it; Cancel changes nothing."""
        app = self.start()
        app.key("Insert")
        time.sleep(0.5)
        app.click(10, 99)    # Chroma 81 colour
        app.click(100, 194)  # OK
        time.sleep(0.5)
        self.assertEqual(self.settled_title(app, "Chroma"), "Orlix V.0.3 - Chroma 81")
        with open(os.path.join(self.dir, ".config", "orlix", "orlix.conf")) as f:
            self.assertIn("chroma=on", f.read())
        app.key("Insert")
        time.sleep(0.5)
        app.click(10, 99)    # off again, then Cancel
        app.key("Escape")
        time.sleep(0.5)
        self.assertEqual(self.title(app), "Orlix V.0.3 - Chroma 81")
        self.print_two_plus_two(app, wait=1)
        self.assertEqual(app.stop(), 0)
        app = self.start()
        self.assertEqual(self.title(app), "Orlix V.0.3 - Chroma 81")
        self.assertEqual(app.stop(), 0)

    def test_a_tape_of_two_programs_offers_both_and_shows_while_playing(self):
        # ONE.TZX and TWO.TZX saved headless, their blocks put on one tape.
        blocks = []
        for name, line in (("one", "10 PRINT 1"), ("two", "20 PRINT 2")):
            with open(os.path.join(self.dir, name + ".bas"), "w") as f:
                f.write(line + "\n")
            made = run(PROGRAM, "--headless", "--type-file", name + ".bas", "--save", name + ".tzx", cwd=self.dir)
            self.assertEqual(made.returncode, 0, made.stderr)
            with open(os.path.join(self.dir, name + ".tzx"), "rb") as f:
                blocks.append(f.read()[10:])
        with open(os.path.join(self.dir, "both.tzx"), "wb") as f:
            f.write(b"ZXTape!\x1a\x01\x14" + b"".join(blocks))
        # Named at start, the tape's programs are listed; the second is picked.
        app = self.start(args=["both.tzx"], boot=4)
        self.assertTrue(box_shown(app.shot()), "the list of programs")
        app.key("Down", "Return", hold=0.08)
        time.sleep(0.8)
        app.key("k", "Return")  # LIST
        time.sleep(0.8)
        s = app.shot()
        self.assertTrue(glyph_matches(s, 7 + 16, 7, 0x1E), "2 of line 20 listed")
        self.assertEqual(app.stop(), 0)
        # Through the ROM's loader, the title shows the tape as it plays.
        app = self.start(args=["--real-tape", "--tape", "both.tzx"])
        app.key("j", "shift+p", "shift+p", "Return")
        self.assertRegex(self.settled_title(app, "tape", timeout=3), r"tape both\.tzx 0:0\d / 0:\d\d")
        self.assertEqual(app.stop(), 0)

    def test_missing_rom_is_fatal(self):
        os.remove(os.path.join(self.dir, "zx81.rom"))
        # A copy of the program, so that the ROM beside the built one is not
        # found, and a home of its own without one.
        program = shutil.copy(PROGRAM, self.dir)
        home = os.path.join(self.dir, "home")
        os.mkdir(home)
        app = Orlix(self.dir, self.display, program,
                    env={"HOME": home, "XDG_DATA_HOME": "", "XDG_DATA_DIRS": os.path.join(home, "none")})
        self.addCleanup(lambda: app.proc.poll() is None and app.proc.kill())
        wid = app.window()
        time.sleep(0.5)
        s = app.shot()
        self.assertTrue(box_shown(s), "error box shown")
        app.xdo("windowfocus", "--sync", wid)
        app.key("space")
        self.assertEqual(app.proc.wait(timeout=10), 255)
        err = app.proc.stderr.read().decode()
        self.assertIn("Cannot load zx81.rom!", err)
        self.assertIn(os.path.join(home, ".local/share/orlix/zx81.rom"), err, "places looked in")

    def test_without_a_display_the_library_cannot_start(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        done = subprocess.run([PROGRAM], cwd=self.dir, env=env, capture_output=True, text=True,
                              timeout=30)
        self.assertEqual(done.returncode, 255)
        self.assertIn("I Can't initialize Winallegro!", done.stderr)

    def test_missing_toolbar_warns_and_runs_on(self):
        os.remove(os.path.join(self.dir, "zxtool.pcx"))
        # A copy of the program, so that the picture beside the built one is
        # not found either.
        program = shutil.copy(PROGRAM, self.dir)
        app = Orlix(self.dir, self.display, program, args=["--mode", "0"],
                    env={"HOME": self.dir, "XDG_DATA_HOME": "", "XDG_DATA_DIRS": os.path.join(self.dir, "none")})
        self.addCleanup(lambda: app.proc.poll() is None and app.proc.kill())
        app.focus()
        time.sleep(1)
        self.assertTrue(box_shown(app.shot()), "Mensaje box shown")
        app.click(148, 104)  # a click closes the box too
        time.sleep(2.5)
        s = app.shot()
        self.assertTrue(glyph_matches(s, 7, 7 + 23 * 8, 0xB0))
        self.assertEqual(s.pixel(284, 17), (0, 0, 0), "black strip without buttons")
        self.assertEqual(app.stop(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
