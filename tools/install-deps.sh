#!/usr/bin/env bash
# Installs the Debian packages Orlix needs to build and test, if any is missing.
set -euo pipefail

packages=(
  build-essential cmake libgtest-dev   # compiler, build, unit tests
  liballegro4-dev                      # graphics, keyboard, mouse, timer
  libpng-dev libinih-dev pkg-config    # screenshots and icons, the settings file
  xvfb xdotool imagemagick x11-utils python3   # the window tests: X server, input, screenshots
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
