#!/usr/bin/env bash
# Set up, build and start the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$(pwd)/.cache/ccache}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
# QtWebEngine refuses to run as root with its sandbox on.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec ./build/app/kirvano "$@"
