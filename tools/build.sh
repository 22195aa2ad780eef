#!/usr/bin/env bash
# Installs what is missing and builds the program alone, optimised, with its
# pictures, in build/ (tools/test.sh builds the tests and tools as well).
# Prints how long the build took.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh build
start=$(date +%s)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORLIX_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
echo "build/desktop/orlix built in $(($(date +%s) - start)) s"
