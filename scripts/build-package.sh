#!/usr/bin/env bash
# Builds the Debian source and binary packages the Debian way (dpkg-buildpackage over debian/) from a
# copy of the source tree, and leaves the binary package beside the build folder's other products:
#   scripts/build-package.sh [--source] [BUILD_FOLDER]    (default build)
# gives BUILD_FOLDER/dovoz1_VERSION_ARCH.deb, and in BUILD_FOLDER/debian-package/ the source package
# (.dsc, .tar.xz), the debug symbols' package, the .changes and .buildinfo files and the build log.
# With --source, only the source package (dpkg-buildpackage -S).
# The copy holds what git tracks plus new files it does not ignore (edits included; outside a git work
# tree, everything but the build folders), so the tree itself gets no debian/ build products and
# dpkg-buildpackage's outputs stay inside the build folder instead of beside the tree.
# DEB_BUILD_OPTIONS passes through: DEB_BUILD_OPTIONS=nocheck leaves the build's own tests out.
# Needs the Build-Depends of debian/control (scripts/install-deps.sh --package installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
what=(-us -uc)
if [ "${1:-}" = --source ]; then
    what=(-S -us -uc)
    shift
fi
build=${1:-build}
mkdir -p "$build"
build=$(realpath "$build")

version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
out="$build/debian-package"
tree="$out/dovoz1-$version"
rm -rf "$out"
mkdir -p "$tree"

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # Tracked files still present, and untracked ones that .gitignore does not exclude, less the build
    # folder of an earlier dpkg-buildpackage in the tree itself (obj-*).
    git ls-files -z --cached --others --exclude-standard \
        | while IFS= read -r -d '' f; do
            case "$f" in obj-*/*) continue ;; esac
            if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
        done \
        | tar --null -T - -cf - | tar -C "$tree" -xf -
else
    tar --exclude='./build*' --exclude='./obj-*' --exclude='./.git' -cf - . | tar -C "$tree" -xf -
fi

echo "build-package: dpkg-buildpackage in $tree (log: $out/build.log)"
status=0
(cd "$tree" && dpkg-buildpackage "${what[@]}") >"$out/build.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 "$out/build.log" >&2
    echo "build-package: dpkg-buildpackage failed (exit status $status); the whole log: $out/build.log" >&2
    exit "$status"
fi
rm -rf "$tree"
if [ "${what[0]}" = -S ]; then
    echo "build-package: the source package $out/dovoz1_$version.dsc"
    exit 0
fi
cp "$out/dovoz1_${version}_$arch.deb" "$build/"
echo "build-package: $build/dovoz1_${version}_$arch.deb and the source package $out/dovoz1_$version.dsc"
