#!/usr/bin/env bash
# Sets up a fresh machine, builds the player and plays the bundled demo movie.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$PWD/build/.ccache}
scripts/build.sh release
bin=build/release/bin
if [ -x "$bin/skvplay" ]; then
  exec "$bin/skvplay" examples/demo.skm "$@"
fi
echo "The player (skvplay) is not built yet: only the stream core exists so far."
echo "Here is what exists: the authoring tool reading a movie stream."
"$bin/skvc" --help
