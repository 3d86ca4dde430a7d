#!/usr/bin/env bash
# make web-test: the web build against the native capture of the same run, in Chromium, Firefox ESR and
# WebKitGTK, with their sound going to a PulseAudio null sink.
#   scripts/web-test.sh PAGE_DIR CAPTURE_PROGRAM [ENGINE...]    ENGINE: chromium, firefox, webkit (all)
# Captures 3 seconds of intro natively (seed 1, b after 1 s, space after 2 s), then
# web/web_test.js drives the page through the same run and through a user's run in each engine. Each
# engine's screenshot of the user's run is left in PAGE_DIR/web-test-ENGINE.png.
# Needs scripts/install-deps.sh --web-test. The driver's npm packages (web/package-lock.json) are
# installed once into the cache that the page's build took its libraries from.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/x-session.sh

page=$(cd "$1" && pwd)
capture=$2
shift 2
prefix=$(sed -n 's/^DOVOZ1_WEB_PREFIX:PATH=//p' "$page/cmake/CMakeCache.txt" 2>/dev/null || true)
[ -n "$prefix" ] || { echo "web-test: $page is not a page built by scripts/build-web.sh" >&2; exit 2; }
cache=$(dirname "$prefix")

started=$SECONDS
modules=$cache/web-test
if ! cmp -s web/package-lock.json "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
    rm -rf "$modules"
    mkdir -p "$modules"
    cp web/package.json web/package-lock.json "$modules/"
    # No install scripts: nothing may download a browser of its own. The system's certificates, as
    # apt's and git's, whatever node was built with.
    (cd "$modules" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error \
        --cafile=/etc/ssl/certs/ca-certificates.crt)
fi
echo "web-test: driver packages ready, $((SECONDS - started)) s"

work=$(mktemp -d)
pulse=
cleanup() {
    [ -n "$pulse" ] && { kill "$pulse" 2>/dev/null; wait "$pulse" 2>/dev/null || true; }
    stop_x_session
    rm -rf "$work"
}
trap cleanup EXIT

started=$SECONDS
"$capture" "$work/native" --seconds 3 --seed 1 --keys "1:b,2:space" >/dev/null 2>"$work/capture.log" || {
    cat "$work/capture.log" >&2
    exit 1
}
echo "web-test: native capture, $((SECONDS - started)) s"

# A sound server of the test's own, whatever the machine has: the browsers play into a null sink whose
# monitor the driver records. As root (CI) PulseAudio warns that it is meant for users, and runs.
mkdir -p "$work/pulse" "$work/home"
export PULSE_RUNTIME_PATH=$work/pulse PULSE_STATE_PATH=$work/pulse PULSE_SERVER=unix:$work/pulse/native
HOME=$work/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
    -L "module-null-sink sink_name=web_test" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native" 2>"$work/pulse.log" &
pulse=$!
for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
pactl info >/dev/null 2>&1 || {
    echo "web-test: PulseAudio did not start: $(cat "$work/pulse.log")" >&2
    exit 1
}
# WebKitGTK has no headless mode: MiniBrowser runs on the private X server.
start_x_session "$work" 1280x800x24

NODE_PATH=$modules/node_modules node web/web_test.js "$page" "$work/native" "$work" "$@"
