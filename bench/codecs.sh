#!/bin/sh
# Encoding throughput of Tolvar's mail codecs against Python's binascii on the
# same samples, measured in one run. Builds nothing: give the build folder
# that holds tolvar_codecs_bench (default: build-msg, then build).
#
#   bench/codecs.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
if [ $# -ge 1 ]; then build=$1; elif [ -x "$root/build-msg/tolvar_codecs_bench" ]; then build=$root/build-msg; else build=$root/build; fi
program=$build/tolvar_codecs_bench
[ -x "$program" ] || { echo "no $program: build the target tolvar_codecs_bench first" >&2; exit 1; }

samples=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-codecs-XXXXXX")
trap 'rm -rf "$samples"' EXIT INT TERM
"$program" "$samples" > "$samples/ours.txt"
/usr/bin/python3 "$here/codecs_peer.py" "$samples" > "$samples/peer.txt"

cat "$samples/ours.txt" "$samples/peer.txt" | awk '
{ bytes[$1, $2] += $4; secs[$1, $2] += $5; one[$1, $2, $3] = $4 / $5 / 1e6; codecs[$2] = 1 }
END {
    printf "%-7s %-7s %12s %12s %7s\n", "codec", "sample", "ours MB/s", "binascii", "ratio"
    n = split("base64 qp uu", order, " ")
    for (i = 1; i <= n; i++) {
        c = order[i]
        split("random text", names, " ")
        for (k = 1; k <= 2; k++)
            printf "%-7s %-7s %12.1f %12.1f %7.2f\n", c, names[k], one["ours", c, names[k]], one["peer", c, names[k]], one["ours", c, names[k]] / one["peer", c, names[k]]
    }
    print ""
    printf "%-7s %12s %12s %7s\n", "codec", "ours MB/s", "binascii", "ratio"
    for (i = 1; i <= n; i++) {
        c = order[i]
        o = bytes["ours", c] / secs["ours", c] / 1e6; p = bytes["peer", c] / secs["peer", c] / 1e6
        printf "%-7s %12.1f %12.1f %7.2f%s\n", c, o, p, o / p, (o >= p ? "" : "  (slower)")
    }
}'
