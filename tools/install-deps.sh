#!/usr/bin/env bash
# Installs the Debian packages Orlix needs, if any is missing: to build the
# program ("build", the default), to build and run every test ("test"), or
# to build a GDB for the Z80 from Debian's source ("z80-gdb", tools/z80-gdb.sh).
set -euo pipefail

case "${1:-build}" in
z80-gdb)
  packages=(gdb-source build-essential libgmp-dev libmpfr-dev libexpat1-dev libncurses-dev zlib1g-dev xz-utils)
  ;;
*)
  packages=(
    build-essential cmake pkg-config     # compiler and build
    liballegro4-dev                      # graphics, keyboard, mouse, timer
    libpng-dev zlib1g-dev libinih-dev    # pictures and icons, the ROM's CRC, the settings file
    libsndfile1-dev libasound2-dev       # sound files, the sound device (ALSA)
  )
  if [ "${1:-build}" = test ]; then
    packages+=(
      libgtest-dev python3                                  # unit tests, the layering check
      xvfb xdotool imagemagick x11-utils                    # the window tests: X server, input, screenshots
      pulseaudio pulseaudio-utils libasound2-plugins        # and a sound device of their own (a null sink)
      debhelper dpkg-dev fakeroot lintian                   # the Debian package, built and checked
      appstream desktop-file-utils mandoc                   # its metadata, desktop entry and manual page checked
      shared-mime-info xdg-utils libfile-mimeinfo-perl      # its file type, asked as a desktop asks
    )
  fi
  ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
