#!/usr/bin/env bash
# Set up, build, make the demo card once and start the viewer on it.
# The card lives in ${XDG_CACHE_HOME:-~/.cache}/kirvano/demo-card; later runs reuse it (and
# complete it if an earlier run was interrupted). The viewer gets a configuration folder of
# its own that points its start-up source at the card.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
export CCACHE_DIR=${CCACHE_DIR:-$(pwd)/.cache/ccache}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2

cache=${XDG_CACHE_HOME:-$HOME/.cache}/kirvano
card=$cache/demo-card
# Two drives of three one-minute recordings on two days (one with an impact, one with a
# manual mark) and a parking run of two time-lapse files and a parking impact.
echo "demo card: $card" >&2
./build/cli/kirvano-cli make-card "$card" --recordings 6 --parking 2 >/dev/null

# The start-up folder is the card's Normal folder: the viewer lists its first group and
# shows its first recording at once.
config=$cache/demo-config
mkdir -p "$config"
if [ ! -e "$config/Default_Folder.ini" ]; then
    printf '[DISPLAY]\nINFOCHECK=31\nASPECT=on\nVOLUME=65535\n[SOURCE]\nSELECT=FOLDER\nFOLDER=%s\n' \
        "$card/Normal" >"$config/Default_Folder.ini"
else
    sed -i "s|^FOLDER=$card\$|FOLDER=$card/Normal|" "$config/Default_Folder.ini"
fi
export KIRVANO_CONFIG_DIR=$config

# QtWebEngine refuses to run as root with its sandbox on.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec ./build/app/kirvano "$@"
