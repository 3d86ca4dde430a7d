#!/usr/bin/env bash
# Installs the Debian packages that dovoz1 needs and are missing. Safe to run again and again.
#   scripts/install-deps.sh          build and run
#   scripts/install-deps.sh --test   also the test tools (Xvfb, xdotool, a window manager, sox, ImageMagick, desktop-file-validate,
#                                    and clang with its sanitizer and libFuzzer runtimes for the fuzz build)
#   scripts/install-deps.sh --bench  also Google Benchmark and the libraries the benchmarks compare with
#   scripts/install-deps.sh --soak   also what scripts/soak.sh runs the program and reads its files with
set -euo pipefail

packages=(cmake ninja-build pkg-config g++ make libsdl1.2-compat-dev libpng-dev zlib1g-dev libopenmpt-dev)
if [ "${1:-}" = "--test" ]; then
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-apps evilwm sox imagemagick desktop-file-utils
               clang libclang-rt-14-dev llvm)
elif [ "${1:-}" = "--bench" ]; then
    packages+=(libbenchmark-dev libsdl-gfx1.2-dev libsdl-image1.2-dev python3 util-linux)
elif [ "${1:-}" = "--soak" ]; then
    packages+=(xvfb xauth evilwm python3)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
