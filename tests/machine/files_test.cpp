// Program files: the name rules, the bytes loaded and saved, and bad input
// (tests run as root in CI, so permission bits prove nothing here).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "program_files.h"
#include "zx81_harness.h"

namespace fs = std::filesystem;

namespace {

class ProgramFiles : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        harness::power_up();
        dir = fs::temp_directory_path() / ("orlix-files-" + std::to_string(getpid()));
        fs::create_directories(dir);
        cpu.PC.w = 0x1234;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write_file(const std::string& name, size_t size, uint8_t first = 0) {
        const fs::path path = dir / name;
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(first + i));
        return path.string();
    }

    static std::vector<uint8_t> read_file(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Loads and returns what changed: warnings go to standard error here.
    std::string load_capturing(const std::string& name) {
        testing::internal::CaptureStderr();
        load_program(name);
        return testing::internal::GetCapturedStderr();
    }
};

// The seven bytes and PC set after a load.
void expect_restart_state() {
    EXPECT_EQ(memory[0x4001], 0x80);
    EXPECT_EQ(memory[0x4007], 0xFE);
    EXPECT_EQ(memory[0x4008], 0xFF);
    EXPECT_EQ(memory[0x7FFC], 0x76);
    EXPECT_EQ(memory[0x7FFD], 0x06);
    EXPECT_EQ(memory[0x7FFE], 0x00);
    EXPECT_EQ(memory[0x7FFF], 0x3E);
    EXPECT_EQ(cpu.PC.w, 0x005B);
}

TEST_F(ProgramFiles, NameRules) {
    struct NameCase {
        const char* name;
        bool loads;
    };
    const NameCase cases[] = {
        {"AB.P", true}, {"prog.p", true}, {"prog.P", true}, {"game.81", true}, {"x.P81", true},
        {"A.P", false}, {"zx81.ROM", false}, {"prog.txt", false}, {"P", false},
    };
    for (const NameCase& c : cases) {
        SetUp();
        const std::string path = write_file(c.name, 100, 0x10);
        // A short name must be tried as given (relative to the working directory).
        const std::string name = std::string(c.name).size() <= 3 ? c.name : path;
        const auto before = memory;
        load_capturing(name);
        if (c.loads) {
            EXPECT_EQ(memory[0x4009], 0x10) << c.name;
            expect_restart_state();
        } else {
            EXPECT_EQ(memory, before) << c.name;
            EXPECT_EQ(cpu.PC.w, 0x1234) << c.name;
        }
    }
}

TEST_F(ProgramFiles, HundredByteFileChangesExactlyItsRange) {
    const auto before = memory;
    load_capturing(write_file("small.p", 100, 0x01));
    for (int a = 0; a < 0x10000; ++a) {
        const bool in_image = a >= 0x4009 && a <= 0x406C;
        const bool restart = a == 0x4001 || a == 0x4007 || a == 0x4008 || (a >= 0x7FFC && a <= 0x7FFF);
        if (in_image) {
            ASSERT_EQ(memory[a], static_cast<uint8_t>(0x01 + a - 0x4009)) << a;
        } else if (!restart) {
            ASSERT_EQ(memory[a], before[a]) << a;
        }
    }
    expect_restart_state();
}

TEST_F(ProgramFiles, LongFileLoadsItsFirst16384Bytes) {
    const auto before = memory;
    load_capturing(write_file("long.P", 20000, 0x00));
    EXPECT_EQ(memory[0x4009 + 16383 - 0], static_cast<uint8_t>(16383));
    EXPECT_EQ(memory[0x8009], before[0x8009]);
    expect_restart_state();
}

TEST_F(ProgramFiles, EmptyFileChangesOnlyTheRestartState) {
    const auto before = memory;
    load_capturing(write_file("empty.p", 0));
    for (int a = 0x4009; a < 0x7FFC; ++a) ASSERT_EQ(memory[a], before[a]) << a;
    expect_restart_state();
}

TEST_F(ProgramFiles, UnreadableFilesWarnAndChangeNothing) {
    fs::create_directories(dir / "folder.p");
    const std::string names[] = {
        (dir / "missing.p").string(),
        (dir / "folder.p").string(),
        (dir / "no-such-dir" / "x.p").string(),
    };
    for (const std::string& name : names) {
        const auto before = memory;
        const Z80State cpu_before = cpu;
        const std::string warning = load_capturing(name);
        EXPECT_EQ(warning, "Mensaje: Cannot load " + name + "\n");
        EXPECT_EQ(memory, before) << name;
        EXPECT_EQ(cpu.PC.w, cpu_before.PC.w);
        EXPECT_EQ(cpu.SP.w, cpu_before.SP.w);
    }
}

TEST_F(ProgramFiles, SaveWritesExactly16384BytesAndLoadsBack) {
    for (int a = 0x4009; a <= 0x8008; ++a) memory[a] = static_cast<uint8_t>(a * 7);
    const std::string path = (dir / "out.p").string();
    save_program(path);
    const std::vector<uint8_t> saved = read_file(path);
    ASSERT_EQ(saved.size(), 16384u);
    for (size_t i = 0; i < saved.size(); ++i) ASSERT_EQ(saved[i], memory[0x4009 + i]) << i;

    const auto image = memory;
    memory_reset();
    load_capturing(path);
    for (int a = 0x4009; a <= 0x8008; ++a) {
        const bool restart = a == 0x4001 || (a >= 0x7FFC && a <= 0x7FFF);
        if (!restart) {
            ASSERT_EQ(memory[a], image[a]) << a;
        }
    }
    // No temporary files are left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

TEST_F(ProgramFiles, SaveKeepsPermissionsOfTheFileItReplaces) {
    const std::string path = write_file("kept.p", 10);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    save_program(path);
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::file_size(path), 16384u);
}

TEST_F(ProgramFiles, SaveToAFullDeviceWarnsAndLeavesTheDevice) {
    testing::internal::CaptureStderr();
    save_program("/dev/full");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mensaje: Cannot save /dev/full\n");
    struct stat info;
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(ProgramFiles, SaveIntoAMissingDirectoryWarns) {
    const std::string path = (dir / "nowhere" / "x.p").string();
    testing::internal::CaptureStderr();
    save_program(path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mensaje: Cannot save " + path + "\n");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

TEST_F(ProgramFiles, SaveThatFailsPartWayLeavesThePreviousFile) {
    const std::string path = write_file("precious.p", 3000, 0x42);
    const std::vector<uint8_t> previous = read_file(path);
    for (int a = 0x4009; a <= 0x8008; ++a) memory[a] = 0xEE;

    // In a child, under a file-size limit of 8 KB with SIGXFSZ ignored, the
    // write fails half-way through.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        testing::internal::CaptureStderr();
        save_program(path);
        const std::string warning = testing::internal::GetCapturedStderr();
        _exit(warning == "Mensaje: Cannot save " + path + "\n" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no warning, or the wrong one";
    EXPECT_EQ(read_file(path), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
}

}  // namespace
