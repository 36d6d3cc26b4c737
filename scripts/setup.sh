#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages.
# Idempotent: when every package is already there it says nothing and changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config clang clang-format libclang-rt-14-dev
  zlib1g-dev libjpeg62-turbo-dev libpng-dev libsdl2-dev libopus-dev
  libgtest-dev libgmock-dev libbenchmark-dev lua5.4 liblua5.4-dev
  libtomlplusplus-dev libfreetype-dev fonts-dejavu-core
  xvfb xauth x11-apps
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then sudo="sudo"; else
    echo "setup: these packages are missing and I am not root: ${missing[*]}" >&2
    echo "setup: install them as root (apt-get install ${missing[*]}) and run me again." >&2
    exit 1
  fi
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
