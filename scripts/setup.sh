#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages.
# Idempotent: when every package is already there it says nothing and changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang clang-format libclang-rt-14-dev
  zlib1g-dev libjpeg62-turbo-dev libpng-dev libsdl2-dev libopus-dev
  libgtest-dev libgmock-dev libbenchmark-dev lua5.4 liblua5.4-dev
  libtomlplusplus-dev libfreetype-dev fonts-dejavu-core
  xvfb xauth x11-apps python3 file
  # The Windows build: mingw-w64 (posix threads), its zlib, Debian's source-package tools for the
  # other libraries (scripts/build-win-deps.sh), and Wine to run the tests.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev
  wine wine64
)

sudo=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then sudo="sudo"; fi

installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]; }

# The package lists can be briefly out of step on the mirror (one index fails to download); what
# the other indexes say is still good, so a failed update is a warning, not the end.
update() {
  $sudo apt-get update -qq 2>/tmp/skv-apt-update.err ||
    echo "setup: apt-get update did not fully succeed ($(grep -m1 '^E:' /tmp/skv-apt-update.err || echo 'see apt-get update')); using the package lists as they are" >&2
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  if [ "$(id -u)" -ne 0 ] && [ -z "$sudo" ]; then
    echo "setup: these packages are missing and I am not root: ${missing[*]}" >&2
    echo "setup: install them as root (apt-get install ${missing[*]}) and run me again." >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  update
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/skv-apt-install.log 2>&1; then
    echo "setup: apt-get install failed; the Debian archive did not give these packages: ${missing[*]}" >&2
    tail -5 /tmp/skv-apt-install.log >&2
    exit 1
  fi
fi

# 32-bit Windows programs run under wine32, a package of the i386 architecture. It is tried once
# per machine state; when the archive's i386 lists are out of step with amd64 it cannot be
# installed, and the Windows tests then run the 64-bit build under wine64 (they say so).
if ! installed wine32:i386 && [ "$(id -u)" -eq 0 -o -n "$sudo" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    update
  fi
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >/tmp/skv-apt-wine32.log 2>&1; then
    echo "setup: wine32 (i386) cannot be installed from the archive now ($(grep -m1 -E '^E:|Depends:' /tmp/skv-apt-wine32.log | sed 's/^ *//')); 32-bit Windows programs will not run here" >&2
  fi
fi
