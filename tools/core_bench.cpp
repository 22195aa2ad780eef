// Speed of the processor core: runs a fixed slice of zexdoc unthrottled,
// several times, and prints emulated cycles per second for each run, the
// best and the median. A busy host slows some runs down; the best run shows
// the core, the median the host.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cpm_machine.h"

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "../shared/z80/zexdoc.com";
    const uint64_t slice = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 8'000'000'000ull;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    std::vector<double> mhz;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const CpmRun result = cpm_run_program(path, slice, false);
        const auto stop = std::chrono::steady_clock::now();
        if (!result.loaded) {
            std::fprintf(stderr, "core_bench: cannot read %s\n", path.c_str());
            return 2;
        }
        const double seconds = std::chrono::duration<double>(stop - start).count();
        mhz.push_back(static_cast<double>(result.cycles) / seconds / 1e6);
        std::printf("zexdoc slice: %llu cycles in %.3f s = %.0f emulated MHz\n",
                    static_cast<unsigned long long>(result.cycles), seconds, mhz.back());
    }
    std::sort(mhz.begin(), mhz.end());
    std::printf("best %.0f MHz, median %.0f MHz over %d runs\n", mhz.back(), mhz[mhz.size() / 2], runs);
    return 0;
}
