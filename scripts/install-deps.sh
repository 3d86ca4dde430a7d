#!/usr/bin/env bash
# Installs the Debian packages that dovoz1 needs and are missing. Safe to run again and again; needs root
# or sudo only when something is missing.
#   scripts/install-deps.sh           build and run (make run)
#   scripts/install-deps.sh --package also the Debian source package's Build-Depends (debian/control)
#                                     and the tools that build and check it: debhelper, dpkg-dev,
#                                     lintian, blhc (make package)
#   scripts/install-deps.sh --test    also the test tools (make test): GoogleTest, Xvfb with a window
#                                     manager and its fonts, xdotool, sox, ImageMagick, ffmpeg, the
#                                     package tools of --package, and clang with its sanitizer and
#                                     libFuzzer runtimes for the sanitizer and fuzz builds
#   scripts/install-deps.sh --reprotest  also reprotest with what its variations need (faketime,
#                                     disorderfs, other locales, time zones, sudo for the build user)
#                                     and diffoscope to show a difference (make reprotest)
#   scripts/install-deps.sh --autopkgtest  also autopkgtest (make autopkgtest)
#   scripts/install-deps.sh --bench   also Google Benchmark and the libraries the benchmarks compare with
#   scripts/install-deps.sh --check   also the private X server that make package-check runs the
#                                     installed program on
#   scripts/install-deps.sh --soak    also what scripts/soak.sh runs the program and reads its files with
#   scripts/install-deps.sh --fresh   also what makes a fresh Debian root for make test-fresh
#   scripts/install-deps.sh --web     also Emscripten and the tools that fetch and unpack Debian source
#                                     packages for it (make web)
#   scripts/install-deps.sh --web-test  also the three browser engines (Chromium, Firefox ESR,
#                                     WebKitGTK's WebDriver under a private X server), PulseAudio for
#                                     their sound and node's npm, which installs the test driver's
#                                     pinned libraries (make web-test)
set -euo pipefail

packages=(cmake ninja-build pkg-config g++ make libsdl1.2-compat-dev libpng-dev zlib1g-dev libopenmpt-dev)
# A private X server with a window manager. evilwm's default font "variable" is an alias that
# xfonts-base defines for a font in xfonts-75dpi; without both, evilwm does not start.
x_session=(xvfb xauth xdotool evilwm xfonts-base xfonts-75dpi)
web_build=(emscripten dpkg-dev xz-utils bzip2)
# debian/control's Build-Depends (GoogleTest for the tests dh_auto_test runs) with build-essential,
# which every source package may assume, debhelper and the
# checkers. dpkg-buildpackage itself stops on a Build-Depends missing here.
package_build=(build-essential debhelper dpkg-dev pkgconf libgtest-dev lintian blhc)
case "${1:-}" in
    "") ;;
    --package) packages+=("${package_build[@]}") ;;
    --test)
        packages+=("${x_session[@]}" "${package_build[@]}" libgmock-dev libbenchmark-dev x11-apps sox
                   imagemagick ffmpeg desktop-file-utils appstream clang libclang-rt-14-dev llvm)
        ;;
    --reprotest)
        packages+=("${package_build[@]}" reprotest faketime disorderfs locales-all tzdata sudo
                   diffoscope-minimal)
        ;;
    --autopkgtest) packages+=("${package_build[@]}" autopkgtest) ;;
    --bench) packages+=(libbenchmark-dev libsdl-gfx1.2-dev libsdl-image1.2-dev python3 util-linux) ;;
    --check) packages+=("${x_session[@]}") ;;
    --soak) packages+=("${x_session[@]}" python3) ;;
    --fresh) packages+=(debootstrap util-linux) ;;
    --web) packages+=("${web_build[@]}") ;;
    --web-test)
        # python3-websocket: bench/web_pacing.py's DevTools client.
        packages+=("${web_build[@]}" "${x_session[@]}" chromium firefox-esr webkit2gtk-driver pulseaudio
                   pulseaudio-utils python3 python3-websocket)
        # Debian's nodejs comes without npm; a node from elsewhere may bring its own.
        command -v npm >/dev/null || packages+=(npm)
        ;;
    *)
        echo "usage: $0 [--package | --test | --reprotest | --autopkgtest | --bench | --check | --soak | --fresh |" \
            "--web | --web-test]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || {
        echo "$0: these Debian packages are missing: ${missing[*]}" >&2
        echo "$0: run this as root, or install sudo, to install them" >&2
        exit 1
    }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
