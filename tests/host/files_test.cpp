// Program files: the name rules, the bytes loaded and saved, and bad input
// (tests run as root in CI, so permission bits prove nothing here).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "program_files.h"
#include "zx81_harness.h"

namespace fs = std::filesystem;

namespace {

class ProgramFiles : public ::testing::Test, public TestMachine {
protected:
    fs::path dir;

    void SetUp() override {
        start_machine();
        dir = fs::temp_directory_path() / ("orlix-files-" + std::to_string(getpid()));
        fs::create_directories(dir);
        zx81.cpu.PC.w = 0x1234;
        place(program_image(300, 0x33));
    }

    // A program in memory, as a load would put it.
    void place(const std::vector<uint8_t>& image) {
        std::copy(image.begin(), image.end(), zx81.memory.begin() + 0x4009);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write_file(const std::string& name, const std::vector<uint8_t>& bytes) {
        const fs::path path = dir / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    // `size` bytes counting up from `first`, with system variables that
    // describe them: the display file right after the system variables, the
    // variables in the last byte and the edit line at the end (or at
    // `edit_line` when given).
    static std::vector<uint8_t> program_image(size_t size, uint8_t first = 0, size_t edit_line = 0) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(first + i);
        const size_t end = edit_line ? edit_line : 0x4009 + size;
        const auto word = [&](uint16_t address, size_t value) {
            bytes[address - 0x4009] = static_cast<uint8_t>(value);
            bytes[address - 0x4009 + 1] = static_cast<uint8_t>(value >> 8);
        };
        word(0x400C, 0x407D);    // D_FILE
        word(0x4010, end - 1);   // VARS
        word(0x4014, end);       // E_LINE
        return bytes;
    }

    std::string write_program(const std::string& name, size_t size, uint8_t first = 0) {
        return write_file(name, program_image(size, first));
    }

    static std::vector<uint8_t> read_file(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

// The bytes and PC set after a load: FLAGS, ERR_SP, PPC and the stack below
// RAMTOP of a 16 KB machine.
void expect_restart_state(const Zx81& zx81) {
    EXPECT_EQ(zx81.memory[0x4001], 0x80);
    EXPECT_EQ(word_at(zx81.memory, 0x4002), 0x7FFC);
    EXPECT_EQ(zx81.memory[0x4007], 0xFE);
    EXPECT_EQ(zx81.memory[0x4008], 0xFF);
    EXPECT_EQ(zx81.memory[0x7FFC], 0x76);
    EXPECT_EQ(zx81.memory[0x7FFD], 0x06);
    EXPECT_EQ(zx81.memory[0x7FFE], 0x00);
    EXPECT_EQ(zx81.memory[0x7FFF], 0x3E);
    EXPECT_EQ(zx81.cpu.PC.w, 0x005B);
}

bool same_registers(const Z80State& a, const Z80State& b) {
    const RegPair Z80State::*pairs[] = {&Z80State::AF,     &Z80State::BC,     &Z80State::DE,
                                        &Z80State::HL,     &Z80State::IX,     &Z80State::IY,
                                        &Z80State::PC,     &Z80State::SP,     &Z80State::AF_alt,
                                        &Z80State::BC_alt, &Z80State::DE_alt, &Z80State::HL_alt};
    for (auto pair : pairs)
        if ((a.*pair).w != (b.*pair).w) return false;
    return a.IFF == b.IFF && a.I == b.I && a.cycles_left == b.cycles_left &&
           a.period_cycles == b.period_cycles && a.pending_irq == b.pending_irq;
}

TEST_F(ProgramFiles, NameRules) {
    struct NameCase {
        const char* name;
        bool loads;
    };
    const NameCase cases[] = {
        {"a.p", true}, {"prog.P", true}, {"x.81", true}, {"x.P81", true},   {"zx81", false},
        {".p", false}, {"zx81.ROM", false}, {"prog.txt", false}, {"P", false}, {"game81", false},
    };
    for (const NameCase& c : cases) {
        SetUp();
        const std::string path = write_program(c.name, 200, 0x10);
        const auto before = zx81.memory;
        const FileResult result = load_program(zx81, path);
        EXPECT_EQ(result.ok, c.loads) << c.name;
        if (c.loads) {
            EXPECT_EQ(zx81.memory[0x4009], 0x10) << c.name;
            expect_restart_state(zx81);
        } else {
            EXPECT_EQ(result.reason, "not a program file (.P, .81 or .P81)") << c.name;
            EXPECT_EQ(zx81.memory, before) << c.name;
            EXPECT_EQ(zx81.cpu.PC.w, 0x1234) << c.name;
        }
    }
}

TEST_F(ProgramFiles, ShortFileChangesExactlyItsRange) {
    const auto before = zx81.memory;
    ASSERT_TRUE(load_program(zx81, write_program("small.p", 200, 0x01)).ok);
    for (int a = 0; a < 0x10000; ++a) {
        const bool in_image = a >= 0x4009 && a <= 0x40D0;
        const bool restart = (a >= 0x4001 && a <= 0x4003) || a == 0x4007 || a == 0x4008 || (a >= 0x7FFC && a <= 0x7FFF);
        const bool system_variable = a >= 0x400C && a <= 0x4015;
        if (in_image && !system_variable) {
            ASSERT_EQ(zx81.memory[a], static_cast<uint8_t>(0x01 + a - 0x4009)) << a;
        } else if (!restart && !in_image) {
            ASSERT_EQ(zx81.memory[a], before[a]) << a;
        }
    }
    expect_restart_state(zx81);
}

// Older versions saved 16,384 bytes whatever the program; only the part up
// to E_LINE is the program, and only it is loaded.
TEST_F(ProgramFiles, BytesPastELineAreIgnored) {
    for (size_t size : {16384u, 20000u}) {
        SetUp();
        const auto before = zx81.memory;
        ASSERT_TRUE(load_program(zx81, write_file("old.P", program_image(size, 0x00, 0x4209))).ok);
        EXPECT_EQ(zx81.memory[0x4208], static_cast<uint8_t>(0x4208 - 0x4009)) << size;
        for (int a = 0x4209; a < 0x7FFC; ++a) ASSERT_EQ(zx81.memory[a], before[a]) << size << " " << a;
        expect_restart_state(zx81);
    }
}

// A load leaves the display hardware as the ROM's LOAD does: FAST (the NMI
// generator off, interrupts disabled), however it was running; SLOW mode is
// for the ROM to start again.
TEST_F(ProgramFiles, ALoadLeavesTheNmiGeneratorOffAndInterruptsDisabled) {
    start_machine(Model::hardware);
    boot();
    ASSERT_EQ(zx81.memory[sysvar::cdflag] & 0xC0, 0xC0);
    for (int i = 0; i < 20 && !zx81.ula.nmi_generator; ++i) run_periods(1);
    ASSERT_TRUE(zx81.ula.nmi_generator) << "SLOW mode times its borders with NMIs";
    std::vector<uint8_t> image = program_image(300);
    image[sysvar::cdflag - 0x4009] = 0xC0;  // saved while SLOW mode ran
    ASSERT_TRUE(load_program(zx81, write_file("slow.p", image)).ok);
    EXPECT_FALSE(zx81.ula.nmi_generator);
    EXPECT_EQ(zx81.ula.nmi_pulse, -1);
    EXPECT_EQ(zx81.cpu.IFF & (IFF1 | IFF2 | IFF_HALTED), 0);
    EXPECT_EQ(zx81.memory[sysvar::cdflag], 0x40) << "SLOW asked for, not running";
}

// The stack words go below RAMTOP wherever the RAM puts it, but never over
// the program's own bytes.
TEST_F(ProgramFiles, TheRestartStackGoesBelowRamtop) {
    start_machine(Model::simple, false, 1);
    boot();
    ASSERT_EQ(word_at(zx81.memory, sysvar::ramtop), 0x4400);
    ASSERT_TRUE(load_program(zx81, write_program("small.p", 200)).ok);
    EXPECT_EQ(word_at(zx81.memory, sysvar::err_sp), 0x43FC);
    EXPECT_EQ(word_at(zx81.memory, 0x43FC), 0x0676);
    EXPECT_EQ(word_at(zx81.memory, 0x43FE), 0x3E00);
    // A program that fills the 1 KB keeps its own top bytes.
    const std::vector<uint8_t> full = program_image(0x43FE - 0x4009, 0x10);
    ASSERT_TRUE(load_program(zx81, write_file("full.p", full)).ok);
    EXPECT_EQ(zx81.memory[0x43FD], full.back());
    EXPECT_EQ(word_at(zx81.memory, 0x43FE), 0x3E00);
}

TEST_F(ProgramFiles, RefusedFilesChangeNothing) {
    fs::create_directories(dir / "folder.p");
    const std::string fifo = (dir / "pipe.p").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A program as the ZX81 itself saves it, up to its edit line, cut in half.
    std::vector<uint8_t> real = program_image(300);
    real.resize(150);
    std::vector<uint8_t> twelve = program_image(300);
    twelve.resize(12);
    std::vector<uint8_t> zeros(16384, 0);
    std::vector<uint8_t> system_variables_alone = program_image(300);
    system_variables_alone.resize(0x74);
    const std::vector<uint8_t> too_big = program_image(20000, 0, 0x8009);

    struct RefusedCase {
        std::string name;
        std::string reason;
    };
    const std::string short_reason = "not a ZX81 program: too short";
    const std::string cut_short = "not a ZX81 program: the file ends before E_LINE 0x4135 (it has ";
    const RefusedCase cases[] = {
        {(dir / "missing.p").string(), "No such file or directory"},
        {(dir / "folder.p").string(), "not a regular file"},
        {(dir / "no-such-dir" / "x.p").string(), "No such file or directory"},
        {fifo, "not a regular file"},
        {write_file("empty.p", {}), short_reason},
        {write_file("twelve.p", twelve), short_reason},
        {write_file("half.p", real), cut_short},
        {write_file("sysvars.p", system_variables_alone), cut_short},
        {write_file("zeros.81", zeros), "not a ZX81 program: its end (E_LINE 0x0000) lies outside RAM"},
        {write_file("big.p", too_big), "the program needs 32 KB of RAM; this ZX81 has 16 KB"},
        // Cut short and too big for the RAM: cut short is what holds for any RAM.
        {write_file("cut32.p", program_image(300, 0, 0x9000)),
         "not a ZX81 program: the file ends before E_LINE 0x9000 (it has 300 of the 20471 bytes up to it)"},
        {write_file("rom.ROM", program_image(300)), "not a program file (.P, .81 or .P81)"},
    };
    for (const RefusedCase& c : cases) {
        const auto memory_before = zx81.memory;
        const Z80State cpu_before = zx81.cpu;
        const auto started = std::chrono::steady_clock::now();
        const FileResult result = load_program(zx81, c.name);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << c.name;
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_TRUE(result.reason.starts_with(c.reason)) << c.name << ": " << result.reason;
        EXPECT_EQ(zx81.memory, memory_before) << c.name;
        EXPECT_TRUE(same_registers(zx81.cpu, cpu_before)) << c.name;
    }
    // The reason for a file cut short holds whatever the RAM.
    const std::string cut32 = (dir / "cut32.p").string();
    EXPECT_EQ(read_program_file(cut32, 32).result.reason, read_program_file(cut32, 16).result.reason);
}

TEST_F(ProgramFiles, SaveWritesUpToELineAndLoadsBack) {
    const std::vector<uint8_t> image = program_image(1000, 0x44);
    place(image);
    const std::string path = (dir / "out.p").string();
    ASSERT_TRUE(save_program(zx81, path).ok);
    ASSERT_EQ(read_file(path), image);

    reset(zx81);
    ASSERT_TRUE(load_program(zx81, path).ok);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), zx81.memory.begin() + 0x4009));
    // No temporary files are left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

TEST_F(ProgramFiles, SaveKeepsPermissionsOfTheFileItReplaces) {
    const std::string path = write_program("kept.p", 200);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(save_program(zx81, path).ok);
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::file_size(path), 300u);
}

TEST_F(ProgramFiles, SavesThatCannotBeDoneSayWhy) {
    const std::string fifo = (dir / "pipe.p").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(dir / "folder.p");
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/full", "No space left on device"},
        {(dir / "nowhere" / "x.p").string(), "No such file or directory"},
        {fifo, "no program is reading from the pipe"},
        {(dir / "folder.p").string(), "it is a folder"},
        {(dir / std::string(256, 'n')).string(), "File name too long"},
        {(dir / "garbage.p").string(), "no program in memory: E_LINE 0xFFFF lies outside RAM"},
    };
    for (const auto& [name, reason] : cases) {
        if (name.ends_with("garbage.p")) zx81.memory[sysvar::e_line] = zx81.memory[sysvar::e_line + 1] = 0xFF;
        const auto started = std::chrono::steady_clock::now();
        const FileResult result = save_program(zx81, name);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << name;
        EXPECT_FALSE(result.ok) << name;
        EXPECT_EQ(result.reason, reason) << name;
    }
    struct stat info;
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    // Nothing was left behind: the pipe and the folder only.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 2);
}

TEST_F(ProgramFiles, EveryNameLinuxTakesCanBeSaved) {
    const std::string longest = (dir / (std::string(253, 'n') + ".P")).string();
    ASSERT_TRUE(save_program(zx81, longest).ok);
    EXPECT_EQ(fs::file_size(longest), 300u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

TEST_F(ProgramFiles, SaveIntoAPipeThatIsReadGetsTheWholeImage) {
    const std::string fifo = (dir / "pipe.p").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> received;
    std::thread reader([&] { received = read_file(fifo); });
    // The reader opens the pipe at some point; until then the save is refused.
    FileResult result{false, {}};
    for (int tries = 0; tries < 500 && !result.ok; ++tries) {
        result = save_program(zx81, fifo);
        if (!result.ok) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reader.join();
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(received.size(), 300u);
}

TEST_F(ProgramFiles, SaveThatFailsPartWayLeavesThePreviousFile) {
    const std::string path = write_program("precious.p", 3000, 0x42);
    const std::vector<uint8_t> previous = read_file(path);
    place(program_image(12000, 0xEE));  // longer than the limit

    // In a child, under a file-size limit of 8 KB, the write fails half-way
    // through: the save holds back the signal that would end the program
    // and reports the error.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        const FileResult result = save_program(zx81, path);
        _exit(!result.ok && result.reason == "File too large" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no failure, or the wrong reason";
    EXPECT_EQ(read_file(path), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

}  // namespace
