// Runs a CP/M .COM program (zexdoc, zexall) on the core and prints what it
// prints. With --expect-ok N (and --expect-errors M, 0 by default) the exit
// status says whether the run finished with exactly N groups reported "OK"
// and M in error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cpm_machine.h"

namespace {

int count(const std::string& text, const std::string& word) {
    int n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    int expect_ok = -1;
    int expect_errors = 0;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--expect-ok") == 0 && i + 1 < argc)
            expect_ok = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--expect-errors") == 0 && i + 1 < argc)
            expect_errors = std::atoi(argv[++i]);
        else
            path = argv[i];
    }
    if (!path) {
        std::fprintf(stderr, "usage: cpm_run [--expect-ok N [--expect-errors M]] program.com\n");
        return 2;
    }
    const CpmRun run = cpm_run_program(path, 0, true);
    if (!run.loaded) {
        std::fprintf(stderr, "cpm_run: cannot read %s\n", path);
        return 2;
    }
    const int ok = count(run.output, "  OK");
    const int errors = count(run.output, "ERROR");
    std::printf("\ncpm_run: %d groups OK, %d in error, %llu cycles\n", ok, errors,
                static_cast<unsigned long long>(run.cycles));
    if (expect_ok >= 0 && (ok != expect_ok || errors != expect_errors || !run.finished)) return 1;
    return 0;
}
