#!/usr/bin/env bash
# Installs the Debian packages Tolvar needs to build, run and test, when any
# is missing. Needs root (or sudo) only when something must be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xclip xdotool x11-utils xauth
  trayer
  python3 python3-aiosmtpd msmtp procps
  clang
  libfuzzer-14-dev
  libclang-rt-14-dev
  libssl-dev
  libsecret-1-dev
  openssl
  python3-cryptography
)
if [ "${1:-}" = "--run-only" ]; then
  packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
    libssl-dev
    libsecret-1-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
