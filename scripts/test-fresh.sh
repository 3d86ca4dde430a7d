#!/usr/bin/env bash
# Runs `make test` (or the command given) on a clone of the committed HEAD inside a fresh Debian 12 root
# that holds only the base system, git and make: what a newcomer's machine has. Whatever else the
# project needs, its own scripts must install there, and nothing outside the clone is visible to it.
#   scripts/test-fresh.sh                      make test
#   scripts/test-fresh.sh make package-check   any command, run in the clone's folder
# Environment: DOVOZ1_FRESH_CACHE (default /var/cache/dovoz1-fresh) keeps the base root and the
# downloaded packages between runs; DOVOZ1_FRESH_TIMEOUT (seconds, default 5400) ends a hung run.
# Needs root (debootstrap, mount namespaces, chroot); re-runs itself through sudo otherwise. The root
# lives in a private mount namespace and is removed afterwards, whether the command passed, failed or
# hung.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=DOVOZ1_FRESH_CACHE,DOVOZ1_FRESH_TIMEOUT "$0" "$@"
fi
command=${*:-make test}
cache=${DOVOZ1_FRESH_CACHE:-/var/cache/dovoz1-fresh}
base="$cache/bookworm-base.tar"

git -C "$top" rev-parse --verify -q HEAD >/dev/null || { echo "test-fresh: no commit to test" >&2; exit 2; }
if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
    echo "test-fresh: note: uncommitted changes are not tested; the clone takes HEAD" >&2
fi

# The Debian archive this machine's own apt uses, so that no host is written down here.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
[ -n "$mirror" ] || { echo "test-fresh: cannot find the Debian archive in apt's sources" >&2; exit 2; }

mkdir -p "$cache/archives/partial"
if [ ! -s "$base" ]; then
    scripts/install-deps.sh --fresh
    staging=$(mktemp -d /var/tmp/dovoz1-fresh-base.XXXXXX)
    echo "test-fresh: making a Debian 12 base root (once; kept in $base)" >&2
    if ! debootstrap --variant=minbase --include=git,make,ca-certificates bookworm "$staging" "$mirror" \
        >"$cache/debootstrap.log" 2>&1; then
        echo "test-fresh: debootstrap failed; its log: $cache/debootstrap.log" >&2
        rm -rf --one-file-system "$staging"
        exit 1
    fi
    # The same suites as this machine (updates and security fixes too) instead of debootstrap's one.
    if compgen -G "/etc/apt/sources.list.d/*.sources" >/dev/null; then
        cp /etc/apt/sources.list.d/*.sources "$staging/etc/apt/sources.list.d/"
        rm -f "$staging/etc/apt/sources.list"
    fi
    tar -C "$staging" -cf "$base.new" . && mv "$base.new" "$base"
    rm -rf --one-file-system "$staging"
fi

root=$(mktemp -d /var/tmp/dovoz1-fresh.XXXXXX)
cleanup() {
    # The namespace that held the mounts has ended; a mount still there would make rm reach outside.
    if findmnt -rn -o TARGET | grep -q "^$root"; then
        findmnt -rn -o TARGET | grep "^$root" | sort -r | xargs -r -n 1 umount -l 2>/dev/null || true
    fi
    if findmnt -rn -o TARGET | grep -q "^$root"; then
        echo "test-fresh: something is still mounted under $root; left in place" >&2
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT
tar -C "$root" -xf "$base"
# The root folder comes from mktemp (mode 700, and so is the tar's "./"): as the chroot's / it must let
# every user through, or nothing but root can run there (man-db's triggers, reprotest's build user).
chmod 0755 "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# The certificates this machine trusts beyond Debian's, as with its resolver: a proxy between it and the
# package registries may sign for them, and the root reaches them as the machine does (npm, over TLS).
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
    chroot "$root" update-ca-certificates >/dev/null 2>&1 || true
fi
git clone -q --no-hardlinks "$top" "$root/root/dovoz1"
git -C "$root/root/dovoz1" checkout -q "$(git -C "$top" rev-parse HEAD)"

echo "test-fresh: running '$command' in a fresh Debian 12 root ($(git -C "$top" rev-parse --short HEAD))" >&2
set +e
timeout --kill-after=10 "${DOVOZ1_FRESH_TIMEOUT:-5400}" \
    unshare --mount --pid --fork --kill-child --propagation private bash -c '
    set -e
    root=$1 archives=$2 command=$3
    mount --rbind /dev "$root/dev"
    mount --make-rslave "$root/dev"
    mount -t proc proc "$root/proc"
    mount -t sysfs sys "$root/sys"
    mount -t tmpfs tmpfs "$root/tmp"
    # Downloaded packages are kept between runs; what is installed is not.
    mount --bind "$archives" "$root/var/cache/apt/archives"
    exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/dovoz1 && $command"
' test-fresh "$root" "$cache/archives" "$command"
status=$?
set -e
[ "$status" -eq 124 ] && echo "test-fresh: ended after ${DOVOZ1_FRESH_TIMEOUT:-5400} s" >&2
echo "test-fresh: '$command' exited $status" >&2
exit "$status"
