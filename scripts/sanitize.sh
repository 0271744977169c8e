#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the whole test suite there, end-to-end tests included.
# Leak checks are on; tests/sanitizer/lsan.supp names the only leaks let
# through, those inside system libraries.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-asan -G Ninja -DTOLVAR_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-asan
if ! ctest -N | grep -q "Total Tests: [1-9]"; then
  echo "No tests were built (is GoogleTest installed?)" >&2
  exit 1
fi
ctest --output-on-failure --timeout 900 -E '^e2e_'
# The program under the end-to-end tests writes its reports to files: its
# standard error goes to a scratch folder the tests remove.
reports=$PWD/sanitizer-reports
rm -rf "$reports" && mkdir -p "$reports"
ASAN_OPTIONS=$ASAN_OPTIONS:log_path=$reports/asan UBSAN_OPTIONS=$UBSAN_OPTIONS:log_path=$reports/ubsan \
  ctest --output-on-failure --timeout 900 -R '^e2e_'
if [ -n "$(ls -A "$reports")" ]; then
  echo "Sanitizer reports from the program under the end-to-end tests:" >&2
  head -n 60 "$reports"/* >&2
  exit 1
fi
