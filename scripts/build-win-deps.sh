#!/usr/bin/env bash
# Usage: scripts/build-win-deps.sh [--help] [ARCH...]     ARCH: i686 or x86_64 (both if none)
#
# Builds the third-party libraries of the Windows targets from Debian's own source packages, as
# static libraries for mingw-w64 (posix thread model), into build/windeps/ARCH:
#   libjpeg-turbo (its 6b/62 interface)  lib/libjpeg.a, include/{jpeglib,jconfig,jmorecfg,jerror}.h
#   opus                                  lib/libopus.a, include/opus/*.h, lib/pkgconfig/opus.pc
# zlib comes from Debian's libz-mingw-w64-dev. The sources are fetched once with
# 'apt-get source --download-only' into build/windeps/src (a deb-src entry for the machine's
# Debian archive is added when there is none), every file is checked against the sha256 sums of
# its .dsc, and dpkg-source unpacks them with Debian's patches. A build is kept (stamp
# build/windeps/ARCH/.stamp-PACKAGE-VERSION) until the archive offers another version; a run
# with nothing to do prints nothing. Build logs: build/windeps/ARCH/logs/PACKAGE.log.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; }

arches=()
for a in "$@"; do
  case $a in
    -h|--help) usage; exit 0 ;;
    i686|x86_64) [[ " ${arches[*]-} " == *" $a "* ]] || arches+=("$a") ;;
    *) echo "build-win-deps: '$a' is not i686 or x86_64 (see --help)" >&2; exit 2 ;;
  esac
done
[ ${#arches[@]} -gt 0 ] || arches=(i686 x86_64)

root=$PWD
top=$root/build/windeps
src=$top/src
srclogs=$top/logs
packages=(libjpeg-turbo opus)
jobs=$(nproc 2>/dev/null || echo 1)
[ "$jobs" -gt 2 ] && jobs=2
src_list=/etc/apt/sources.list.d/skyvora-src.sources

say() { echo "windeps: $*"; }
warn() { echo "windeps: warning: $*" >&2; }
fail() { echo "build-win-deps: $*" >&2; exit 1; }

# Root, or sudo; otherwise say what to run by hand.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    fail "'$*' needs root and sudo is not installed: run it as root, then run me again"
  fi
}

# --- the source packages -------------------------------------------------------------------

# The newest version of a source package that the deb-src indexes offer (empty if none).
version_of() {
  local v best=""
  while read -r v; do
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done < <(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ {print $2}')
  echo "$best"
}

# The sha256 of FILE in the Sources record of PKG VERSION (the .dsc's own sum, which apt took from
# the archive's signed index).
index_sum() {
  apt-cache showsrc --only-source "$1" 2>/dev/null | awk -v ver="$2" -v file="$3" '
    /^$/ {ver_ok=0; on=0}
    /^Version:/ {ver_ok=($2 == ver)}
    /^[^ ]/ {on=($1 == "Checksums-Sha256:")}
    /^ / && on && ver_ok && $3 == file {print $1; exit}'
}

has_deb_src() {
  local f
  [ -f /etc/apt/sources.list ] && grep -Eq '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list && return 0
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -Eq '^[[:space:]]*deb-src[[:space:]]' "$f" && return 0
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && grep -Eqi '^Types:.*(^|[[:space:]])deb-src([[:space:]]|$)' "$f" && return 0
  done
  return 1
}

# Prints a deb822 deb-src stanza with the URIs, Suites, Components and Signed-By of the
# machine's deb entry for the Debian archive (deb.debian.org/debian first, else any .../debian).
deb_src_stanza() {
  local f want out
  for want in '://deb\.debian\.org/debian/?$' '/debian/?$'; do
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      out=$(awk -v want="$want" '
        function flush() {
          if (is_deb && uri_ok && enabled && body != "") { print "Types: deb-src"; printf "%s", body; found=1; exit }
          is_deb=0; uri_ok=0; enabled=1; body=""; field=""
        }
        BEGIN {enabled=1}
        /^#/ {next}
        /^[[:space:]]*$/ {flush(); next}
        /^[^ \t]/ {
          field=tolower(substr($0, 1, index($0, ":") - 1))
          if (field == "types") { for (i = 2; i <= NF; i++) if ($i == "deb") is_deb=1 }
          if (field == "enabled" && tolower($2) == "no") enabled=0
          if (field == "uris") { for (i = 2; i <= NF; i++) if ($i ~ want) uri_ok=1 }
        }
        field == "uris" || field == "suites" || field == "components" || field == "signed-by" {body = body $0 "\n"}
        END { if (!found) flush() }' "$f")
      [ -n "$out" ] && { echo "$out"; return 0; }
    done
    # One-line form: deb [options] URI SUITE COMPONENT...
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      out=$(awk -v want="$want" '
        /^[[:space:]]*deb[[:space:]]/ {
          line=$0; opts=""
          if (match(line, /\[[^]]*\]/)) { opts=substr(line, RSTART + 1, RLENGTH - 2); line=substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH) }
          n=split(line, w, /[[:space:]]+/); k=(w[1] == "" ? 2 : 1)
          uri=w[k + 1]; suite=w[k + 2]
          if (uri !~ want) next
          if (first == "") { first=uri; comps=""; for (i = k + 3; i <= n; i++) comps=comps (comps == "" ? "" : " ") w[i]
            m=split(opts, o, /[[:space:]]+/); for (i = 1; i <= m; i++) if (o[i] ~ /^signed-by=/) signed=substr(o[i], 11) }
          if (uri == first && index(" " suites " ", " " suite " ") == 0) suites=suites (suites == "" ? "" : " ") suite
        }
        END {
          if (first == "") exit
          print "Types: deb-src"; print "URIs: " first; print "Suites: " suites; print "Components: " (comps == "" ? "main" : comps)
          if (signed != "") print "Signed-By: " signed
        }' "$f")
      [ -n "$out" ] && { echo "$out"; return 0; }
    done
  done
  return 1
}

apt_update() {
  mkdir -p "$srclogs"
  say "apt-get update"
  # One index (often an unrelated one) may be out of sync while a mirror syncs; the others count.
  as_root apt-get update >"$srclogs/apt-update.log" 2>&1 ||
    warn "apt-get update did not fully succeed (see $srclogs/apt-update.log); going on with the lists as they are"
}

# Makes apt know the deb-src of the Debian archive: adds an entry when there is none (or apt
# finds no source package $1), and refreshes the lists, once a run.
ensure_deb_src() {
  [ -n "${deb_src_done:-}" ] && return 0
  deb_src_done=1
  if ! has_deb_src || [ -z "$(version_of "$1")" ]; then
    if [ ! -f "$src_list" ]; then
      local stanza
      if ! stanza=$(deb_src_stanza); then
        local codename
        # shellcheck disable=SC1091
        codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-bookworm}") || codename=bookworm
        warn "no deb entry for the Debian archive could be read from /etc/apt; using deb.debian.org ($codename)"
        stanza=$(printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$codename" "$codename")
      fi
      say "adding deb-src entry $src_list ($(echo "$stanza" | awk '/^URIs:/ {sub(/^URIs:[[:space:]]*/, ""); printf "%s", $0}'))"
      printf '%s\n' "$stanza" | as_root tee "$src_list" >/dev/null || fail "cannot write $src_list"
    fi
  fi
  apt_update
}

# Checks every file the .dsc lists against its Checksums-Sha256 section; on a mismatch removes
# the bad file (and the .dsc) so that a rerun fetches them again. Returns 1 if files are missing.
verify_dsc() {
  local dsc=$1 sum file got n=0 missing=0
  while read -r sum _ file; do
    [ -n "$file" ] || continue
    n=$((n + 1))
    if [ ! -f "$src/$file" ]; then missing=1; continue; fi
    got=$(sha256sum "$src/$file" | cut -d' ' -f1)
    if [ "$got" != "$sum" ]; then
      rm -f "$src/$file" "$src/$dsc"
      fail "$file does not match the sha256 sum in $dsc (expected $sum, got $got); removed it, run me again to fetch it anew"
    fi
  done < <(awk '/^Checksums-Sha256:/ {on=1; next} /^[^ ]/ {on=0} on' "$src/$dsc")
  [ "$n" -gt 0 ] || { rm -f "$src/$dsc"; fail "$dsc lists no Checksums-Sha256; removed it, run me again"; }
  return $missing
}

need_dpkg_source() {
  command -v dpkg-source >/dev/null && return 0
  say "installing dpkg-dev (for dpkg-source)"
  as_root apt-get install -y --no-install-recommends dpkg-dev >"$srclogs/dpkg-dev-install.log" 2>&1 || {
    apt_update
    as_root apt-get install -y --no-install-recommends dpkg-dev >"$srclogs/dpkg-dev-install.log" 2>&1
  } || { tail -30 "$srclogs/dpkg-dev-install.log" >&2; fail "could not install dpkg-dev (apt-get install dpkg-dev)"; }
}

# Fetches (once), checks and unpacks source package $1 at version $2 into $src; sets srcdir (and
# want and version, when the lists had to be refreshed to fetch it).
prepare_source() {
  local pkg=$1 version=$2 noepoch upstream dsc expect got log
  noepoch=${version#*:}
  upstream=${noepoch%-*}
  dsc=${pkg}_${noepoch}.dsc
  srcdir=$src/$pkg-$upstream
  mkdir -p "$src" "$srclogs"

  # The .dsc itself against the archive's signed index, when apt has that record.
  if [ -f "$src/$dsc" ]; then
    expect=$(index_sum "$pkg" "$version" "$dsc")
    if [ -n "$expect" ] && [ "$(sha256sum "$src/$dsc" | cut -d' ' -f1)" != "$expect" ]; then
      warn "$dsc does not match the archive's index; fetching it again"
      rm -f "$src/$dsc"
    fi
  fi
  if [ ! -f "$src/$dsc" ] || ! verify_dsc "$dsc"; then
    say "fetching source package $pkg $noepoch"
    log=$srclogs/$pkg-fetch.log
    if ! (cd "$src" && apt-get source --download-only "$pkg=$version") >"$log" 2>&1; then
      if [ -z "${deb_src_done:-}" ]; then
        # Perhaps no deb-src entry, or old lists: add or refresh them, and try once more.
        ensure_deb_src "$pkg"
        want=$(version_of "$pkg")
        if [ -n "$want" ]; then
          prepare_source "$pkg" "$want"
          return 0
        fi
      fi
      tail -30 "$log" >&2
      fail "could not fetch source package $pkg $noepoch: the Debian archive did not answer (log: $log)"
    fi
    [ -f "$src/$dsc" ] || fail "apt-get source gave no $dsc for $pkg (log: $log)"
    verify_dsc "$dsc" || fail "apt-get source left files of $dsc missing (log: $log)"
  fi
  expect=$(index_sum "$pkg" "$version" "$dsc")
  got=$(sha256sum "$src/$dsc" | cut -d' ' -f1)
  if [ -n "$expect" ] && [ "$got" != "$expect" ]; then
    rm -f "$src/$dsc"
    fail "$dsc does not match the sha256 sum in the archive's index (expected $expect, got $got); removed it, run me again"
  fi

  # Unpacked once per version, with Debian's patches.
  local mark=$srcdir/.windeps-unpacked-$noepoch
  [ -f "$mark" ] && return 0
  need_dpkg_source
  say "unpacking $pkg $noepoch"
  log=$srclogs/$pkg-unpack.log
  rm -rf "$srcdir"
  if ! (cd "$src" && dpkg-source -x "$dsc" "$srcdir") >"$log" 2>&1; then
    # The sums were checked above; only a missing signature key is let through.
    if grep -Eqi 'signature|public key|keyring|gpgv|OpenPGP' "$log"; then
      rm -rf "$srcdir"
      (cd "$src" && dpkg-source --no-check -x "$dsc" "$srcdir") >>"$log" 2>&1 || {
        tail -30 "$log" >&2; fail "dpkg-source could not unpack $pkg $noepoch (log: $log)"; }
    else
      tail -30 "$log" >&2
      fail "dpkg-source could not unpack $pkg $noepoch (log: $log)"
    fi
  fi
  touch "$mark"
}

# --- the builds ----------------------------------------------------------------------------

installed_files() {
  case $1 in
    libjpeg-turbo) echo lib/libjpeg.a include/jpeglib.h include/jconfig.h include/jmorecfg.h include/jerror.h ;;
    opus) echo lib/libopus.a include/opus/opus.h include/opus/opus_defines.h include/opus/opus_types.h \
      include/opus/opus_multistream.h include/opus/opus_projection.h lib/pkgconfig/opus.pc ;;
  esac
}

# The version whose build is installed for $2 (arch prefix) of package $1, if its files are there.
installed_version() {
  local pkg=$1 prefix=$2 stamp f
  for stamp in "$prefix"/.stamp-"$pkg"-*; do
    [ -f "$stamp" ] || continue
    for f in $(installed_files "$pkg"); do [ -f "$prefix/$f" ] || return 0; done
    echo "${stamp##*/.stamp-"$pkg"-}"
    return 0
  done
}

# Runs a command with its output into $log; on failure shows the log's end and stops.
run_logged() {
  local what=$1
  shift
  echo "+ $*" >>"$log"
  if ! "$@" >>"$log" 2>&1; then
    echo "--- last 30 lines of $log:" >&2
    tail -30 "$log" >&2
    fail "$what failed for $arch (log: $log)"
  fi
}

build_libjpeg_turbo() {
  cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
EOF
  local gen=("Unix Makefiles")
  command -v ninja >/dev/null && gen=(Ninja)
  # Build type None with plain -O2 (as Debian builds it): its Release type turns -O2 into -O3.
  # No SIMD: that needs nasm, and the player decodes small pictures. The default
  # JPEG_LIB_VERSION (62: the 6b interface), no WITH_JPEG7/8.
  run_logged "configuring libjpeg-turbo" cmake -S "$srcdir" -B "$work/build" -G "${gen[0]}" \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=None -DCMAKE_C_FLAGS=-O2 \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix"
  run_logged "building libjpeg-turbo" cmake --build "$work/build" --target jpeg-static -j "$jobs"
  grep -q '^#define JPEG_LIB_VERSION  *62' "$work/build/jconfig.h" ||
    fail "libjpeg-turbo for $arch was not configured with JPEG_LIB_VERSION 62 (see $work/build/jconfig.h)"
  mkdir -p "$work/stage/lib" "$work/stage/include"
  install -m 644 "$work/build/libjpeg.a" "$work/stage/lib/"
  install -m 644 "$work/build/jconfig.h" "$srcdir/jpeglib.h" "$srcdir/jmorecfg.h" "$srcdir/jerror.h" \
    "$work/stage/include/"
}

build_opus() {
  mkdir -p "$work/build"
  # No -fstack-protector-strong and no _FORTIFY_SOURCE (configure adds both when it can): with
  # mingw-w64 both need libssp. _FORTIFY_SOURCE=0 in CPPFLAGS keeps configure from adding =2.
  (cd "$work/build" && run_logged "configuring opus" "$srcdir/configure" --host="$triple" \
    CC="$triple-gcc-posix" CPPFLAGS=-D_FORTIFY_SOURCE=0 CFLAGS=-O2 \
    --disable-shared --enable-static --disable-doc --disable-extra-programs \
    --disable-stack-protector --prefix="$prefix")
  run_logged "building opus" make -C "$work/build" -j "$jobs"
  run_logged "installing opus" make -C "$work/build" install DESTDIR="$work/dest"
  local d=$work/dest$prefix
  mkdir -p "$work/stage/lib/pkgconfig" "$work/stage/include/opus"
  install -m 644 "$d/lib/libopus.a" "$work/stage/lib/"
  install -m 644 "$d/include/opus/"*.h "$work/stage/include/opus/"
  install -m 644 "$d/lib/pkgconfig/opus.pc" "$work/stage/lib/pkgconfig/"
}

# The archive must be for the arch, and must not need libssp (__stack_chk_*, __*_chk).
check_archive() {
  local lib=$1 fmt undef formats
  case $arch in i686) fmt=pe-i386 ;; x86_64) fmt=pe-x86-64 ;; esac
  formats=$("$triple-objdump" -f "$lib" | awk '/file format/ {print $NF}' | sort -u)
  [ "$formats" = "$fmt" ] || fail "$lib is not a $fmt archive (its objects: ${formats//$'\n'/ })"
  undef=$("$triple-nm" -u "$lib" 2>/dev/null | awk '{print $NF}' | grep -E '^_{0,1}(__stack_chk_|__[a-z0-9_]+_chk$)' | sort -u || true)
  [ -z "$undef" ] || fail "$lib for $arch needs libssp (${undef//$'\n'/ }); it would need libssp-0.dll or -lssp"
}

for arch in "${arches[@]}"; do
  triple=$arch-w64-mingw32
  prefix=$top/$arch
  for pkg in "${packages[@]}"; do
    have=$(installed_version "$pkg" "$prefix")
    want=$(version_of "$pkg")
    if [ -n "$have" ]; then
      # Kept until the archive offers another version (or when apt knows none).
      [ -z "$want" ] || [ "$have" = "${want#*:}" ] && continue
    fi
    if [ -z "$want" ]; then
      ensure_deb_src "$pkg"
      want=$(version_of "$pkg")
      [ -n "$want" ] || fail "could not fetch source package $pkg: the Debian archive did not answer (no deb-src index lists it, even after apt-get update; see $srclogs/apt-update.log)"
    fi
    version=${want#*:}

    for tool in gcc-posix g++-posix nm objdump; do
      command -v "$triple-$tool" >/dev/null && continue
      case $tool in
        gcc-posix) p=gcc-mingw-w64-${arch//_/-}-posix ;;
        g++-posix) p=g++-mingw-w64-${arch//_/-}-posix ;;
        *) p=binutils-mingw-w64-${arch//_/-} ;;
      esac
      fail "$triple-$tool is missing: install the package $p (apt-get install $p)"
    done

    prepare_source "$pkg" "$want"
    version=${want#*:}
    say "building $pkg $version for $arch"
    work=$prefix/work/$pkg
    log=$prefix/logs/$pkg.log
    rm -rf "$work" && mkdir -p "$work" "$prefix/logs"
    : >"$log"
    # The old build goes first: a failed build leaves no stale library behind.
    rm -f "$prefix"/.stamp-"$pkg"-*
    for f in $(installed_files "$pkg"); do rm -f "$prefix/$f"; done
    "build_${pkg//-/_}"
    for lib in "$work"/stage/lib/*.a; do check_archive "$lib"; done
    cp -R "$work/stage/." "$prefix/"
    rm -rf "$work"
    rmdir "$prefix/work" 2>/dev/null || true
    touch "$prefix/.stamp-$pkg-$version"
  done
done
