#!/usr/bin/env bash
# Builds the Windows deliverables for both architectures and tests them under Wine: the modules'
# exports, imports and resources; the unit tests of the parts that do not depend on the platform;
# and skvplay.exe playing the demo and every movie test, from a file and from qmsd on loopback,
# with its last frames compared with the Linux headless run's. Needs the release build (its
# resource generator, skvc, qmsd and skvplay).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/build-win-deps.sh i686 x86_64
cmake --build build/release --target skvres wine_movies skvplay qmsd skvc examples >/dev/null
for preset in win32 win64; do
  echo "== $preset build"
  scripts/build.sh "$preset"
done

# The modules as a browser sees them, both architectures.
for preset in win32 win64; do
  ctest --preset "$preset" -L modules
done

# Under Wine: the 32-bit build when wine32 is there, else the 64-bit one.
if [ -x /usr/lib/wine/wine ] || [ -x /usr/lib/i386-linux-gnu/wine/wine ]; then
  preset=win32
else
  preset=win64
  echo "wine32 is not installed (the archive's i386 packages could not be installed): the Windows tests run the 64-bit build under wine64"
fi
echo "== $preset tests under Wine"
ctest --preset "$preset" -L wine -j "$jobs"

echo "== $preset movies under Wine, against Linux"
xvfb-run -a -s "-screen 0 1280x1024x24" build/release/bin/wine_movies \
  --bin build/release/bin --windows "scripts/wine-run.sh build/$preset/bin/skvplay.exe" \
  --out "build/$preset/wine-movies" \
  --demo build/release/examples/demo.skm examples/demo/visitor.input \
  tests/movies/*/
