#!/usr/bin/env bash
# Set up, build and run every test. Under CI=true also: the core-only build, a sanitizer
# build of the tests, the format check, the Debian package and every fuzz target for a
# bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=2
ci=${CI:-false}
fuzz_seconds=${KIRVANO_FUZZ_SECONDS:-20}

stage_start=0
stage() {
    now=$(date +%s)
    [ "$stage_start" -ne 0 ] && echo "== stage '$stage_name' took $((now - stage_start)) s"
    stage_name=$1
    stage_start=$now
    echo "== $stage_name"
}
finish() { stage "done"; }

werror=OFF
[ "$ci" = "true" ] && werror=ON
# One compiler cache per user, shared by every clone: paths are hashed relative to the clone.
export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/kirvano-ccache}
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true

stage "set-up"
./tools/setup.sh

stage "build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRVANO_WERROR=$werror >/dev/null
cmake --build build -j$jobs

stage "test"
ctest --test-dir build --output-on-failure -j$jobs

if [ "$ci" = "true" ]; then
    stage "core-only build and test"
    cmake -S . -B build-core -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIRVANO_CORE_ONLY=ON \
        -DKIRVANO_WERROR=ON -DKIRVANO_BENCH=OFF >/dev/null
    cmake --build build-core -j$jobs
    ctest --test-dir build-core --output-on-failure -j$jobs

    stage "sanitizer build and test"
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-14 \
        -DKIRVANO_SANITIZE=ON -DKIRVANO_WERROR=ON -DKIRVANO_BENCH=OFF >/dev/null
    cmake --build build-asan -j$jobs
    ctest --test-dir build-asan --output-on-failure -j$jobs

    stage "format check"
    git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run --Werror

    stage "package"
    # The Debian package: desktop entry and metainfo validate, its files unpack, and the
    # unpacked command runs.
    package_dir=$(mktemp -d)
    (cd build && cpack -B "$package_dir" >/dev/null)
    deb=$(ls "$package_dir"/kirvano_*.deb)
    dpkg-deb -x "$deb" "$package_dir/root"
    desktop-file-validate "$package_dir"/root/usr/share/applications/*.desktop
    appstreamcli validate --no-net "$package_dir"/root/usr/share/metainfo/*.metainfo.xml >/dev/null
    "$package_dir"/root/usr/bin/kirvano-cli --version
    dpkg-deb -f "$deb" Depends
    rm -rf "$package_dir"

    stage "fuzz"
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++-14 -DKIRVANO_FUZZ=ON -DKIRVANO_CORE_ONLY=ON \
        -DKIRVANO_TESTS=OFF >/dev/null
    cmake --build build-fuzz -j$jobs
    for target in build-fuzz/fuzz/fuzz_*; do
        [ -x "$target" ] || continue
        name=$(basename "$target")
        corpus=$(mktemp -d)
        cp -r fuzz/corpus/"$name"/. "$corpus"/ 2>/dev/null || true
        echo "-- $name for ${fuzz_seconds} s"
        "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
        rm -rf "$corpus"
    done
fi
finish
