#!/usr/bin/env bash
# Installs what building, running and testing the editor need on Debian 12.
# Installs nothing when everything is already there.
set -euo pipefail

# The install check validates with desktop-file-utils and appstream, reads
# the manual pages with man-db and groff-base, looks at the programs with
# file, makes the .deb with dpkg-dev and judges it with lintian; the desktop
# tests run openbox and read the windows' stacking order with x11-utils
# (xprop, xwininfo); Tools > Run in Emulator is tried with the real mednafen.
packages=(build-essential cmake qt6-base-dev zlib1g-dev fonts-dejavu-core xvfb xauth xdotool
          x11-utils xdg-utils openbox desktop-file-utils appstream man-db groff-base file
          dpkg-dev lintian mednafen)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
