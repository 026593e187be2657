#!/usr/bin/env bash
# Installs every Debian package the project needs; the only place packages are named.
# Idempotent: asks apt only for what is missing, and runs apt-get update at most once.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build ccache pkg-config
  clang-14 libclang-rt-14-dev clang-format-14
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg xvfb xauth dosfstools libxml2-utils python3
  # viewer
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev qt6-webengine-dev-tools
  libgl-dev libxkbcommon-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-plugins-base-apps
  libjs-leaflet fonts-noto-cjk
  # packaging: the Debian package and the checks of its desktop entry and metainfo
  dpkg-dev desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
