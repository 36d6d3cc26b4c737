#!/usr/bin/env bash
# Sets up a fresh machine, builds and runs every test: the normal build, the AddressSanitizer
# build, the threaded tests under ThreadSanitizer, then the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "== checks"
scripts/check-layers.sh
scripts/check-format.sh
jobs=$(nproc)
export CTEST_PARALLEL_LEVEL=$jobs
# ThreadSanitizer cannot map its shadow memory on kernels with high ASLR entropy; run its tests
# without address randomisation where setarch allows it.
norand=""
if setarch "$(uname -m)" -R true 2>/dev/null; then norand="setarch $(uname -m) -R"; fi

for preset in release asan tsan; do
  echo "== $preset build"
  scripts/build.sh "$preset"
  echo "== $preset tests"
  if [ "$preset" = tsan ]; then
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $norand ctest --preset "$preset" -j "$jobs"
  else
    ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" ctest --preset "$preset" -j "$jobs"
  fi
done

echo "== windows"
scripts/test-windows.sh
