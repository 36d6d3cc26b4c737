#!/usr/bin/env bash
# scripts/build.sh PRESET: configure (once) and build one preset.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
if [ ! -f "build/$preset/build.ninja" ]; then
  cmake --preset "$preset" >/dev/null
fi
cmake --build --preset "$preset"
