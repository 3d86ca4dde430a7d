#!/usr/bin/env bash
# Checks that the Debian package is reproducible: reprotest (Debian's tool) builds the source package
# twice with dpkg-buildpackage (three times, see below), the second time under every variation it has (environment, build path,
# kernel, ASLR, number of CPUs, time, user and group, file order, host and domain name, home folder,
# locale, PATH, time zone, umask), and the binary packages of the two builds (the program's and its
# debug symbols') must be bit-identical.
#   scripts/reprotest.sh [BUILD_FOLDER]   (default build; make reprotest)
# The source package is built first into BUILD_FOLDER/debian-package/; reprotest keeps the packages
# of the builds in BUILD_FOLDER/reprotest/ and its log in BUILD_FOLDER/reprotest.log.
# Needs root: the second build runs as another user (the account dovoz1-reprotest is added if missing)
# and in a namespace of its own. Meant for a fresh root (scripts/test-fresh.sh make reprotest) or a
# throw-away machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# The build's own tests do not change the packages, and make package runs them: left out here unless
# DEB_BUILD_OPTIONS is set (DEB_BUILD_OPTIONS= make reprotest runs them in every build).
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-nocheck}
[ "$(id -u)" -eq 0 ] || { echo "reprotest: needs root (another build user, namespaces)" >&2; exit 2; }

scripts/build-package.sh --source "$build"
build=$(realpath "$build")
version=$(dpkg-parsechangelog -S Version)
dsc="dovoz1_$version.dsc"

# user_group: the second build runs as this account instead of root.
user=dovoz1-reprotest
if ! id "$user" >/dev/null 2>&1; then
    useradd --system --user-group --home-dir /nonexistent --no-create-home --shell /usr/sbin/nologin "$user"
fi

# Every variation reprotest has (its default, +all), with the settings that make each one real here:
#  - user_group: the build user above (reprotest runs it through sudo);
#  - domain_host: through sudo as well (reprotest refuses the unprivileged way with user_group).
# Three builds instead of two, because user_group and fileordering cannot vary in the same build
# here: with user_group reprotest mounts the shuffling file system (disorderfs, FUSE) as the build
# user, and this machine's /dev/fuse, which the fresh root shares, opens for root only (mode 600). So
# the first varied build has every variation but fileordering, and a third build every variation but
# user_group; the packages of all three must be identical.
variations=(
    --variations=+all
    --vary="user_group.available+=$user:$user"
    --vary=domain_host.use_sudo=1
)
if [ -r /dev/fuse ] && [ "$(stat -c %a /dev/fuse)" = 666 ]; then
    :  # any user may mount: one varied build with everything
else
    variations+=(--vary=-fileordering --extra-build=+fileordering,-user_group)
fi
# Debian 12's reprotest (0.7.23) runs its sudo calls as "sudo -h localhost ...", and Debian 12's sudo
# (1.9.13) accepts -h only with -l: every user_group and domain_host step would fail. This runs the
# same reprotest with plain "sudo" instead, changing nothing on the system.
run_reprotest() {
    # The interpreter reprotest itself runs on (Debian's, whatever python3 comes first in PATH).
    "$(sed -n '1s/^#! *//p' "$(command -v reprotest)")" -c 'import sys, reprotest, reprotest.build
if reprotest.build.SUDO[1:] == ["-h", "localhost"]:
    reprotest.build.SUDO[:] = ["sudo"]
sys.argv[0] = "reprotest"
sys.exit(reprotest.main())' "$@"
}
store="$build/reprotest"
log="$build/reprotest.log"
rm -rf "$store"
echo "reprotest: building $dsc twice, the second time under every variation (log: $log)"
status=0
(cd "$build/debian-package" && run_reprotest --verbosity 1 --store-dir "$store" "${variations[@]}" "$dsc" -- null) \
    >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 80 "$log" >&2
    echo "reprotest: FAILED (exit status $status); the whole log: $log" >&2
    exit "$status"
fi
# What each build varied, reprotest's verdict and the checksums of the identical packages.
grep '^INFO:reprotest:build "' "$log" | sed 's/^INFO:reprotest://'
sed -n '/^Reproduction successful/,$p' "$log"
echo "reprotest: passed: the .debs of every build are bit-identical ($store)"
