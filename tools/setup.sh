#!/usr/bin/env bash
# Installs everything Veltroscope needs on Debian 12: build tools, Qt, GStreamer,
# SQLite, fonts, the test devices' sound server, and the offline speech engine + model.
# Safe to run again: apt and npm skip what is already there.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

packages=(
  # build
  build-essential cmake ninja-build pkg-config git ca-certificates ccache
  libgtest-dev libgmock-dev
  # UI
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 libgl-dev
  fonts-noto-cjk fonts-noto-color-emoji adwaita-icon-theme xvfb xauth
  # teleprompter typefaces: CJK sans weights (medium), kai, Helvetica and Menlo stand-ins
  fonts-noto-cjk-extra fonts-arphic-ukai fonts-urw-base35 fonts-dejavu-core
  # media
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstreamer-plugins-bad1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
  # virtual devices for the integration tests
  pipewire pipewire-bin wireplumber pipewire-pulse gstreamer1.0-pipewire
  pulseaudio-utils dbus
  # the window bench's bare pipeline shows the camera in an X window
  gstreamer1.0-x imagemagick
  # desktop integration: the install tests validate the menu entry and metainfo
  desktop-file-utils appstream
  # the Debian package's checker
  lintian
  # library
  libsqlite3-dev
  # speech engine delivery and test audio
  espeak-ng sox bzip2 curl
  # Hanzi readings for voice following (MIT; the build makes its table from them)
  golang-github-mozillazg-go-pinyin-dev
)
if ! command -v npm >/dev/null 2>&1; then packages+=(npm); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

bash "$repo/tools/install-speech.sh"
