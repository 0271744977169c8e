#!/bin/sh
# tolvar decode on an mbox of UU parts against GNU uudecode (Debian
# sharutils, on the joined file) and uudeview (Debian uudeview, on the same
# mbox), measured side by side in one run, with peak memory; 1, 8 and 64 MiB
# show how the time grows. Installs the two peers when they are missing.
#
#   bench/decode.sh [BUILD_DIR] [MiB ...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
[ $# -ge 1 ] && shift
[ -x "$build/tolvar" ] || { echo "no $build/tolvar: build it first (scripts/build.sh)" >&2; exit 1; }
missing=""
command -v uudecode >/dev/null || missing="$missing sharutils"
command -v uudeview >/dev/null || missing="$missing uudeview"
[ -x /usr/bin/time ] || missing="$missing time"
if [ -n "$missing" ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
fi
exec /usr/bin/python3 "$here/decode_bench.py" "$build/tolvar" "$@"
