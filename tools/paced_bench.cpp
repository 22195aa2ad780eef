// The emulator as a user runs it, measured: the real program (window, timer,
// the periods and what comes between them) idles at the ZX81's prompt for ten seconds while this prints
// the time to the first frame, emulated cycles per second, frames per second
// and the process's CPU time. Needs an X display. Usage:
//   paced_bench FOLDER [SECONDS [ORLIX OPTIONS AND PROGRAM]]
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>
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

void measure(std::chrono::steady_clock::time_point start, double seconds) {
    using clock = std::chrono::steady_clock;
    const std::atomic<uint64_t>& frames_drawn = running_desktop().frames_drawn;
    const std::atomic<uint64_t>& cycles_run = zx81.cycles_run;
    while (frames_drawn.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double first_frame = std::chrono::duration<double>(clock::now() - start).count();
    // Let the ROM boot, then measure the steady state.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto t0 = clock::now();
    const uint64_t cycles0 = cycles_run.load();
    const uint64_t frames0 = frames_drawn.load();
    const double cpu0 = cpu_seconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double elapsed = std::chrono::duration<double>(clock::now() - t0).count();
    const double cycles = static_cast<double>(cycles_run.load() - cycles0);
    const double frames = static_cast<double>(frames_drawn.load() - frames0);
    const double cpu = cpu_seconds() - cpu0;
    std::printf("time to first frame: %.1f ms\n", first_frame * 1000);
    // A period a tick of the 100.015 Hz timer.
    const double nominal = zx81.cpu.period_cycles * 100.015;
    std::printf("%s model, emulated cycles per second: %.0f (%.2f%% of %.0f)\n", model_name(zx81.model),
                cycles / elapsed, 100.0 * cycles / elapsed / nominal, nominal);
    std::printf("frames per second: %.2f\n", frames / elapsed);
    std::printf("CPU time: %.3f s in %.1f s = %.1f%% of one core\n", cpu, elapsed,
                100.0 * cpu / elapsed);
    std::fflush(stdout);
    request_quit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && chdir(argv[1]) != 0) {
        std::fprintf(stderr, "paced_bench: cannot enter %s\n", argv[1]);
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    // Whatever follows goes to the program as its command line.
    std::vector<char*> program_args = {argv[0]};
    for (int i = 3; i < argc; ++i) program_args.push_back(argv[i]);
    program_args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    std::thread watcher(measure, start, seconds);
    const int status = run_program(static_cast<int>(program_args.size()) - 1, program_args.data());
    watcher.join();
    return status;
}
