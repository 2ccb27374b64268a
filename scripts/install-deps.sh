#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Ostrel 4 need.
# Does nothing when they are all present. Uses sudo when not run as root.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-qpa-plugins libqt6printsupport6
  libx11-dev libxdamage-dev libxext-dev libxrandr-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-xserver-utils x11-utils x11-apps openbox
  poppler-utils imagemagick xzoom fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every needed package is already installed."
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "install-deps: not root and no sudo; please install: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${#missing[@]} missing package(s): ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "install-deps: done."
