#!/usr/bin/env bash
# scripts/build-win-deps.sh [i686|x86_64]...: builds the third-party libraries of the Windows
# targets from Debian's own source packages: libjpeg (libjpeg-turbo, with its 6b/62 interface)
# and libopus, as static libraries into build/windeps/ARCH (include/, lib/, lib/pkgconfig/).
# zlib comes from Debian's libz-mingw-w64-dev. The sources are fetched once with apt-get source
# into build/windeps/src, checked against the sha256 sums of their .dsc, and each build is kept
# until the package's version changes. A run with nothing to do prints nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
arches=("$@")
[ ${#arches[@]} -eq 0 ] && arches=(i686 x86_64)
for a in "${arches[@]}"; do
  case $a in i686|x86_64) ;; *) echo "build-win-deps: $a is not i686 or x86_64" >&2; exit 2 ;; esac
done

top=$PWD/build/windeps
src=$top/src
packages=(libjpeg-turbo opus)
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
sudo=""
[ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo=sudo

say() { echo "windeps: $*" >&2; }
fail() { echo "build-win-deps: $*" >&2; exit 1; }

# The version of a source package the archive offers, from its deb-src index.
version_of() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2; exit}'; }

# apt-get source needs a deb-src entry for the archive the machine already uses.
ensure_deb_src() {
  [ -n "$(version_of "${packages[0]}")" ] && return 0
  local list=/etc/apt/sources.list.d/skyvora-src.sources
  if [ ! -f "$list" ]; then
    local uris suites components signed
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      if grep -q '^Types:.*\bdeb\b' "$f" && grep -q '^URIs:.*debian/\?$' "$f"; then
        uris=$(awk -F': ' '/^URIs:/ {print $2; exit}' "$f")
        suites=$(awk -F': ' '/^Suites:/ {print $2; exit}' "$f")
        components=$(awk -F': ' '/^Components:/ {print $2; exit}' "$f")
        signed=$(awk -F': ' '/^Signed-By:/ {print $2; exit}' "$f")
        break
      fi
    done
    if [ -z "${uris:-}" ] && [ -f /etc/apt/sources.list ]; then
      read -r _ uris suites components < <(grep -m1 -E '^deb +(\[[^]]*\] +)?http' /etc/apt/sources.list | sed 's/\[[^]]*\] *//') || true
    fi
    [ -n "${uris:-}" ] || fail "no Debian archive is configured in /etc/apt (no deb entry to take a deb-src entry from)"
    say "adding a deb-src entry for $uris ($suites) in $list"
    {
      echo "Types: deb-src"
      echo "URIs: $uris"
      echo "Suites: $suites"
      echo "Components: ${components:-main}"
      [ -n "${signed:-}" ] && echo "Signed-By: $signed"
    } | $sudo tee "$list" >/dev/null || fail "cannot write $list: run me as root (or with sudo)"
  fi
  # One index may fail to download while the mirror syncs; the others still count.
  $sudo apt-get update -qq >/dev/null 2>&1 || say "apt-get update did not fully succeed; using the lists as they are"
  [ -n "$(version_of "${packages[0]}")" ] || fail "the Debian archive did not answer for source package ${packages[0]} (apt-get update, then apt-cache showsrc ${packages[0]})"
}

# Checks every file the .dsc lists against its Checksums-Sha256 section.
verify() {
  local dsc=$1 ok=0
  while read -r sum _ file; do
    [ -n "$file" ] || continue
    if [ ! -f "$src/$file" ] || [ "$(sha256sum "$src/$file" | cut -d' ' -f1)" != "$sum" ]; then
      ok=1
      rm -f "$src/$file"
    fi
  done < <(awk '/^Checksums-Sha256:/ {on=1; next} /^[^ ]/ {on=0} on {print}' "$src/$dsc")
  return $ok
}

# Fetches and unpacks a source package once; prints the folder it is in.
unpack() {
  local pkg=$1 version=$2 upstream dsc dir
  upstream=${version#*:}
  dsc=${pkg}_${upstream}.dsc
  dir=$src/$pkg-${upstream%-*}
  mkdir -p "$src"
  if [ ! -f "$src/$dsc" ] || ! verify "$dsc"; then
    say "fetching source package $pkg $version"
    (cd "$src" && apt-get source --download-only "$pkg=$version" >"$src/$pkg.fetch.log" 2>&1) ||
      fail "the Debian archive did not give source package $pkg $version (see $src/$pkg.fetch.log)"
    verify "$dsc" || fail "$pkg $version: a file does not match the sha256 sum its .dsc gives; it was removed, run me again"
  fi
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir"
    # The sums were checked above; the signature's key may not be on this machine.
    (cd "$src" && dpkg-source --no-check -x "$dsc" "$dir" >"$src/$pkg.unpack.log" 2>&1) ||
      fail "cannot unpack $pkg (see $src/$pkg.unpack.log)"
    touch "$dir/.unpacked"
  fi
  echo "$dir"
}

run_logged() {
  local log=$1
  shift
  if ! "$@" >>"$log" 2>&1; then
    tail -30 "$log" >&2
    fail "$(basename "$log" .log) failed for $arch (log: $log)"
  fi
}

build_jpeg() {
  local dir=$1 prefix=$2 work=$3
  cat >"$work/toolchain.cmake" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $arch-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER $arch-w64-mingw32-windres)
TC
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # No SIMD: it needs nasm, and the player decodes small pictures.
  run_logged "$work/libjpeg-turbo.log" cmake -S "$dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix"
  run_logged "$work/libjpeg-turbo.log" ninja -C "$work/build" -j "$jobs" jpeg-static
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$work/build/libjpeg.a" "$prefix/lib/"
  cp "$work/build/jconfig.h" "$dir/jpeglib.h" "$dir/jmorecfg.h" "$dir/jerror.h" "$prefix/include/"
}

build_opus() {
  local dir=$1 prefix=$2 work=$3
  rm -rf "$work/build" && mkdir -p "$work/build"
  local cc=$arch-w64-mingw32-gcc-posix
  command -v ccache >/dev/null && cc="ccache $cc"
  # _FORTIFY_SOURCE=0 keeps configure from adding its own, whose checks need libssp's DLL.
  (cd "$work/build" && run_logged "$work/opus.log" "$dir/configure" --host="$arch-w64-mingw32" \
    CC="$cc" CPPFLAGS=-D_FORTIFY_SOURCE=0 CFLAGS=-O2 --disable-shared --enable-static \
    --disable-doc --disable-extra-programs --disable-stack-protector --prefix="$prefix")
  run_logged "$work/opus.log" make -C "$work/build" -j "$jobs"
  run_logged "$work/opus.log" make -C "$work/build" install
  rm -f "$prefix/lib/libopus.la"
}

for arch in "${arches[@]}"; do
  command -v "$arch-w64-mingw32-gcc-posix" >/dev/null ||
    fail "$arch-w64-mingw32-gcc-posix is missing: scripts/setup.sh installs it (package g++-mingw-w64-${arch//_/-}-posix)"
  prefix=$top/$arch
  for pkg in "${packages[@]}"; do
    stamp_glob=("$prefix"/.stamp-"$pkg"-*)
    want=""
    if [ -f "${stamp_glob[0]}" ]; then
      # Built before: rebuilt only when the archive offers another version.
      want=$(version_of "$pkg" || true)
      [ -z "$want" ] && continue
      [ -f "$prefix/.stamp-$pkg-$want" ] && continue
    fi
    ensure_deb_src
    want=$(version_of "$pkg")
    dir=$(unpack "$pkg" "$want")
    say "building $pkg $want for $arch"
    work=$prefix/work/$pkg
    rm -rf "$work" && mkdir -p "$work"
    case $pkg in
      libjpeg-turbo) build_jpeg "$dir" "$prefix" "$work" ;;
      opus) build_opus "$dir" "$prefix" "$work" ;;
    esac
    rm -f "$prefix"/.stamp-"$pkg"-*
    touch "$prefix/.stamp-$pkg-$want"
  done
done
