#!/usr/bin/env bash
# Sets up, builds and starts Tolvar from build/ (the program folder: the
# executable with its data files beside it). Parameters go to tolvar.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --run-only
scripts/build.sh
exec build/tolvar "$@"
