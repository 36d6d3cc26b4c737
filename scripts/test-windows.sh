#!/usr/bin/env bash
# scripts/test-windows.sh [--no-movies]: builds the Windows deliverables for both architectures
# and tests them under Wine: the modules' exports, imports and resources (both), the unit tests of
# the parts that do not depend on the platform and of the Windows platform's helpers, our GDI's
# figures against Wine's, and skvplay.exe playing the demo and every movie test, from a file and
# from qmsd on loopback, with its last frames compared with the Linux headless run's
# (--no-movies leaves that out: it takes some minutes of real time). Needs the release build
# (its resource generator, skvc, qmsd, skvplay and the figure catalogue).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
movies=true
[ "${1:-}" = "--no-movies" ] && movies=false

# Under Wine: the 32-bit build when wine32 is there, else the 64-bit one.
if [ -x /usr/lib/wine/wine ] || [ -x /usr/lib/i386-linux-gnu/wine/wine ]; then
  tested=win32 other=win64
else
  tested=win64 other=win32
  echo "wine32 is not installed (the archive's i386 packages could not be installed): the Windows tests run the 64-bit build under wine64"
fi
command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ] || {
  echo "test-windows: Wine is not installed (scripts/setup.sh installs wine and wine64); the Windows tests cannot run" >&2
  exit 1
}

scripts/build-win-deps.sh i686 x86_64
cmake --build build/release --target skvres wine_movies gdi_figures skvplay qmsd skvc examples >/dev/null
echo "== $tested build"
scripts/build.sh "$tested"
# The other architecture: the deliverables only (its tests cannot run here).
echo "== $other build (deliverables)"
[ -f "build/$other/build.ninja" ] || cmake --preset "$other" >/dev/null
cmake --build --preset "$other" --target npskyv32 qa118dec skvplay skvinst_folder

# (Directly, not through ctest: the other architecture's test programs are neither built nor
# runnable here, and ctest would list them.)
for arch in i686 x86_64; do
  preset=$([ $arch = i686 ] && echo win32 || echo win64)
  python3 tests/windows/check_modules.py "$arch-w64-mingw32-objdump" file "$arch" \
    "build/$preset/bin/npskyv32.dll" "build/$preset/bin/qa118dec.dll" "build/$preset/bin/skvplay.exe"
  python3 tests/skvinst/check_setup.py "$arch-w64-mingw32-objdump" file "$arch" "build/$preset/setup"
done

echo "== $tested tests under Wine"
ctest --preset "$tested" -L wine -j "$jobs"

echo "== our GDI's figures against Wine's"
build/release/bin/gdi_figures "build/$tested/figures-linux.bin" >/dev/null
scripts/wine-run.sh "build/$tested/bin/gdi_figures.exe" "build/$tested/figures-wine.bin" >/dev/null
# Reported, not required: the few figures left differ where Wine paints rows it never filled in
# (narrow tall round figures with a brush), which is not the same from one run to the next.
python3 tests/windows/compare_figures.py "build/$tested/figures-linux.bin" "build/$tested/figures-wine.bin" || true

$movies || exit 0
echo "== $tested movies under Wine, against Linux"
# A Wine prefix of their own: the shared one's wineserver may still be up from the runs above,
# started without a display, and its windows could not be shown on this one.
export SKV_WINEPREFIX=$PWD/build/$tested/wine-movies-prefix
xvfb-run -a -s "-screen 0 1280x1024x24" build/release/bin/wine_movies \
  --bin build/release/bin --windows "scripts/wine-run.sh build/$tested/bin/skvplay.exe" \
  --out "build/$tested/wine-movies" \
  --demo build/release/examples/demo.skm examples/demo/visitor.input \
  tests/movies/*/
