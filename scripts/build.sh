#!/usr/bin/env bash
# Configures and builds everything into build/ (the program, its data beside
# it, the tests and the benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
# Rebuilds after switching branches are much faster through ccache.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)"
