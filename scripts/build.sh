#!/usr/bin/env bash
# scripts/build.sh PRESET: configure (once) and build one preset.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
# One compiler cache for every checkout of the tree on this machine, so that a fresh clone
# (as CI makes) reuses what an earlier build compiled; paths inside the tree are hashed
# relative to its top.
export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/skyvora-ccache}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
if [ ! -f "build/$preset/build.ninja" ]; then
  cmake --preset "$preset" >/dev/null
fi
cmake --build --preset "$preset"
