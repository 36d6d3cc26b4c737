#!/usr/bin/env bash
# tests/skvinst/wine-gui.sh STATE PROGRAM.exe [ARGS...]: runs one of Setup's test programs under
# Wine (through scripts/wine-run.sh) in the prefix STATE/prefix, on an X display: a virtual one of
# its own when there is none.
#
# Setup searches every fixed drive, so the prefix has only these: C: and the test drives M: to P:
# (links to STATE/drives/m ... p). Drive Z:, the Unix root through which the tests reach the build
# tree, is declared a network drive, and the user folders that Wine links to $HOME are made plain
# folders, so that nothing beyond the prefix and the test drives is searched.
set -euo pipefail
state=$(realpath -m "${1:?usage: wine-gui.sh STATE PROGRAM.exe [ARGS...]}")
shift
exe=${1:?usage: wine-gui.sh STATE PROGRAM.exe [ARGS...]}
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "wine-gui: no display, and no xvfb-run to make one" >&2; exit 1; }
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$state" "$@"
fi

mkdir -p "$state"
export SKV_WINEPREFIX=$state/prefix
prefix=$SKV_WINEPREFIX
wine_run=$root/scripts/wine-run.sh
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

prepare() {
  if [ ! -f "$prefix/.skvinst-ready" ]; then
    # wine-run.sh makes the prefix as it makes every test prefix; listing the tests is harmless.
    "$wine_run" "$exe" --gtest_list_tests >/dev/null 2>&1 || true
    WINEPREFIX=$prefix "$wineserver" -w
    find "$prefix/drive_c/users" -type l | while read -r link; do
      rm -f "$link"
      mkdir -p "$link"
    done
    local reg=$prefix/drive_c/windows/system32/reg.exe
    "$wine_run" "$reg" add 'HKLM\Software\Wine\Drives' /v z: /d network /f >/dev/null
    # There is no window manager on a virtual display: Wine places the windows and draws their
    # frames itself, and does not wait for a manager to confirm that a window was hidden.
    "$wine_run" "$reg" add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    "$wine_run" "$reg" add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
    WINEPREFIX=$prefix "$wineserver" -w
    touch "$prefix/.skvinst-ready"
  fi
  for drive in "$prefix"/dosdevices/?:; do
    case ${drive##*/} in
      c: | m: | n: | o: | p: | z:) ;;
      *) rm -f "$drive" ;;
    esac
  done
  # Each run starts with empty test drives (here, since deleting a test's tree of folders
  # through Wine takes longer than the test).
  for letter in m n o p; do
    rm -rf "${state:?}/drives/$letter"
    mkdir -p "$state/drives/$letter"
    ln -sfn "$state/drives/$letter" "$prefix/dosdevices/$letter:"
  done
}

(
  flock 9
  prepare
) 9>"$state/prepare.lock"

status=0
"$wine_run" "$@" || status=$?
# The next test has another X server: nothing of this session may linger.
WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
exit $status
