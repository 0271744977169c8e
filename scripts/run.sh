#!/usr/bin/env bash
# Sets up, builds and starts Tolvar from build/ (the program folder: the
# executable with its data files beside it). Parameters go to tolvar.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --run-only
scripts/build.sh
# From its own folder, as a user who opens it there would.
cd build
exec ./tolvar "$@"
