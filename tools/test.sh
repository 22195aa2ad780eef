#!/usr/bin/env bash
# The whole test suite: the optimised build with every test (unit tests and
# instruction exercisers, then the window tests), the unit tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Debian package
# built from a clean copy, checked and installed.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORLIX_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j2 -LE window
# The window tests time key presses; they run alone, not beside the exercisers.
ctest --test-dir build --output-on-failure -L window

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DORLIX_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j2 -L unit

tools/package-test.sh
