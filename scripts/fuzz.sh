#!/usr/bin/env bash
# Fuzzes every parser and the request pipeline, each target for SECONDS (default 60), starting
# from the seeds in tests/fuzz/corpus/. New corpus entries and crashes are kept outside the
# repository, in FUZZ_WORK (default ~/.cache/pixwall-fuzz): <target>/corpus/ and
# <target>/crash-*. Ends with one line per target: runs, runs per second, edges covered.
# Usage: scripts/fuzz.sh [SECONDS] [target ...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
work=${FUZZ_WORK:-$HOME/.cache/pixwall-fuzz}

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang is not installed (scripts/setup.sh installs it); nothing fuzzed"
  exit 0
fi
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$(nproc)" >/dev/null || exit 1

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in tests/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
# The targets write their scratch files here; memory is faster than the disk.
[ -d /dev/shm ] && export TMPDIR=/dev/shm

summary=()
status=0
for target in "${targets[@]}"; do
  mkdir -p "$work/$target/corpus"
  log="$work/$target/last-run.log"
  echo "=== $target: ${seconds}s"
  build/fuzz/tests/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/$target/" "$work/$target/corpus" "tests/fuzz/corpus/$target" \
    >"$log" 2>&1
  rc=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n 1)
  speed=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+)/\1/p' "$log" | tail -n 1)
  edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  result=ok
  if [ "$rc" -ne 0 ]; then
    result="FAILED (see $log)"
    grep -m 3 -E 'invariant broken|ERROR: ' "$log"
    status=1
  fi
  summary+=("$(printf '%-24s %12s runs %8s/s %6s edges  %s' "$target" "${runs:-?}" "${speed:-?}" \
    "${edges:-?}" "$result")")
done
printf '%s\n' "${summary[@]}"
exit $status
