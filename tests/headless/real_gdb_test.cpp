// A real GDB for the Z80 (tools/z80-gdb.sh builds one) driving a headless
// run through the stub, in both models; and GDB's conversation, recorded
// from such a session, replayed against the stub where no such GDB is built.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "gdb_client.h"
#include "run_orlix.h"
#include "temporary_folder.h"

namespace {

// The Z80 GDB tools/z80-gdb.sh has built, or none.
std::string z80_gdb() {
    const char* given = std::getenv("ORLIX_Z80_GDB");
    if (given) return given;
    const std::string script = std::string(ORLIX_SOURCE_DIR) + "/tools/z80-gdb.sh --path 2>/dev/null";
    FILE* pipe = popen(script.c_str(), "r");
    if (!pipe) return {};
    char path[4096] = {};
    const bool found = std::fgets(path, sizeof path, pipe) != nullptr;
    pclose(pipe);
    std::string text = found ? path : "";
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The first match's first group of `pattern` in `text`, or "".
std::string found(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}

// The same as a number (hex with 0x, else decimal); -1 where there is none.
long number_found(const std::string& text, const std::string& pattern) {
    const std::string value = found(text, pattern);
    return value.empty() ? -1 : std::stol(value, nullptr, 0);
}

class RealGdb : public TemporaryFolder {
protected:
    std::string gdb = z80_gdb();

    void SetUp() override {
        TemporaryFolder::SetUp();
        if (gdb.empty()) GTEST_SKIP() << "no Z80 GDB here: tools/z80-gdb.sh builds one";
    }

    // Runs GDB in batch mode on `commands`; what it printed.
    std::string run_gdb(const std::vector<std::string>& commands, const std::string& name) {
        std::ofstream script(dir / (name + ".gdb"));
        script << "set pagination off\nset confirm off\nset width 0\n";
        for (const std::string& command : commands) script << command << "\n";
        script.close();
        const std::string line = gdb + " -nx -batch -x " + (dir / (name + ".gdb")).string() + " > " +
                                 (dir / (name + ".out")).string() + " 2>&1";
        [[maybe_unused]] const int status = std::system(line.c_str());
        return file_text(dir / (name + ".out"));
    }
};

// The session the tests give GDB, as far as `detach`: what
// tests/gdb/fixtures/first_session.gdb asks (the window's test asks it too).
std::vector<std::string> first_session(int port) {
    std::vector<std::string> commands = {"target remote 127.0.0.1:" + std::to_string(port)};
    std::istringstream lines(file_text(std::string(ORLIX_SOURCE_DIR) + "/tests/gdb/fixtures/first_session.gdb"));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) commands.push_back(line);
    return commands;
}

TEST_F(RealGdb, EveryCommandAnswersRightInBothModels) {
    for (const char* model : {"simple", "hardware"}) {
        SCOPED_TRACE(model);
        const int port = free_port();
        Finished finished;
        std::thread run([&] {
            finished = run_orlix({"--headless", std::string("--model=") + model, "--rom",
                                  ORLIX_SHARED_DIR "/roms/zx81.rom", "--gdb=" + std::to_string(port), "--run-for",
                                  "60"},
                                 dir);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::string first = run_gdb(first_session(port), "first");
        // All thirteen of GDB's registers, PC 0 at power-up.
        for (const char* name : {"af", "bc", "de", "hl", "sp", "pc", "ix", "iy", "af'", "bc'", "de'", "hl'", "ir"})
            EXPECT_NE(found(first, std::string("\n") + name + " +(0x[0-9a-f]+)"), "") << name << "\n" << first;
        EXPECT_EQ(found(first, "\npc +(0x[0-9a-f]+)"), "0x0");
        EXPECT_NE(first.find("Breakpoint 1, 0x00000038"), std::string::npos) << first;
        EXPECT_EQ(found(first, "\\$1 = (0x[0-9a-f]+)"), "0x38");
        const long sp = number_found(first, "\\$2 = (0x[0-9a-f]+)");
        EXPECT_TRUE(sp >= 0x4000 && sp < 0x8000) << std::hex << sp;
        // The interrupt came in the display, run above 0x7FFF.
        EXPECT_GE(number_found(first, ":\\s+(0x[0-9a-f]+)\n"), 0x8000) << first;
        EXPECT_EQ(found(first, "\\$3 = (0x[0-9a-f]+)"), "0x39");
        EXPECT_NE(first.find("Hardware watchpoint 2: *(unsigned int*)0x4034"), std::string::npos);
        const long old_frames = number_found(first, "Old value = (\\d+)");
        EXPECT_GT(old_frames, 0) << first;
        EXPECT_EQ(number_found(first, "New value = (\\d+)"), old_frames - 1) << "FRAMES counts down";
        EXPECT_NE(found(first, "(=> 0x[0-9a-f]+:\t\\w+)"), "") << first;
        EXPECT_EQ(found(first, "\\$4 = (0x[0-9a-f]+)"), "0x1234");
        EXPECT_NE(found(first, "(I=[0-9A-F]{2} R=[0-9A-F]{2} IFF1=[01] IFF2=[01] IM=[012] HALT=\\w+)"), "") << first;
        for (const char* name : {"iff1", "iff2", "im", "tstates", "frames"})
            EXPECT_NE(found(first, std::string("\n") + name + " +(0x[0-9a-f]+)"), "") << name;
        EXPECT_NE(first.find("[Inferior 1 (Remote target) detached]"), std::string::npos) << first;
        // Again at once, and the session killed.
        const std::string second = run_gdb({"target remote 127.0.0.1:" + std::to_string(port), "p/x $pc", "kill"},
                                           "second");
        EXPECT_NE(found(second, "\\$1 = (0x[0-9a-f]+)"), "") << second;
        EXPECT_NE(second.find("[Inferior 1 (Remote target) killed]"), std::string::npos) << second;
        run.join();
        EXPECT_EQ(finished.status, 0) << finished.err;
        EXPECT_EQ(finished.err.find("refused"), std::string::npos) << finished.err;
    }
}

// With ORLIX_RECORD_GDB set to a file, the first session of the hardware
// model is recorded there as the replay test reads it: a line "> packet"
// for each packet GDB sent, "< reply" for each it received.
TEST_F(RealGdb, RecordsASession) {
    const char* record = std::getenv("ORLIX_RECORD_GDB");
    if (!record) GTEST_SKIP() << "ORLIX_RECORD_GDB names no file to record to";
    const int port = free_port();
    std::thread run([&] {
        run_orlix({"--headless", "--model=hardware", "--rom", ORLIX_SHARED_DIR "/roms/zx81.rom",
                   "--gdb=" + std::to_string(port), "--run-for", "60"},
                  dir);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<std::string> commands = {"set debug remote-packet-max-chars unlimited", "set debug remote 1"};
    for (const std::string& command : first_session(port)) commands.push_back(command);
    const std::string log = run_gdb(commands, "record");
    run.join();
    // The packets, each sent one with the replies it had.
    std::vector<std::vector<std::string>> exchanges;
    std::istringstream lines(log);
    const std::regex sent(R"(Sending packet: \$(.*)#[0-9a-f]{2}$)"), received(R"(Packet received: (.*)$)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, sent)) exchanges.push_back({"> " + match[1].str()});
        else if (std::regex_search(line, match, received) && !exchanges.empty())
            exchanges.back().push_back("< " + match[1].str());
    }
    // GDB's Z80 frames scan the whole stack, two reads a word, at each stop:
    // of a long run of memory reads the first and last few are kept.
    constexpr size_t kept = 24;
    std::ofstream out(record);
    out << "# GDB 13.1 (tools/z80-gdb.sh) and orlix --headless --model=hardware --gdb: the packets of\n"
           "# tests/headless/real_gdb_test.cpp's first session, as GDB's 'set debug remote 1' showed them\n"
           "# (\"> \" sent, \"< \" received), long runs of memory reads cut to their ends.\n";
    for (size_t i = 0; i < exchanges.size();) {
        size_t run = i;
        while (run < exchanges.size() && exchanges[run][0].starts_with("> m")) ++run;
        const size_t length = run - i;
        for (size_t k = i; k < std::max(run, i + 1); ++k) {
            if (length > 2 * kept && k == i + kept) out << "# " << length - 2 * kept << " memory reads left out\n";
            if (length > 2 * kept && k >= i + kept && k < run - kept) continue;
            for (const std::string& line : exchanges[k]) out << line << "\n";
        }
        i = std::max(run, i + 1);
    }
}

}  // namespace
