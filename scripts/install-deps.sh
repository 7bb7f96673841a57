#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to everything Wavelot needs to build, run and test.
# Safe to run again: packages already installed are left as they are.
set -euo pipefail

SUDO=()
if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo -E); fi

PACKAGES=(
  # build tools, and the formatter the test command checks the sources with
  cmake ninja-build g++ pkg-config git clang-format
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # clang for the fuzz targets (libFuzzer ships in libclang-rt)
  clang libclang-rt-14-dev
  # Qt 6 widgets, D-Bus, test and the offscreen/xcb platforms; Qt's own Traditional Chinese texts
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  # audio: FFmpeg libraries, PulseAudio client, loudness meter, transport, code pages
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libcurl4-openssl-dev libicu-dev libpulse-dev libebur128-dev
  # the JSON reader of the Radio-Browser answers; the tags of recordings
  libsimdjson-dev libtag1-dev
  # programs used at run time and by the tests
  pulseaudio pulseaudio-utils icecast2 ffmpeg lame
  # a desktop for window and tray tests, and a font with Traditional Chinese and Hangul
  xvfb xauth trayer fonts-wqy-microhei
  # a private message bus for the desktop-bus tests; validators of the installed menu entry and
  # AppStream file
  dbus-daemon desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q \
  -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold \
  "${missing[@]}"
