#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for a bounded
# time from its seed corpus in tests/fuzz/corpus/, after replaying the
# inputs of the findings already mended.
#   scripts/fuzz.sh [seconds per target] [target...]
# 0 seconds only builds the targets and replays the regression inputs.
# New inputs the fuzzer finds go to build-fuzz/corpus/<target>/, crashes to
# build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(codec message profile request replies smtp)

# Findings whose fixes are in. Each one's inputs in
# tests/fuzz/regressions/<target>/<finding>.* are replayed, and the checks
# only a fix can pass are switched on (TOLVAR_FUZZ_FIXED). Add a finding's
# name here once its fix is merged:
#   reply-bound   a reply that never ends is bounded as a whole (smtp)
#   reply-cancel  a cancel between reply lines is reported as the cancel (smtp)
#   encoded-word  encoded words decode in linear time (message)
#   catalogue     the server catalogue loads in linear time (request)
#   uu-cap        UU decoding output is capped (message)
fixed=(
  reply-bound
  reply-cancel
  encoded-word
  catalogue
  uu-cap
)
export TOLVAR_FUZZ_FIXED="${fixed[*]}"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DTOLVAR_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/%/_fuzz}"

limits=(-timeout=10 -rss_limit_mb=2048)
# A mended finding replays within this bound; its input took far longer before.
replay_limits=(-timeout=30 -rss_limit_mb=2048)
mkdir -p build-fuzz/artifacts
status=0
failed=0
for t in "${targets[@]}"; do
  bad=0
  exe=build-fuzz/${t}_fuzz
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  replay=()
  for f in "${fixed[@]}"; do
    for input in tests/fuzz/regressions/"$t"/"$f".*; do
      [ -e "$input" ] || continue
      # Large inputs are kept compressed.
      if [[ "$input" == *.gz ]]; then
        mkdir -p build-fuzz/regressions/"$t"
        gunzip -c "$input" >"build-fuzz/regressions/$t/$(basename "$input" .gz)"
        input="build-fuzz/regressions/$t/$(basename "$input" .gz)"
      fi
      replay+=("$input")
    done
  done
  if [ ${#replay[@]} -gt 0 ]; then
    echo "== $t: replaying ${#replay[@]} regression input(s)"
    "$exe" "${replay_limits[@]}" "${replay[@]}" >"build-fuzz/$t-regressions.log" 2>&1 || {
      tail -n 40 "build-fuzz/$t-regressions.log"
      bad=1
    }
  fi
  if [ "$seconds" -gt 0 ]; then
    echo "== $t: fuzzing for ${seconds}s"
    mkdir -p build-fuzz/corpus/"$t"
    if ! "$exe" "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build-fuzz/artifacts/$t-" "build-fuzz/corpus/$t" "tests/fuzz/corpus/$t" \
        >"build-fuzz/$t.log" 2>&1; then
      tail -n 60 "build-fuzz/$t.log"
      bad=1
    fi
    grep -E "^#[0-9]+.*(DONE|pulse)" "build-fuzz/$t.log" | tail -n 1 || true
  fi
  if [ $bad -ne 0 ]; then
    failed=$((failed + 1))
    status=1
  fi
done
# One closing count, so a reader of the run sees what the targets came to.
echo "fuzz: $(( ${#targets[@]} - failed )) passed, $failed failed"
exit $status
