#!/usr/bin/env bash
# Sets up a fresh machine, builds the player and plays the bundled demo movie.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$PWD/build/.ccache}
scripts/build.sh release
bin=build/release/bin
# The build compiles every example movie into build/release/examples/.
demo=build/release/examples/demo.skm
if [ -x "$bin/skvplay" ]; then
  exec "$bin/skvplay" "$demo" "$@"
fi
echo "The player (skvplay) is not built yet. Here is the demo movie the build made ($demo):"
"$bin/skvc" dump "$demo"
