#!/usr/bin/env bash
# scripts/wine-run.sh PROGRAM.exe [ARGS...]: runs a Windows program of the build under Wine, the
# 64-bit loader for a PE32+ program, the 32-bit one for PE32. Every run of one architecture shares
# a Wine prefix under ~/.cache (SKV_WINEPREFIX names another), made once, without the .NET and
# HTML engines Wine would otherwise offer to download.
set -euo pipefail
exe=${1:?usage: scripts/wine-run.sh PROGRAM.exe [ARGS...]}

# The machine field of the PE header says which loader.
pe=$(od -An -tu4 -j 60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j $((pe + 4)) -N2 "$exe" | tr -d ' ')
case $machine in
  8664) arch=64 ;;
  014c) arch=32 ;;
  *) echo "wine-run: $exe is not a Windows program for x86 or x86-64 (machine $machine)" >&2; exit 2 ;;
esac

loader=""
if [ "$arch" = 64 ]; then
  for l in wine64 /usr/lib/wine/wine64; do command -v "$l" >/dev/null && { loader=$(command -v "$l"); break; }; done
else
  # The 32-bit loader comes with the wine32 package (of the i386 architecture).
  for l in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do [ -x "$l" ] && { loader=$l; break; }; done
fi
if [ -z "$loader" ]; then
  if [ "$arch" = 32 ]; then
    echo "wine-run: cannot run the 32-bit $exe: wine32 (i386) is not installed; scripts/setup.sh installs it when the archive's i386 packages allow" >&2
  else
    echo "wine-run: cannot run $exe: wine64 is not installed (scripts/setup.sh installs it)" >&2
  fi
  exit 1
fi

export WINEPREFIX=${SKV_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/skyvora-wine/win$arch}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # One prefix is made at a time, however many tests start at once.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      if [ "$arch" = 32 ]; then export WINEARCH=win32; fi
      "$loader" wineboot --init >/dev/null 2>&1 || true
      wineserver=$(dirname "$loader")/wineserver
      [ -x "$wineserver" ] || wineserver=wineserver
      "$wineserver" -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$loader" "$@"
