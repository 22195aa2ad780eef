// Speed of the processor core: runs a fixed slice of zexdoc unthrottled and
// prints emulated cycles per second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cpm_machine.h"

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "../shared/z80/zexdoc.com";
    const uint64_t slice = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 8'000'000'000ull;

    const auto start = std::chrono::steady_clock::now();
    const CpmRun run = cpm_run_program(path, slice, false);
    const auto stop = std::chrono::steady_clock::now();
    if (!run.loaded) {
        std::fprintf(stderr, "core_bench: cannot read %s\n", path.c_str());
        return 2;
    }
    const double seconds = std::chrono::duration<double>(stop - start).count();
    std::printf("zexdoc slice: %llu cycles in %.3f s = %.0f emulated MHz\n",
                static_cast<unsigned long long>(run.cycles), seconds,
                static_cast<double>(run.cycles) / seconds / 1e6);
    return 0;
}
