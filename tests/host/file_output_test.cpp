// Files written whole or not at all: what is replaced, what is refused and
// left as it was, and what a save killed midway leaves behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "file_output.h"
#include "temporary_folder.h"

namespace fs = std::filesystem;

namespace {

class FileOutput : public TemporaryFolder {
protected:
    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> temporaries() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().starts_with(temporary_prefix))
                found.push_back(entry.path().filename().string());
        return found;
    }
    // Sets a file's modification time `seconds` into the past.
    void age(const fs::path& path, int seconds) const {
        const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - seconds, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
};

const std::vector<uint8_t> bytes = {'n', 'e', 'w'};

TEST_F(FileOutput, TargetsAreReplacedOrRefusedAsTheyAre) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;  // what is there before
        bool written;
        const char* reason;                          // for a refusal
        std::function<bool(const fs::path&)> after;  // what must hold then
    };
    const auto file_type = [](fs::file_type type) {
        return [type](const fs::path& p) { return fs::symlink_status(p).type() == type; };
    };
    const Case cases[] = {
        {"new.bin", [](const fs::path&) {}, true, "", [](const fs::path& p) { return contents(p) == "new"; }},
        {"old.bin",
         [](const fs::path& p) {
             std::ofstream(p) << "old contents";
             fs::permissions(p, fs::perms(0640));
         },
         true, "",
         [](const fs::path& p) { return contents(p) == "new" && fs::status(p).permissions() == fs::perms(0640); }},
        {"link.bin",
         [](const fs::path& p) {
             std::ofstream(p.parent_path() / "target.bin") << "old";
             fs::create_symlink("target.bin", p);
         },
         true, "",
         [](const fs::path& p) { return fs::is_symlink(p) && contents(p.parent_path() / "target.bin") == "new"; }},
        {"dangling.bin", [](const fs::path& p) { fs::create_symlink("made.bin", p); }, true, "",
         [](const fs::path& p) { return fs::is_symlink(p) && contents(p.parent_path() / "made.bin") == "new"; }},
        {"fifo", [](const fs::path& p) { mkfifo(p.c_str(), 0600); }, false, "it is a FIFO",
         file_type(fs::file_type::fifo)},
        {"folder", [](const fs::path& p) { fs::create_directory(p); }, false, "it is a folder",
         file_type(fs::file_type::directory)},
        {"loop", [](const fs::path& p) { fs::create_symlink("loop", p); }, false, "Too many levels",
         file_type(fs::file_type::symlink)},
        // A device node of the test's own: the one /dev/full is.
        {"full", [](const fs::path& p) { mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 7)); }, false,
         "it is a device", file_type(fs::file_type::character)},
    };
    for (const Case& c : cases) {
        const fs::path path = dir / c.name;
        c.make(path);
        if (std::string(c.name) == "full" && !fs::exists(path)) {
            ADD_FAILURE() << "cannot make a device node here (not root?): the case is not tried";
            continue;
        }
        const FileResult result = write_whole_file(path.string(), bytes, Streams::refused);
        EXPECT_EQ(result.ok, c.written) << c.name << ": " << result.reason;
        if (!c.written) {
            EXPECT_NE(result.reason.find(c.reason), std::string::npos) << c.name << ": " << result.reason;
        }
        EXPECT_TRUE(c.after(path)) << c.name;
        EXPECT_EQ(unwritable_reason(path.string(), Streams::refused).empty(), c.written) << c.name;
    }
    EXPECT_TRUE(temporaries().empty());
}

// What a save killed midway left behind goes at the next save into that
// folder: temporary files of ours over a minute old, and nothing else.
TEST_F(FileOutput, StaleTemporariesGoAtTheNextSave) {
    const char* const planted[] = {".orlix-abc123", ".orlix-def456", ".orlix-toolong1", ".orlix-fo1der"};
    for (const char* name : planted) std::ofstream(dir / name) << "x";
    fs::remove(dir / ".orlix-fo1der");
    fs::create_directory(dir / ".orlix-fo1der");
    for (const char* name : {".orlix-abc123", ".orlix-toolong1", ".orlix-fo1der"}) age(dir / name, 120);
    ASSERT_TRUE(write_whole_file((dir / "x.bin").string(), bytes, Streams::refused).ok);
    EXPECT_FALSE(fs::exists(dir / ".orlix-abc123")) << "stale";
    EXPECT_TRUE(fs::exists(dir / ".orlix-def456")) << "a save may still own it";
    EXPECT_TRUE(fs::exists(dir / ".orlix-toolong1")) << "not a name of ours";
    EXPECT_TRUE(fs::exists(dir / ".orlix-fo1der")) << "not a file";
}

// SIGKILL at random moments of saves that replace a file: the file is always
// the old one or the new, whole; whatever the kills left goes once it is
// stale.
TEST_F(FileOutput, ASaveKilledAtAnyMomentLeavesAWholeFile) {
    const fs::path target = dir / "prog.p";
    const std::vector<uint8_t> a(16384, 0xAA), b(16384, 0x55);
    ASSERT_TRUE(write_whole_file(target.string(), a, Streams::in_place).ok);
    std::mt19937 random(12345);
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t child = fork();
        if (child == 0) {
            for (int i = 0;; ++i) write_whole_file(target.string(), i % 2 ? a : b, Streams::in_place);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string now = contents(target);
        ASSERT_EQ(now.size(), 16384u) << "kill " << kill;
        EXPECT_TRUE(now == std::string(a.begin(), a.end()) || now == std::string(b.begin(), b.end()))
            << "kill " << kill;
    }
    for (const std::string& name : temporaries()) age(dir / name, 120);
    ASSERT_TRUE(write_whole_file(target.string(), a, Streams::in_place).ok);
    EXPECT_TRUE(temporaries().empty());
}

}  // namespace
