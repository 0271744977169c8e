#!/usr/bin/env bash
# Configures and builds everything into build/ (the program, its data beside
# it, the tests and the benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
