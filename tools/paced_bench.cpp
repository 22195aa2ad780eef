// The emulator as a user runs it, measured: the real program (window, timer,
// the periods and what comes between them) idles at the ZX81's prompt for ten
// seconds while this prints the time to the first frame, emulated cycles per
// second, frames per second and the process's CPU time; with sound on, the
// device's underruns and how long the sound waits in it. Needs an X display
// and, for the sound, a sound device (ALSA's default). Usage:
//   paced_bench FOLDER [SECONDS [--moving] [ORLIX OPTIONS AND PROGRAM]]
//   paced_bench FOLDER SECONDS --sound-both [ORLIX OPTIONS AND PROGRAM]
// FOLDER holds what the program needs: zx81.rom and the pictures
// (zxtool.pcx, zx81key.pcx, zx81keys.pcx), as build/desktop does. --moving
// runs a BASIC program that scrolls the whole screen without end, in FAST
// mode, so that the picture changes every frame, rather than the prompt at
// rest; --mode 2 measures full screen. --sound-both runs the program twice, with
// --sound=off and --sound=on, and prints both.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "desktop.h"
#include "pacing.h"
#include "program.h"
#include "zx81.h"

namespace {

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Measures the running program from its own thread, a period at a time:
// the first frame, then, after two seconds for the ROM to boot, the steady
// state for `seconds`; then ends the run.
class Measure {
public:
    Measure(std::chrono::steady_clock::time_point start, double seconds) : start_(start), seconds_(seconds) {}

    bool operator()(const Desktop& desktop, const Zx81& machine) {
        using clock = std::chrono::steady_clock;
        const auto now = clock::now();
        if (desktop.frames_drawn == 0) return true;
        if (first_frame_ < 0) {
            first_frame_ = std::chrono::duration<double>(now - start_).count();
            booted_ = now + std::chrono::seconds(2);
            return true;
        }
        if (now < booted_) return true;
        if (!measuring_) {
            measuring_ = true;
            t0_ = now;
            cycles0_ = machine.cycles_run;
            frames0_ = desktop.frames_drawn;
            cpu0_ = cpu_seconds();
            if (desktop.sound_device) desktop.sound_device->reset_statistics();
            return true;
        }
        const double elapsed = std::chrono::duration<double>(now - t0_).count();
        if (elapsed < seconds_) return true;
        report(desktop, machine, elapsed);
        return false;
    }

private:
    std::chrono::steady_clock::time_point start_, booted_, t0_;
    double seconds_, first_frame_ = -1, cpu0_ = 0;
    bool measuring_ = false;
    uint64_t cycles0_ = 0, frames0_ = 0;

    void report(const Desktop& desktop, const Zx81& machine, double elapsed) const {
        const double cycles = static_cast<double>(machine.cycles_run - cycles0_);
        const double frames = static_cast<double>(desktop.frames_drawn - frames0_);
        const double cpu = cpu_seconds() - cpu0_;
        std::printf("time to first frame: %.1f ms\n", first_frame_ * 1000);
        // A period a tick of the 100.015 Hz timer.
        const double nominal = machine.cpu.period_cycles * 100.015;
        std::printf("%s model, emulated cycles per second: %.0f (%.2f%% of %.0f)\n", model_name(machine.model),
                    cycles / elapsed, 100.0 * cycles / elapsed / nominal, nominal);
        std::printf("frames per second: %.2f\n", frames / elapsed);
        std::printf("CPU time: %.3f s in %.1f s = %.1f%% of one core\n", cpu, elapsed, 100.0 * cpu / elapsed);
        if (const SoundDevice* sound = desktop.sound_device.get()) {
            // A sample is made within its period (at most 10 ms before the
            // period ends) and then waits in the device.
            std::printf("sound: %d Hz, %llu underruns, %llu samples dropped; in the device after each period: mean "
                        "%.1f ms, most %.1f ms; from an OUT to the loudspeaker at most %.1f ms\n",
                        sound->rate(), static_cast<unsigned long long>(sound->underruns()),
                        static_cast<unsigned long long>(sound->dropped()), sound->mean_queued_ms(),
                        sound->most_queued_ms(), sound->most_queued_ms() + 10);
        } else {
            std::printf("sound: none\n");
        }
        std::fflush(stdout);
    }
};

}  // namespace

// Runs this benchmark again with the sound off, then on, and prints both.
int sound_both(int argc, char** argv) {
    for (const char* mode : {"--sound=off", "--sound=on"}) {
        std::vector<char*> args = {argv[0], argv[1], argv[2], const_cast<char*>(mode)};
        for (int i = 4; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        std::printf("== %s\n", mode);
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            execv("/proc/self/exe", args.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }
    return 0;
}

// Makes the moving program, MOVING.P, in a folder of its own: typed in and
// run headless by this same program, it saves itself from its first line,
// so that it goes on running, at its second, as soon as it is loaded.
std::string make_moving_program(const std::string& rom) {
    char folder[] = "/tmp/paced-bench-XXXXXX";
    if (!mkdtemp(folder)) return {};
    const std::string listing = std::string(folder) + "/moving.bas";
    if (FILE* f = std::fopen(listing.c_str(), "w")) {
        // In FAST mode, lines of two kinds one after the other, scrolled up
        // a line at a time: every row of the picture changes each frame.
        std::fputs("10 SAVE \"MOVING\"\n20 FAST\n30 LET A$=\"ABABABABABABABABABABABABABABABABAB\"\n"
                   "40 LET X=1\n50 SCROLL\n60 PRINT A$(X TO X+31)\n70 LET X=3-X\n80 GOTO 50\n",
                   f);
        std::fclose(f);
    }
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder) != 0) _exit(127);
        const char* args[] = {"orlix", "--headless", "--rom", rom.c_str(), "--type-file", "moving.bas",
                              "--keys", "R NEWLINE", "--run-for", "1", nullptr};
        _exit(run_program(10, const_cast<char**>(args)));
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    for (const char* name : {"/MOVING.P", "/MOVING.p"}) {
        const std::string program = std::string(folder) + name;
        if (access(program.c_str(), R_OK) == 0) return program;
    }
    return {};
}

int main(int argc, char** argv) {
    if (argc > 3 && std::string(argv[3]) == "--sound-both") return sound_both(argc, argv);
    if (argc > 1 && chdir(argv[1]) != 0) {
        std::fprintf(stderr, "paced_bench: cannot enter %s\n", argv[1]);
        return 2;
    }
    // Without its pictures the program would stop at a message box, waiting
    // for a key no one presses.
    for (const char* needed : {"zx81.rom", "zxtool.pcx", "zx81key.pcx", "zx81keys.pcx"}) {
        if (access(needed, R_OK) != 0) {
            std::fprintf(stderr, "paced_bench: %s has no %s; FOLDER needs the ROM and the pictures, as build/desktop "
                                 "has them\n", argc > 1 ? argv[1] : ".", needed);
            return 2;
        }
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    // Whatever follows goes to the program as its command line.
    std::vector<char*> program_args = {argv[0]};
    std::string moving;
    for (int i = 3; i < argc; ++i) {
        if (std::string(argv[i]) != "--moving") {
            program_args.push_back(argv[i]);
            continue;
        }
        char here[4096];
        moving = make_moving_program(std::string(getcwd(here, sizeof here) ? here : ".") + "/zx81.rom");
        if (moving.empty()) {
            std::fprintf(stderr, "paced_bench: the moving program could not be made\n");
            return 2;
        }
        std::printf("moving program: %s\n", moving.c_str());
    }
    if (!moving.empty()) program_args.push_back(moving.data());
    program_args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    return run_program(static_cast<int>(program_args.size()) - 1, program_args.data(), Measure(start, seconds));
}
