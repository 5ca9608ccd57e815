#!/usr/bin/env bash
# Runs every test: native, with the address and thread sanitizers, the Windows builds (x64 and
# x86) under 64-bit and 32-bit Wine, a short regression run of every fuzz target on its corpus
# (one test per target; skipped where clang could not be installed), and the Debian packages
# built and checked in a temporary folder ("packages": scripts/package-test.sh, one test per
# check). Installs what a fresh Debian machine lacks first.
# Usage: scripts/test.sh [preset ...]
#   (default: linux linux-asan linux-tsan windows windows-x86 fuzz packages)
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan linux-tsan windows windows-x86 fuzz packages)
jobs=$(nproc)
passed=0
failed=0
failed_presets=()

for preset in "${presets[@]}"; do
  if [ "$preset" = fuzz ] && ! { command -v clang++ && command -v clang; } >/dev/null; then
    echo "=== fuzz: skipped, clang could not be installed"
    continue
  fi
  if [ "$preset" = packages ]; then
    echo "=== packages: build and check"
    out=$(mktemp)
    scripts/package-test.sh 2>&1 | tee "$out"
    status=${PIPESTATUS[0]}
    good=$(grep -c '^ok: ' "$out")
    bad=$(grep -c '^FAIL: ' "$out")
    rm -f "$out"
    # A run that stopped without saying which check failed still counts as one failure.
    [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || bad=1
    passed=$((passed + good))
    failed=$((failed + bad))
    [ "$status" -eq 0 ] || failed_presets+=(packages)
    continue
  fi
  echo "=== ${preset}: build"
  if ! cmake --preset "$preset" >"build-${preset}.log" 2>&1 ||
     ! cmake --build --preset "$preset" -j "$jobs" >>"build-${preset}.log" 2>&1; then
    tail -n 60 "build-${preset}.log"
    failed=$((failed + 1))
    failed_presets+=("${preset} (build)")
    continue
  fi
  rm -f "build-${preset}.log"
  echo "=== ${preset}: test"
  out=$(mktemp)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$out"
  status=${PIPESTATUS[0]}
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -n 1)
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  rm -f "$out"
  if [ -z "$summary" ]; then
    failed=$((failed + 1))
    failed_presets+=("${preset} (no tests ran)")
  else
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  [ "$status" -eq 0 ] || failed_presets+=("$preset")
done

[ ${#failed_presets[@]} -eq 0 ] || echo "failed: ${failed_presets[*]}"
echo "${passed} passed, ${failed} failed"
[ ${#failed_presets[@]} -eq 0 ]
