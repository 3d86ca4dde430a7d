#!/usr/bin/env bash
# Installs the Debian package with apt, as a user would, and runs the installed program on a private X
# server (scripts/installed-run.sh): it must start, play its music and end with status 0 and its
# statistics when Escape is pressed. Changes the system: meant for a fresh root (make test-fresh, or a
# throw-away machine).
#   scripts/package-check.sh [BUILD_FOLDER]   (default build; make package-check builds the package first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
deb=$(ls -t "$build"/dovoz1_*_"$(dpkg --print-architecture)".deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "package-check: no package in $build: run make package first" >&2; exit 1; }
deb=$(realpath "$deb")

scripts/install-deps.sh --check
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "package-check: installing $deb"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null
program=/usr/games/dovoz1
[ -x "$program" ] || { echo "package-check: the package installed no $program" >&2; exit 1; }
INSTALLED_RUN_NAME=package-check exec scripts/installed-run.sh "$program"
