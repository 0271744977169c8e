#!/usr/bin/env bash
# Sets up, builds and runs every test: unit tests, tests against a real SMTP
# server and the end-to-end tests of the real program under Xvfb; then the
# same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/), and every fuzz target for a minute (build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
cd build
if ! ctest -N | grep -q "Total Tests: [1-9]"; then
  echo "No tests were built (is GoogleTest installed?)" >&2
  exit 1
fi
ctest --output-on-failure --timeout 600
cd ..
scripts/sanitize.sh
scripts/fuzz.sh 60
