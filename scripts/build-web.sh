#!/usr/bin/env bash
# make web: the intro for browsers in build-web/ (index.html, index.js, index.wasm). The libraries come
# from scripts/web-libs.sh, built once from Debian's source packages into the cache; the intro is built
# with Emscripten in build-web/cmake.
#   scripts/build-web.sh [OUT]    OUT defaults to build-web
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build-web}
# The cache sits in /var/cache where it may be written there (root), else in the user's own cache.
if [ -n "${DOVOZ1_WEB_CACHE:-}" ]; then
    cache=$DOVOZ1_WEB_CACHE
elif [ -w /var/cache ] || [ -w /var/cache/dovoz1-web ]; then
    cache=/var/cache/dovoz1-web
else
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/dovoz1-web
fi

started=$SECONDS
prefix=$(scripts/web-libs.sh "$cache" | tail -n1)

export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
mkdir -p "$out"
out=$(cd "$out" && pwd)
# The toolchain's default node options are for older nodes; the embedder runs under plain node.
cmake -S . -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node)" \
    -DDOVOZ1_WEB_PREFIX="$prefix" -DDOVOZ1_WEB_PAGE_DIR="$out" >/dev/null
cmake --build "$out/cmake" -j 2
bytes=$(cat "$out/index.html" "$out/index.js" "$out/index.wasm" "$out/icon.png" | wc -c)
echo "build-web: $out/index.html, index.js, index.wasm, icon.png ($((bytes / 1024)) KiB in all), $((SECONDS - started)) s"
